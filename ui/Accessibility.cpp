#include "ui/Accessibility.h"

#include "ui/ByteGrid.h"
#include "ui/ByteGridAccessible.h"
#include "ui/SpinButton.h"
#include "ui/SpinButtonAccessible.h"

#include <QAccessible>

#include <utility>

namespace {
AccessibilityEventSink& currentSink()
{
    static AccessibilityEventSink sink;
    return sink;
}

// Qt asks with the name of each class in the object's ancestry, most derived first.
QAccessibleInterface* programInterfaces(const QString& className, QObject* object)
{
    if (className == QLatin1String("ByteGrid"))
        return new ByteGridAccessible(static_cast<ByteGrid*>(object));
    if (className == QLatin1String("SpinButton"))
        return new SpinButtonAccessible(static_cast<SpinButton*>(object));
    return nullptr;
}
} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(programInterfaces);
        return true;
    }();
    Q_UNUSED(installed);
}

bool accessibilityListening()
{
    return currentSink() || QAccessible::isActive();
}

void sendAccessibilityEvent(QAccessibleEvent& event)
{
    if (currentSink())
        currentSink()(event);
    else
        QAccessible::updateAccessibility(&event);
}

AccessibilityEventSink setAccessibilityEventSink(AccessibilityEventSink sink)
{
    return std::exchange(currentSink(), std::move(sink));
}

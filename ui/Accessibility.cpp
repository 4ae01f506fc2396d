#include "ui/Accessibility.h"

#include "ui/grid/ByteGrid.h"
#include "ui/grid/ByteGridAccessible.h"
#include "ui/spin/SpinButton.h"
#include "ui/spin/SpinButtonAccessible.h"

#include <QAccessible>

#include <utility>

bool AccessibilityState::listening = false;

namespace {
bool platformListens = false;

AccessibilityEventSink& currentSink()
{
    static AccessibilityEventSink sink;
    return sink;
}

void updateListening()
{
    AccessibilityState::listening = platformListens || bool(currentSink());
}

// The platform's bridge switches accessibility on when a screen reader starts and off when it quits.
class ActivationFollower : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override
    {
        platformListens = active;
        updateListening();
    }
};

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
        // Qt keeps the observer until the end of the program: it lives as long.
        static ActivationFollower follower;
        QAccessible::installActivationObserver(&follower);
        platformListens = QAccessible::isActive();
        updateListening();
        return true;
    }();
    Q_UNUSED(installed);
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
    AccessibilityEventSink previous = std::exchange(currentSink(), std::move(sink));
    updateListening();
    return previous;
}

#include "ui/AccessibilityFactory.h"

#include "ui/Accessibility.h"
#include "ui/grid/ByteGrid.h"
#include "ui/grid/ByteGridAccessible.h"
#include "ui/spin/SpinButton.h"
#include "ui/spin/SpinButtonAccessible.h"

namespace {
// The platform's bridge switches accessibility on when a screen reader starts and off when it quits.
class ActivationFollower : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override { setPlatformListening(active); }
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
        setPlatformListening(QAccessible::isActive());
        return true;
    }();
    Q_UNUSED(installed);
}

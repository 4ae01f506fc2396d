#include "ui/AccessibilityFactory.h"

#include "ui/Accessibility.h"
#include "ui/grid/ByteGrid.h"
#include "ui/grid/ByteGridAccessible.h"
#include "ui/spin/SpinButton.h"
#include "ui/spin/SpinButtonAccessible.h"
#include "ui/table/KeyboardTableAccessible.h"

#include <QAccessibleObject>
#include <QApplication>
#include <QMenu>
#include <QTableView>

namespace {
// The platform's bridge switches accessibility on when a screen reader starts and off when it quits.
class ActivationFollower : public QAccessible::ActivationObserver {
public:
    void accessibilityActiveChanged(bool active) override { setPlatformListening(active); }
};

// Qt leaves pop-up windows out of the application's children, so a screen reader walking the tree never finds an
// open menu, which it announces by its items alone: the open pop-up menu is the application's last child.
class ApplicationWithPopup : public QAccessibleApplication {
public:
    int childCount() const override { return QAccessibleApplication::childCount() + (openMenu() ? 1 : 0); }

    QAccessibleInterface* child(int index) const override
    {
        QWidget* menu = openMenu();
        if (menu && index == QAccessibleApplication::childCount())
            return QAccessible::queryAccessibleInterface(menu);
        return QAccessibleApplication::child(index);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        QWidget* menu = openMenu();
        if (menu && child && child->object() == menu)
            return QAccessibleApplication::childCount();
        return QAccessibleApplication::indexOfChild(child);
    }

private:
    static QWidget* openMenu()
    {
        QWidget* popup = QApplication::activePopupWidget();
        return qobject_cast<QMenu*>(popup) ? popup : nullptr;
    }
};

// Qt asks with the name of each class in the object's ancestry, most derived first.
QAccessibleInterface* programInterfaces(const QString& className, QObject* object)
{
    if (className == QLatin1String("QApplication") && object == qApp)
        return new ApplicationWithPopup;
    if (className == QLatin1String("ByteGrid"))
        return new ByteGridAccessible(static_cast<ByteGrid*>(object));
    if (KeyboardTableAccessible::isWanted(object))
        return new KeyboardTableAccessible(static_cast<QTableView*>(object));
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

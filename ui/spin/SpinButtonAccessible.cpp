#include "ui/spin/SpinButtonAccessible.h"

#include "ui/spin/SpinButton.h"
#include "ui/spin/SpinButtonLayout.h"

#include <QPointer>

namespace {
// One arrow of the spin button. Everything is read from the control when asked.
class SpinArrowAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    SpinArrowAccessible(SpinButton* spin, SpinArrow arrow)
        : m_spin(spin)
        , m_arrow(arrow)
    {
    }

    // QAccessibleInterface
    [[nodiscard]] bool isValid() const override { return m_spin; }
    // The arrows share their control's object; Qt keys its cache by object, so they must not claim it.
    [[nodiscard]] QObject* object() const override { return nullptr; }
    [[nodiscard]] QWindow* window() const override
    {
        const QAccessibleInterface* control = parent();
        return control ? control->window() : nullptr;
    }
    [[nodiscard]] QAccessibleInterface* parent() const override
    {
        return m_spin ? QAccessible::queryAccessibleInterface(m_spin.data()) : nullptr;
    }
    [[nodiscard]] QAccessibleInterface* child(int) const override { return nullptr; }
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    [[nodiscard]] QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    [[nodiscard]] QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            return m_arrow == SpinArrow::Up ? QStringLiteral("Предыдущий блок") : QStringLiteral("Следующий блок");
        case QAccessible::Description:
            // The control's hint, shown over both arrows, speaks of the next block: the upper arrow says where it
            // goes itself.
            if (m_arrow == SpinArrow::Up)
                return QStringLiteral("Перейти к пред. блоку (8192 байта)");
            return m_spin ? m_spin->toolTip() : QString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override { }
    [[nodiscard]] QRect rect() const override
    {
        if (!m_spin || !m_spin->isVisible())
            return {};
        const QRect face = SpinButtonLayout(m_spin->size()).rect(m_arrow);
        return QRect(m_spin->mapToGlobal(face.topLeft()), face.size());
    }
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::PushButton; }
    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!m_spin) {
            state.invalid = true;
            return state;
        }
        state.disabled = !m_spin->isEnabled();
        state.invisible = !m_spin->isVisible();
        state.pressed = m_spin->pressedArrow() == m_arrow;
        return state;
    }
    [[nodiscard]] void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    // QAccessibleActionInterface
    [[nodiscard]] QStringList actionNames() const override { return { pressAction() }; }
    void doAction(const QString& actionName) override
    {
        if (m_spin && m_spin->isEnabled() && actionName == pressAction())
            m_spin->clickArrow(m_arrow);
    }
    [[nodiscard]] QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<SpinButton> m_spin;
    SpinArrow m_arrow;
};
} // namespace

SpinButtonAccessible::SpinButtonAccessible(SpinButton* spin)
    : QAccessibleWidget(spin, QAccessible::Grouping)
{
    m_arrows[0] = QAccessible::registerAccessibleInterface(new SpinArrowAccessible(spin, SpinArrow::Up));
    m_arrows[1] = QAccessible::registerAccessibleInterface(new SpinArrowAccessible(spin, SpinArrow::Down));
}

SpinButtonAccessible::~SpinButtonAccessible()
{
    for (const QAccessible::Id id : m_arrows)
        QAccessible::deleteAccessibleInterface(id);
}

int SpinButtonAccessible::childCount() const
{
    return static_cast<int>(m_arrows.size());
}

QAccessibleInterface* SpinButtonAccessible::child(int index) const
{
    return index >= 0 && index < childCount() ? QAccessible::accessibleInterface(m_arrows[std::size_t(index)])
                                              : nullptr;
}

int SpinButtonAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (int i = 0; i < childCount(); ++i)
        if (child && child == this->child(i))
            return i;
    return -1;
}

QAccessibleInterface* SpinButtonAccessible::childAt(int x, int y) const
{
    // Where the arrows share a row, the lower one lies on top, as for the mouse.
    const QPoint pos = widget()->mapFromGlobal(QPoint(x, y));
    switch (SpinButtonLayout(widget()->size()).arrowAt(pos)) {
    case SpinArrow::Up:
        return child(0);
    case SpinArrow::Down:
        return child(1);
    default:
        return nullptr;
    }
}

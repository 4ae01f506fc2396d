#pragma once

#include <QAccessibleWidget>

#include <array>

class SpinButton;

// The spin button as assistive technology sees it: a group, named by the window, of two push buttons, the
// previous block (the upper arrow) and the next block (the lower one). The lower one describes itself with the
// control's hint, the upper one with where it goes; both press like a click on their arrow.
class SpinButtonAccessible : public QAccessibleWidget {
public:
    explicit SpinButtonAccessible(SpinButton* spin);
    ~SpinButtonAccessible() override;

    [[nodiscard]] int childCount() const override;
    [[nodiscard]] QAccessibleInterface* child(int index) const override;
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override;
    [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override;

private:
    // The arrows are no QObjects: registered with Qt's cache, owned here.
    std::array<QAccessible::Id, 2> m_arrows {};
};

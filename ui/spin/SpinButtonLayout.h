#pragma once

#include <QRect>
#include <QSize>

enum class SpinArrow { None, Up, Down };

// How the control is split between its two arrows. The upper arrow takes the upper half (height H/2, rounded
// down); the lower one starts a row higher, so the two share row H/2 - 1, and that row belongs to the lower
// arrow, which lies above the upper one.
class SpinButtonLayout {
public:
    explicit SpinButtonLayout(QSize size)
        : m_size(size)
    {
    }

    [[nodiscard]] QRect upper() const { return { 0, 0, m_size.width(), m_size.height() / 2 }; }
    [[nodiscard]] QRect lower() const
    {
        const int half = m_size.height() / 2;
        return { 0, half - 1, m_size.width(), m_size.height() - half + 1 };
    }
    [[nodiscard]] QRect rect(SpinArrow arrow) const;
    [[nodiscard]] SpinArrow arrowAt(QPoint point) const;

    static constexpr int minimumWidth = 15;

private:
    QSize m_size;
};

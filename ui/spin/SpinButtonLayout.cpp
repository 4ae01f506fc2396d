#include "ui/spin/SpinButtonLayout.h"

QRect SpinButtonLayout::rect(SpinArrow arrow) const
{
    switch (arrow) {
    case SpinArrow::Up:
        return upper();
    case SpinArrow::Down:
        return lower();
    case SpinArrow::None:
        break;
    }
    return {};
}

SpinArrow SpinButtonLayout::arrowAt(QPoint point) const
{
    if (lower().contains(point))
        return SpinArrow::Down;
    if (upper().contains(point))
        return SpinArrow::Up;
    return SpinArrow::None;
}

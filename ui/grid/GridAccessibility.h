#pragma once

#include "ui/grid/GridCell.h"

#include <cstdint>

// What the grid tells assistive technology. Its accessible table implements it; the grid reaches it through
// accessibleEvents() and reports only while accessibilityListening().
class GridAccessibility {
public:
    // A cell was redrawn alone: its text may have changed.
    virtual void cellMayHaveChanged(GridCell cell) = 0;
    // The current cell or the anchor moved from where they were.
    virtual void currentMoved(GridCell oldCurrent, GridCell oldAnchor) = 0;
    virtual void rowCountChanged(std::int32_t oldCount) = 0;
    // The grid itself took the keyboard focus.
    virtual void focusEntered() = 0;

protected:
    ~GridAccessibility() = default;
};

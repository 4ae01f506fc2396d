#pragma once

#include "ui/grid/GridCell.h"

// Where the user is in the grid: the current cell and the anchor of the range selection, which spans from the
// anchor to the current cell. The one place that says which cells are selected: painting, the model and assistive
// technology all ask it.
struct GridCursor {
    GridCell current { 1, 1 };
    GridCell anchor { 1, 1 };

    [[nodiscard]] GridRange selection() const { return GridRange::spanning(current, anchor); }
    [[nodiscard]] bool isSelected(GridCell cell) const { return selection().contains(cell); }

    friend bool operator==(const GridCursor&, const GridCursor&) = default;
};

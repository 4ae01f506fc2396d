#pragma once

#include "ui/grid/GridCell.h"

#include <algorithm>

// The rectangle two cells span, corners ordered.
struct GridRange {
    GridCell first;
    GridCell last;

    [[nodiscard]] static GridRange spanning(GridCell a, GridCell b)
    {
        return { { std::min(a.col, b.col), std::min(a.row, b.row) },
            { std::max(a.col, b.col), std::max(a.row, b.row) } };
    }
    [[nodiscard]] bool contains(GridCell cell) const
    {
        return cell.col >= first.col && cell.col <= last.col && cell.row >= first.row && cell.row <= last.row;
    }

    friend bool operator==(const GridRange&, const GridRange&) = default;
};

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

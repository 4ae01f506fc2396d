#pragma once

#include <algorithm>
#include <cstdint>

// A cell address of the byte grid: column and row, both signed, as the grid's callers pass them.
struct GridCell {
    std::int32_t col = 0;
    std::int32_t row = 0;

    friend bool operator==(const GridCell&, const GridCell&) = default;
};

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

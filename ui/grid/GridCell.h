#pragma once

#include <cstdint>

// A cell address of the byte grid: column and row, both signed, as the grid's callers pass them.
struct GridCell {
    std::int32_t col = 0;
    std::int32_t row = 0;

    friend bool operator==(const GridCell&, const GridCell&) = default;
};

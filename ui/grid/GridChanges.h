#pragma once

#include "ui/grid/GridCursor.h"

#include <cstdint>
#include <optional>
#include <vector>

// What one operation of the grid changed, collected while it runs (with whatever the handlers it notified changed
// meanwhile) and applied by the widget once it ends: the repaint and the events for assistive technology, from the
// same record.
struct GridChanges {
    // The grid as the operation found it.
    GridCursor cursorBefore;
    std::int32_t rowCountBefore = 0;
    std::int32_t topRowBefore = 0;
    std::int32_t leftColBefore = 0;
    // Cells whose text may have changed; they are redrawn too.
    std::vector<GridRange> texts;
    // Cells redrawn for their look alone: the focus rectangle, the selection.
    std::vector<GridRange> looks;
    // Rows from this one down came into the grid or left it.
    std::optional<std::int32_t> rowsFrom;
    // Everything is redrawn: sizes changed.
    bool all = false;
    // Sizes, counts or the scroll position changed: the scroll bars follow.
    bool ranges = false;
};

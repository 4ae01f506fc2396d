#pragma once

#include <cstdint>
#include <span>

// Where the shown block says which rows changed: the window tells its grid, which reads their texts back from the
// block when it paints them; tests record the bytes. A load also hands the thread back through it now and then, so
// the window keeps repainting and taking input meanwhile.
class BlockSink {
public:
    virtual ~BlockSink() = default;

    // Leaves the header row and one data row; row 1 keeps its texts until a load fills it.
    virtual void clearRows() = 0;
    // A load has begun or stopped reading (the hourglass).
    virtual void setBusy(bool busy) = 0;
    // Rows firstRow, firstRow + 1, ... show bytes, the first found at firstOffset; rows are added as needed.
    virtual void showRows(std::int32_t firstRow, std::int64_t firstOffset, std::span<const std::uint8_t> bytes) = 0;
    // The four value cells of row show v; the offset cell stays.
    virtual void showValue(std::int32_t row, std::uint8_t v) = 0;
    // Lets pending repaints and input run.
    virtual void processEvents() = 0;
};

#pragma once

#include "ui/grid/GridCell.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>
#include <map>
#include <optional>

// The grid's geometry: column widths, row heights, the row count, the scroll position (top row, left column) and
// the client area, and everything computed from them in pixels. Each cell is followed by a 1-pixel grid line, so
// a cell's line is the first pixel after it. Sizes are stored only once set; until then the defaults apply,
// which keeps a grid of thousands of default rows free of per-row storage.
class GridLayout {
public:
    static constexpr std::int32_t ColCount = 5;
    static constexpr std::int32_t FixedCols = 1;
    static constexpr std::int32_t DefaultColWidth = 96;
    static constexpr std::int32_t DefaultRowHeight = 20;
    static constexpr std::int32_t LineWidth = 1;
    // Scroll bars always have this many positions, whatever the number of rows or columns.
    static constexpr std::int32_t ThumbPositions = 128;

    enum class SizingAxis { Column, Row };
    // A place where a press starts sizing: which column or row, where its line is and where its cell starts.
    struct Sizing {
        SizingAxis axis = SizingAxis::Column;
        std::int32_t index = 0;
        std::int32_t linePos = 0;
        std::int32_t cellStart = 0;
    };
    // The cell under a point; col or row is -1 in the empty area beyond the last column or row.
    using Hit = GridCell;

    [[nodiscard]] std::int32_t rowCount() const { return m_rowCount; }
    // Rows that remain keep their heights; a height set on a removed row is forgotten.
    void setRowCount(std::int32_t count);
    [[nodiscard]] std::int32_t fixedRows() const { return m_fixedRows; }
    void setFixedRows(std::int32_t rows) { m_fixedRows = rows; }
    [[nodiscard]] std::int32_t firstRow() const { return m_fixedRows; }
    [[nodiscard]] std::int32_t lastRow() const { return m_rowCount - 1; }

    [[nodiscard]] std::int32_t colWidth(std::int32_t col) const;
    void setColWidth(std::int32_t col, std::int32_t width);
    [[nodiscard]] std::int32_t rowHeight(std::int32_t row) const;
    void setRowHeight(std::int32_t row, std::int32_t height);

    void setClientSize(QSize size) { m_client = size; }

    [[nodiscard]] std::int32_t topRow() const { return m_topRow; }
    [[nodiscard]] std::int32_t leftCol() const { return m_leftCol; }
    // Both clamp to the allowed range.
    void setTopRow(std::int32_t row);
    void setLeftCol(std::int32_t col);

    [[nodiscard]] std::int32_t fixedWidth() const;
    [[nodiscard]] std::int32_t fixedHeight() const;
    [[nodiscard]] std::int32_t maxTopRow() const;
    [[nodiscard]] std::int32_t maxLeftCol() const;
    // The last scrollable row (column) shown whole; the top row (left column) when not even that one fits.
    [[nodiscard]] std::int32_t lastFullRow() const;
    [[nodiscard]] std::int32_t lastFullCol() const;
    // The last row (column) of which any pixel shows.
    [[nodiscard]] std::int32_t lastVisibleRow() const;
    [[nodiscard]] std::int32_t lastVisibleCol() const;
    // The paging steps: wholly visible rows (columns) minus one, at least 1.
    [[nodiscard]] std::int32_t pageRows() const;
    [[nodiscard]] std::int32_t pageCols() const;
    // The smallest top row (left column) at which the row (column) is wholly visible.
    [[nodiscard]] std::int32_t topRowShowing(std::int32_t row) const;
    [[nodiscard]] std::int32_t leftColShowing(std::int32_t col) const;

    // A scrollable row above the top row, or so far below it that it cannot show: every row takes at least its
    // 1-pixel line. Cheap enough for every cell write of a load, most of which land below the view.
    [[nodiscard]] bool rowSurelyHidden(std::int32_t row) const
    {
        return row >= m_fixedRows && (row < m_topRow || row - m_topRow >= m_client.height());
    }
    // Position of a shown column's (row's) first pixel, or nullopt when it is scrolled out of view.
    [[nodiscard]] std::optional<std::int32_t> colX(std::int32_t col) const;
    [[nodiscard]] std::optional<std::int32_t> rowY(std::int32_t row) const;
    // The cell's pixels without its line; empty when the cell is not on screen at all.
    [[nodiscard]] QRect cellRect(GridCell cell) const;
    // What a range's cells cover of the client area, their lines below and right included; empty when none shows.
    [[nodiscard]] QRect rangeRect(GridRange range) const;
    // The top edge of a row, or below the last row for one beyond it; nothing when the row does not show.
    [[nodiscard]] std::optional<std::int32_t> yFromRow(std::int32_t row) const;
    // The pixels between the top edges of two rows (or the left edges of two columns), negative upwards.
    [[nodiscard]] std::int32_t pixelsBetween(std::int32_t from, std::int32_t to, bool rows) const;
    [[nodiscard]] Hit cellAt(QPoint point) const;
    [[nodiscard]] std::optional<Sizing> sizingAt(QPoint point) const;

    // Scroll bar arithmetic: the thumb for a top row, and the top row for a thumb released at a position.
    [[nodiscard]] static std::int32_t thumbFor(std::int32_t value, std::int32_t first, std::int32_t max);
    [[nodiscard]] static std::int32_t valueForThumb(std::int32_t position, std::int32_t first, std::int32_t max);

private:
    [[nodiscard]] std::int32_t extentBack(
        std::int32_t last, std::int32_t first, std::int32_t available, bool rows) const;
    [[nodiscard]] std::int32_t lastFull(
        std::int32_t from, std::int32_t end, std::int32_t start, std::int32_t available, bool rows) const;

    std::int32_t m_rowCount = 2;
    std::int32_t m_fixedRows = 1;
    std::int32_t m_topRow = 1;
    std::int32_t m_leftCol = 1;
    QSize m_client;
    std::array<std::optional<std::int32_t>, ColCount> m_colWidths;
    std::map<std::int32_t, std::int32_t> m_rowHeights;
};

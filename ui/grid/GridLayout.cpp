#include "ui/grid/GridLayout.h"

#include <algorithm>

void GridLayout::setRowCount(std::int32_t count)
{
    m_rowCount = count;
    m_rowHeights.erase(m_rowHeights.lower_bound(count), m_rowHeights.end());
}

std::int32_t GridLayout::colWidth(std::int32_t col) const
{
    return m_colWidths.at(static_cast<std::size_t>(col)).value_or(DefaultColWidth);
}

void GridLayout::setColWidth(std::int32_t col, std::int32_t width)
{
    m_colWidths.at(static_cast<std::size_t>(col)) = width;
}

std::int32_t GridLayout::rowHeight(std::int32_t row) const
{
    if (m_rowHeights.empty())
        return DefaultRowHeight;
    const auto found = m_rowHeights.find(row);
    return found == m_rowHeights.end() ? DefaultRowHeight : found->second;
}

void GridLayout::setRowHeight(std::int32_t row, std::int32_t height)
{
    m_rowHeights[row] = height;
}

void GridLayout::setTopRow(std::int32_t row)
{
    m_topRow = std::clamp(row, firstRow(), std::max(firstRow(), maxTopRow()));
}

void GridLayout::setLeftCol(std::int32_t col)
{
    m_leftCol = std::clamp(col, FixedCols, std::max(FixedCols, maxLeftCol()));
}

std::int32_t GridLayout::fixedWidth() const
{
    std::int32_t width = 0;
    for (std::int32_t col = 0; col < FixedCols; ++col)
        width += colWidth(col) + LineWidth;
    return width;
}

std::int32_t GridLayout::fixedHeight() const
{
    std::int32_t height = 0;
    for (std::int32_t row = 0; row < m_fixedRows; ++row)
        height += rowHeight(row) + LineWidth;
    return height;
}

std::int32_t GridLayout::extentBack(std::int32_t last, std::int32_t first, std::int32_t available, bool rows) const
{
    if (last < first)
        return first;
    const auto size = [&](std::int32_t i) { return rows ? rowHeight(i) : colWidth(i); };
    if (rows && m_rowHeights.empty()) {
        // Default heights: the rows that fit are a division away, which keeps a growing grid cheap.
        const std::int32_t fit = std::max(1, (available + LineWidth) / (DefaultRowHeight + LineWidth));
        return std::max(first, last - fit + 1);
    }
    std::int32_t start = last;
    std::int32_t used = size(last);
    while (start - 1 >= first && used + size(start - 1) + LineWidth <= available) {
        used += size(start - 1) + LineWidth;
        --start;
    }
    return start;
}

std::int32_t GridLayout::lastFull(
    std::int32_t from, std::int32_t end, std::int32_t start, std::int32_t available, bool rows) const
{
    const auto size = [&](std::int32_t i) { return rows ? rowHeight(i) : colWidth(i); };
    std::int32_t last = from;
    std::int32_t pos = start;
    for (std::int32_t i = from; i <= end && pos + size(i) <= available; ++i) {
        last = i;
        pos += size(i) + LineWidth;
    }
    return last;
}

std::int32_t GridLayout::maxTopRow() const
{
    return extentBack(lastRow(), firstRow(), m_client.height() - fixedHeight(), true);
}

std::int32_t GridLayout::maxLeftCol() const
{
    return extentBack(ColCount - 1, FixedCols, m_client.width() - fixedWidth(), false);
}

std::int32_t GridLayout::lastFullRow() const
{
    return lastFull(m_topRow, lastRow(), fixedHeight(), m_client.height(), true);
}

std::int32_t GridLayout::lastFullCol() const
{
    return lastFull(m_leftCol, ColCount - 1, fixedWidth(), m_client.width(), false);
}

std::int32_t GridLayout::lastVisibleRow() const
{
    std::int32_t row = m_topRow;
    std::int32_t y = fixedHeight();
    while (row < lastRow() && y + rowHeight(row) + LineWidth < m_client.height()) {
        y += rowHeight(row) + LineWidth;
        ++row;
    }
    return row;
}

std::int32_t GridLayout::lastVisibleCol() const
{
    std::int32_t col = m_leftCol;
    std::int32_t x = fixedWidth();
    while (col < ColCount - 1 && x + colWidth(col) + LineWidth < m_client.width()) {
        x += colWidth(col) + LineWidth;
        ++col;
    }
    return col;
}

std::int32_t GridLayout::pageRows() const
{
    return std::max(1, lastFullRow() - m_topRow);
}

std::int32_t GridLayout::pageCols() const
{
    return std::max(1, lastFullCol() - m_leftCol);
}

std::int32_t GridLayout::topRowShowing(std::int32_t row) const
{
    return extentBack(row, firstRow(), m_client.height() - fixedHeight(), true);
}

std::int32_t GridLayout::leftColShowing(std::int32_t col) const
{
    return extentBack(col, FixedCols, m_client.width() - fixedWidth(), false);
}

std::optional<std::int32_t> GridLayout::colX(std::int32_t col) const
{
    if (col < 0 || col >= ColCount)
        return std::nullopt;
    std::int32_t x = 0;
    if (col < FixedCols) {
        for (std::int32_t c = 0; c < col; ++c)
            x += colWidth(c) + LineWidth;
        return x;
    }
    if (col < m_leftCol)
        return std::nullopt;
    x = fixedWidth();
    for (std::int32_t c = m_leftCol; c < col && x < m_client.width(); ++c)
        x += colWidth(c) + LineWidth;
    return x < m_client.width() ? std::optional(x) : std::nullopt;
}

std::optional<std::int32_t> GridLayout::rowY(std::int32_t row) const
{
    if (row < 0 || row > lastRow())
        return std::nullopt;
    std::int32_t y = 0;
    if (row < m_fixedRows) {
        for (std::int32_t r = 0; r < row; ++r)
            y += rowHeight(r) + LineWidth;
        return y;
    }
    if (rowSurelyHidden(row))
        return std::nullopt;
    y = fixedHeight();
    if (m_rowHeights.empty()) {
        const std::int64_t offset = std::int64_t { row - m_topRow } * (DefaultRowHeight + LineWidth);
        if (y + offset >= m_client.height())
            return std::nullopt;
        return y + static_cast<std::int32_t>(offset);
    }
    for (std::int32_t r = m_topRow; r < row && y < m_client.height(); ++r)
        y += rowHeight(r) + LineWidth;
    return y < m_client.height() ? std::optional(y) : std::nullopt;
}

QRect GridLayout::cellRect(GridCell cell) const
{
    // The row first: cells written during a load are mostly below the view, and that is told cheaply.
    const auto y = rowY(cell.row);
    if (!y)
        return {};
    const auto x = colX(cell.col);
    if (!x)
        return {};
    return { *x, *y, colWidth(cell.col), rowHeight(cell.row) };
}

GridLayout::Hit GridLayout::cellAt(QPoint point) const
{
    Hit hit { -1, -1 };
    std::int32_t x = 0;
    for (std::int32_t col = 0; col < ColCount; ++col) {
        if (col == FixedCols)
            col = std::max(col, m_leftCol);
        x += colWidth(col) + LineWidth;
        if (point.x() < x) {
            hit.col = col;
            break;
        }
    }
    std::int32_t y = 0;
    for (std::int32_t row = 0; row <= lastRow() && y < m_client.height(); ++row) {
        if (row == m_fixedRows)
            row = std::max(row, m_topRow);
        y += rowHeight(row) + LineWidth;
        if (point.y() < y) {
            hit.row = row;
            break;
        }
    }
    return hit;
}

std::optional<GridLayout::Sizing> GridLayout::sizingAt(QPoint point) const
{
    const auto near = [](std::int32_t pos, std::int32_t line) { return pos >= line - 3 && pos <= line + 4; };
    if (point.y() < fixedHeight() && point.x() >= fixedWidth()) {
        std::int32_t x = fixedWidth();
        for (std::int32_t col = m_leftCol; col < ColCount && x < m_client.width(); ++col) {
            const std::int32_t line = x + colWidth(col);
            if (near(point.x(), line))
                return Sizing { SizingAxis::Column, col, line, x };
            if (line > m_client.width() && point.x() >= m_client.width() - 3)
                return Sizing { SizingAxis::Column, col, line, x };
            x = line + LineWidth;
        }
    }
    if (point.x() < fixedWidth() && point.y() >= fixedHeight()) {
        std::int32_t y = fixedHeight();
        for (std::int32_t row = m_topRow; row <= lastRow() && y < m_client.height(); ++row) {
            const std::int32_t line = y + rowHeight(row);
            if (near(point.y(), line))
                return Sizing { SizingAxis::Row, row, line, y };
            if (line > m_client.height() && point.y() >= m_client.height() - 3)
                return Sizing { SizingAxis::Row, row, line, y };
            y = line + LineWidth;
        }
    }
    return std::nullopt;
}

std::int32_t GridLayout::thumbFor(std::int32_t value, std::int32_t first, std::int32_t max)
{
    if (max <= first)
        return 0;
    const std::int64_t span = max - first;
    const std::int64_t scaled = std::int64_t { ThumbPositions - 1 } * (value - first);
    return static_cast<std::int32_t>((2 * scaled + span) / (2 * span));
}

std::int32_t GridLayout::valueForThumb(std::int32_t position, std::int32_t first, std::int32_t max)
{
    const std::int64_t span = max - first;
    const std::int64_t scaled = std::int64_t { position } * span;
    const std::int64_t steps = ThumbPositions - 1;
    return first + static_cast<std::int32_t>((2 * scaled + steps) / (2 * steps));
}

QRect GridLayout::rangeRect(GridRange range) const
{
    // Fixed cells always show; scrollable ones from the first in view.
    const auto firstShown = [](std::int32_t i, std::int32_t fixed, std::int32_t firstScrolled) {
        return i < fixed ? i : std::max(i, firstScrolled);
    };
    const GridCell first { firstShown(range.first.col, FixedCols, leftCol()),
        firstShown(range.first.row, fixedRows(), topRow()) };
    const GridCell last { std::min(range.last.col, lastVisibleCol()), std::min(range.last.row, lastVisibleRow()) };
    if (first.col > last.col || first.row > last.row)
        return {};
    const QRect topLeft = cellRect(first);
    const QRect bottomRight = cellRect(last);
    if (topLeft.isEmpty() || bottomRight.isEmpty())
        return {};
    return topLeft.united(bottomRight).adjusted(0, 0, LineWidth, LineWidth);
}

std::optional<std::int32_t> GridLayout::yFromRow(std::int32_t row) const
{
    const std::int32_t last = std::min(row, lastRow());
    auto y = rowY(last);
    if (y && row > last)
        *y += rowHeight(last) + LineWidth;
    return y;
}

std::int32_t GridLayout::pixelsBetween(std::int32_t from, std::int32_t to, bool rows) const
{
    std::int32_t pixels = 0;
    for (std::int32_t i = std::min(from, to); i < std::max(from, to); ++i)
        pixels += (rows ? rowHeight(i) : colWidth(i)) + LineWidth;
    return from < to ? pixels : -pixels;
}

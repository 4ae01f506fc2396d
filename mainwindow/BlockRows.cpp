#include "mainwindow/BlockRows.h"

#include "mainwindow/Comparison.h"
#include "ui/grid/ByteGrid.h"

#include <algorithm>

BlockRows::BlockRows(const ShownBlock& block, ByteGrid& grid)
    : m_block(block)
    , m_grid(grid)
{
}

std::string_view BlockRows::cellText(std::int32_t col, std::int32_t row, TextBuffer& buffer) const
{
    if (row < 1)
        return {};
    if (col == 0) {
        if (!m_block.anyShown() || row > ShownBlock::BlockSpan + 1)
            return {};
        // Copied out: the next row's text is counted up in the same place.
        const std::string_view text = m_offsetTexts.text(addressOf(row), m_block.offsetDigits());
        std::copy(text.begin(), text.end(), buffer.begin());
        return { buffer.data(), text.size() };
    }
    const std::optional<std::uint8_t> byte = m_block.shownByte(addressOf(row));
    return byte ? formatValue(col, *byte) : std::string_view();
}

void BlockRows::rowTexts(std::int32_t row, RowTexts& texts) const
{
    // The offset's text views the place it is counted up in, good until the next one is asked for: all a reader
    // of whole rows needs, and a copy fewer for each of a report's 8193.
    const bool known = row >= 1 && row <= ShownBlock::BlockSpan + 1;
    texts[0]
        = known && m_block.anyShown() ? m_offsetTexts.text(addressOf(row), m_block.offsetDigits()) : std::string_view();
    const std::optional<std::uint8_t> byte = known ? m_block.shownByte(addressOf(row)) : std::nullopt;
    if (byte)
        formatValues(*byte, texts);
    else
        std::fill(texts.begin() + 1, texts.end(), std::string_view());
}

std::optional<GridRange> BlockRows::rowsOf(AddressRange bytes) const
{
    const AddressRange loaded = m_block.loaded();
    if (!loaded.contains(bytes.begin))
        return std::nullopt;
    const std::int32_t last = rowOf(std::min(bytes.end, loaded.end) - 1);
    return GridRange { { 1, rowOf(bytes.begin) }, { 1, last } };
}

void BlockRows::blockChanged(const BlockChange& change)
{
    using Kind = BlockChange::Kind;
    switch (change.kind) {
    case Kind::Emptied:
        // The header row and one data row, row 1 keeping its texts.
        m_grid.setRowCount(2);
        break;
    case Kind::Loaded:
    case Kind::LoadedMore: {
        const std::int32_t first = rowOf(change.bytes.begin);
        const std::int32_t last = rowOf(change.bytes.end - 1);
        if (change.kind == Kind::Loaded)
            m_grid.resetRows(last + 1);
        else if (m_grid.rowCount() <= last)
            m_grid.setRowCount(last + 1);
        m_grid.sourceChanged({ 0, first }, { 4, last });
        break;
    }
    case Kind::Bytes:
        m_grid.sourceChanged({ 1, rowOf(change.bytes.begin) }, { 4, rowOf(change.bytes.end - 1) });
        break;
    case Kind::Written:
    case Kind::Current:
    case Kind::Writing:
        break;
    }
}

bool BlockRows::rowMarked(std::int32_t row) const
{
    return m_comparison && m_comparison->marked(addressOf(row));
}

std::string BlockRows::rowNote(std::int32_t row) const
{
    return m_comparison ? m_comparison->markOf(addressOf(row)) : std::string();
}

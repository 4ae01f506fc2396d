#pragma once

#include "mainwindow/RowFormat.h"
#include "mainwindow/ShownBlock.h"
#include "ui/grid/GridCell.h"
#include "ui/grid/GridSource.h"

#include <cstdint>
#include <optional>

class ByteGrid;
class Comparison;

// The shown block as the grid's rows: row r shows the byte at the block's firstShown() + r - 1, its offset and its
// four values, and the grid follows what the block tells of its changes. The one place where rows and addresses
// meet.
class BlockRows : public GridSource {
public:
    BlockRows(const ShownBlock& block, ByteGrid& grid);

    [[nodiscard]] std::string_view cellText(std::int32_t col, std::int32_t row, TextBuffer& buffer) const override;
    void rowTexts(std::int32_t row, RowTexts& texts) const override;
    // While another file is compared, the rows whose byte differs from its byte are marked.
    [[nodiscard]] bool rowMarked(std::int32_t row) const override;
    [[nodiscard]] std::string rowNote(std::int32_t row) const override;
    void setComparison(const Comparison* comparison) { m_comparison = comparison; }

    [[nodiscard]] Address addressOf(std::int32_t row) const { return m_block.firstShown() + row - 1; }
    [[nodiscard]] std::int32_t rowOf(Address address) const
    {
        return static_cast<std::int32_t>(address - m_block.firstShown() + 1);
    }
    // The bytes of rows first to last.
    [[nodiscard]] AddressRange addressesOf(std::int32_t first, std::int32_t last) const
    {
        return { addressOf(first), addressOf(last) + 1 };
    }
    // The rows of bytes, in column 1, as far as the last load shows them; none when their first byte is not shown.
    [[nodiscard]] std::optional<GridRange> rowsOf(AddressRange bytes) const;

    // Brings the grid's rows up to a change of the block.
    void blockChanged(const BlockChange& change);

private:
    const ShownBlock& m_block;
    ByteGrid& m_grid;
    mutable OffsetTexts m_offsetTexts;
    const Comparison* m_comparison = nullptr;
};

#include "ui/grid/GridCells.h"

namespace {
const std::string& emptyText()
{
    static const std::string empty;
    return empty;
}

bool inBlockColumns(std::int32_t col)
{
    return col >= 0 && col < GridCells::BlockColumns;
}
} // namespace

const std::string& GridCells::text(std::int32_t col, std::int32_t row) const
{
    if (inBlockColumns(col)) {
        const auto block = m_blocks.find(blockOf(row));
        return block == m_blocks.end() ? emptyText() : (*block->second)[slotOf(col, row)];
    }
    const auto other = m_others.find({ col, row });
    return other == m_others.end() ? emptyText() : other->second;
}

void GridCells::setText(std::int32_t col, std::int32_t row, std::string text)
{
    if (inBlockColumns(col)) {
        auto& block = m_blocks[blockOf(row)];
        if (!block)
            block = std::make_unique<Block>();
        (*block)[slotOf(col, row)] = std::move(text);
        return;
    }
    m_others[{ col, row }] = std::move(text);
}

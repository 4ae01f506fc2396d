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

GridCells::Block* GridCells::findBlock(std::int32_t block) const
{
    if (m_lastBlockCells && m_lastBlock == block)
        return m_lastBlockCells;
    const auto found = m_blocks.find(block);
    if (found == m_blocks.end())
        return nullptr;
    m_lastBlock = block;
    m_lastBlockCells = found->second.get();
    return m_lastBlockCells;
}

const std::string& GridCells::lookUp(std::int32_t col, std::int32_t row) const
{
    if (inBlockColumns(col)) {
        const Block* block = findBlock(blockOf(row));
        return block ? (*block)[slotOf(col, row)] : emptyText();
    }
    const auto other = m_others.find({ col, row });
    return other == m_others.end() ? emptyText() : other->second;
}

std::string* GridCells::rowSlots(std::int32_t row)
{
    Block* block = findBlock(blockOf(row));
    if (!block) {
        auto& made = m_blocks[blockOf(row)];
        made = std::make_unique<Block>();
        block = made.get();
        m_lastBlock = blockOf(row);
        m_lastBlockCells = block;
    }
    return &(*block)[slotOf(0, row)];
}

void GridCells::setText(std::int32_t col, std::int32_t row, std::string&& text)
{
    if (inBlockColumns(col)) {
        rowSlots(row)[col] = std::move(text);
        return;
    }
    m_others[{ col, row }] = std::move(text);
}

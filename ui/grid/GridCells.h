#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

// The grid's cell texts, stored sparsely and independently of the row and column counts.
//
// The five columns the grid shows are kept in blocks of 256 rows, so a full load of 8193 rows costs a few dozen
// allocations beyond the texts themselves; any other column lives in a plain map. Reading a cell that was never
// written returns a shared empty text and allocates nothing.
class GridCells {
public:
    static constexpr std::int32_t BlockColumns = 5;
    static constexpr std::int32_t BlockRows = 256;

    // Inline for the cells of the block read last: painting and the report read neighbouring cells in turn.
    [[nodiscard]] const std::string& text(std::int32_t col, std::int32_t row) const
    {
        if (col >= 0 && col < BlockColumns && m_lastBlockCells && m_lastBlock == blockOf(row))
            return (*m_lastBlockCells)[slotOf(col, row)];
        return lookUp(col, row);
    }
    // Takes the text over: a load hands on 41k short texts, each move of which is a copy of its bytes.
    void setText(std::int32_t col, std::int32_t row, std::string&& text);
    // The five texts of a row side by side, for reading a row at once; null for a row never written.
    [[nodiscard]] const std::string* rowTexts(std::int32_t row) const
    {
        if (m_lastBlockCells && m_lastBlock == blockOf(row))
            return &(*m_lastBlockCells)[slotOf(0, row)];
        const Block* block = findBlock(blockOf(row));
        return block ? &(*block)[slotOf(0, row)] : nullptr;
    }
    // The same for writing them in place; the row's storage is made when missing.
    [[nodiscard]] std::string* rowSlots(std::int32_t row);

private:
    using Block = std::array<std::string, BlockColumns * BlockRows>;

    [[nodiscard]] static std::int32_t blockOf(std::int32_t row) { return row >> 8; }
    [[nodiscard]] static std::size_t slotOf(std::int32_t col, std::int32_t row)
    {
        return static_cast<std::size_t>(row & (BlockRows - 1)) * BlockColumns + static_cast<std::size_t>(col);
    }

    [[nodiscard]] const std::string& lookUp(std::int32_t col, std::int32_t row) const;
    [[nodiscard]] Block* findBlock(std::int32_t block) const;

    std::unordered_map<std::int32_t, std::unique_ptr<Block>> m_blocks;
    // The block found last: a load writes 1280 cells in a row into one block, and painting reads neighbours.
    // Blocks are never freed, so the pointer stays good.
    mutable std::int32_t m_lastBlock = 0;
    mutable Block* m_lastBlockCells = nullptr;
    std::map<std::pair<std::int32_t, std::int32_t>, std::string> m_others;
};

#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

// The grid's cell texts, stored sparsely and independently of the row and column counts.
//
// The five columns the grid shows are kept in blocks of 256 rows, each row's five texts packed side by side in
// 48 bytes: a full load writes 8193 rows, and five strings of their own per row took three times the room, and as
// many fresh pages to fault in before the window's first paint. A row whose texts do not fit (only an edit can
// make one) keeps them as strings aside. Any other column lives in a plain map. Reading a cell that was never
// written gives an empty text and allocates nothing.
//
// A text read is a view into the storage: it stays good until its row is next written.
class GridCells {
public:
    static constexpr std::int32_t BlockColumns = 5;
    static constexpr std::int32_t BlockRows = 256;
    using RowView = std::array<std::string_view, BlockColumns>;

    // Inline: painting and the report read neighbouring cells in turn.
    [[nodiscard]] std::string_view text(std::int32_t col, std::int32_t row) const
    {
        if (col < 0 || col >= BlockColumns)
            return otherText(col, row);
        const PackedRow* packed = findRow(row);
        if (!packed)
            return {};
        if (packed->lengths[0] == Spilled)
            return spilledText(col, row);
        std::size_t at = 0;
        for (std::int32_t c = 0; c < col; ++c)
            at += packed->lengths[static_cast<std::size_t>(c)];
        return { packed->bytes.data() + at, packed->lengths[static_cast<std::size_t>(col)] };
    }
    void setText(std::int32_t col, std::int32_t row, std::string_view text);
    // Reads the five texts of a row into texts; false, leaving them alone, for a row never written.
    [[nodiscard]] bool rowTexts(std::int32_t row, RowView& texts) const;
    // Writes the five texts of a row at once; they may not be views of this storage.
    void setRow(std::int32_t row, const RowView& texts);

private:
    struct PackedRow {
        static constexpr std::size_t Room = 43;
        std::array<std::uint8_t, BlockColumns> lengths {};
        std::array<char, Room> bytes {};
    };
    // The first length of a row whose texts live in m_spilled; a packed row's lengths add up to Room at most.
    static constexpr std::uint8_t Spilled = 0xFF;
    using Block = std::array<PackedRow, BlockRows>;

    [[nodiscard]] static std::int32_t blockOf(std::int32_t row) { return row >> 8; }
    [[nodiscard]] const PackedRow* findRow(std::int32_t row) const
    {
        const Block* block = findBlock(blockOf(row));
        return block ? &(*block)[static_cast<std::size_t>(row & (BlockRows - 1))] : nullptr;
    }
    [[nodiscard]] Block* findBlock(std::int32_t block) const
    {
        if (m_lastBlockCells && m_lastBlock == block)
            return m_lastBlockCells;
        return lookUpBlock(block);
    }
    [[nodiscard]] Block* lookUpBlock(std::int32_t block) const;
    [[nodiscard]] PackedRow& rowForWriting(std::int32_t row);
    [[nodiscard]] std::string_view otherText(std::int32_t col, std::int32_t row) const;
    [[nodiscard]] std::string_view spilledText(std::int32_t col, std::int32_t row) const;

    std::unordered_map<std::int32_t, std::unique_ptr<Block>> m_blocks;
    // The block found last: a load writes 256 rows in a row into one block, and painting reads neighbours.
    // Blocks are never freed, so the pointer stays good.
    mutable std::int32_t m_lastBlock = 0;
    mutable Block* m_lastBlockCells = nullptr;
    std::unordered_map<std::int32_t, std::array<std::string, BlockColumns>> m_spilled;
    std::map<std::pair<std::int32_t, std::int32_t>, std::string> m_others;
};

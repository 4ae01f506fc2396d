#include "ui/grid/GridCells.h"

#include <algorithm>
#include <cstring>

GridCells::Block* GridCells::lookUpBlock(std::int32_t block) const
{
    const auto found = m_blocks.find(block);
    if (found == m_blocks.end())
        return nullptr;
    m_lastBlock = block;
    m_lastBlockCells = found->second.get();
    return m_lastBlockCells;
}

GridCells::PackedRow& GridCells::rowForWriting(std::int32_t row)
{
    Block* block = findBlock(blockOf(row));
    if (!block) {
        auto& made = m_blocks[blockOf(row)];
        made = std::make_unique<Block>();
        block = made.get();
        m_lastBlock = blockOf(row);
        m_lastBlockCells = block;
    }
    return (*block)[static_cast<std::size_t>(row & (BlockRows - 1))];
}

std::string_view GridCells::otherText(std::int32_t col, std::int32_t row) const
{
    const auto other = m_others.find({ col, row });
    return other == m_others.end() ? std::string_view() : std::string_view(other->second);
}

std::string_view GridCells::spilledText(std::int32_t col, std::int32_t row) const
{
    return m_spilled.at(row)[static_cast<std::size_t>(col)];
}

bool GridCells::rowTexts(std::int32_t row, RowView& texts) const
{
    const PackedRow* packed = findRow(row);
    if (!packed)
        return false;
    if (packed->lengths[0] == Spilled) {
        const auto& aside = m_spilled.at(row);
        std::copy(aside.begin(), aside.end(), texts.begin());
        return true;
    }
    const char* at = packed->bytes.data();
    for (std::size_t col = 0; col < texts.size(); ++col) {
        texts[col] = { at, packed->lengths[col] };
        at += packed->lengths[col];
    }
    return true;
}

void GridCells::setRow(std::int32_t row, const RowView& texts)
{
    PackedRow& packed = rowForWriting(row);
    std::size_t total = 0;
    for (const std::string_view text : texts)
        total += text.size();
    if (total <= PackedRow::Room) {
        if (packed.lengths[0] == Spilled)
            m_spilled.erase(row);
        char* at = packed.bytes.data();
        for (std::size_t col = 0; col < texts.size(); ++col) {
            std::copy(texts[col].begin(), texts[col].end(), at);
            packed.lengths[col] = static_cast<std::uint8_t>(texts[col].size());
            at += texts[col].size();
        }
        return;
    }
    auto& aside = m_spilled[row];
    std::copy(texts.begin(), texts.end(), aside.begin());
    packed.lengths[0] = Spilled;
}

void GridCells::setText(std::int32_t col, std::int32_t row, std::string_view text)
{
    if (col < 0 || col >= BlockColumns) {
        m_others[{ col, row }] = std::string(text);
        return;
    }
    // A copy first: text may be a view of this very row.
    const std::string written(text);
    const auto index = static_cast<std::size_t>(col);
    PackedRow& packed = rowForWriting(row);
    if (packed.lengths[0] == Spilled) {
        m_spilled.at(row)[index] = written;
        return;
    }
    std::size_t before = 0;
    std::size_t total = 0;
    for (std::size_t c = 0; c < packed.lengths.size(); ++c) {
        before += c < index ? packed.lengths[c] : 0;
        total += packed.lengths[c];
    }
    const std::size_t old = packed.lengths[index];
    if (total - old + written.size() <= PackedRow::Room) {
        // The texts after this one move to make room or close the gap.
        char* start = packed.bytes.data() + before;
        const std::size_t after = total - before - old;
        std::memmove(start + written.size(), start + old, after);
        std::copy(written.begin(), written.end(), start);
        packed.lengths[index] = static_cast<std::uint8_t>(written.size());
        return;
    }
    std::array<std::string, BlockColumns> aside;
    for (std::int32_t c = 0; c < BlockColumns; ++c)
        aside[static_cast<std::size_t>(c)] = c == col ? written : std::string(this->text(c, row));
    m_spilled[row] = std::move(aside);
    packed.lengths[0] = Spilled;
}

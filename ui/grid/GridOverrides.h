#pragma once

#include "ui/grid/GridCell.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

// The texts set on single cells (the header row, what the user typed, what a handler stored), which stand over
// the grid's source until the source says their rows changed. Kept whatever the row count, as the grid's cells
// keep their texts when rows go and come back. Few at any time: a map ordered by row, so a row range is one span.
class GridOverrides {
public:
    [[nodiscard]] const std::string* find(GridCell cell) const
    {
        if (m_texts.empty()) [[likely]]
            return nullptr;
        const auto found = m_texts.find({ cell.row, cell.col });
        return found == m_texts.end() ? nullptr : &found->second;
    }

    void set(GridCell cell, std::string text) { m_texts.insert_or_assign({ cell.row, cell.col }, std::move(text)); }

    // Drops the texts of the rectangle spanned by two cells.
    void drop(GridCell from, GridCell to)
    {
        const auto [firstCol, lastCol] = std::minmax(from.col, to.col);
        const auto [firstRow, lastRow] = std::minmax(from.row, to.row);
        auto it = m_texts.lower_bound({ firstRow, firstCol });
        while (it != m_texts.end() && it->first.first <= lastRow) {
            const std::int32_t col = it->first.second;
            it = col >= firstCol && col <= lastCol ? m_texts.erase(it) : std::next(it);
        }
    }

private:
    std::map<std::pair<std::int32_t, std::int32_t>, std::string> m_texts;
};

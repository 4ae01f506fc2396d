#pragma once

#include "ui/grid/GridCell.h"

#include <algorithm>
#include <climits>
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
        // Painting and the report ask for every cell: nearly all lie outside the rows that hold texts (the header).
        if (cell.row < m_firstRow || cell.row > m_lastRow) [[likely]]
            return nullptr;
        const auto found = m_texts.find({ cell.row, cell.col });
        return found == m_texts.end() ? nullptr : &found->second;
    }

    [[nodiscard]] bool holdsRow(std::int32_t row) const
    {
        if (row < m_firstRow || row > m_lastRow) [[likely]]
            return false;
        const auto found = m_texts.lower_bound({ row, INT32_MIN });
        return found != m_texts.end() && found->first.first == row;
    }

    void set(GridCell cell, std::string text)
    {
        m_texts.insert_or_assign({ cell.row, cell.col }, std::move(text));
        m_firstRow = std::min(m_firstRow, cell.row);
        m_lastRow = std::max(m_lastRow, cell.row);
    }

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
        if (!m_texts.empty()) {
            m_firstRow = m_texts.begin()->first.first;
            m_lastRow = m_texts.rbegin()->first.first;
        } else {
            m_firstRow = INT32_MAX;
            m_lastRow = INT32_MIN;
        }
    }

private:
    std::map<std::pair<std::int32_t, std::int32_t>, std::string> m_texts;
    // The first and last row that hold a text.
    std::int32_t m_firstRow = INT32_MAX;
    std::int32_t m_lastRow = INT32_MIN;
};

#pragma once

#include "ui/grid/GridSource.h"

#include <array>
#include <climits>
#include <cstdio>
#include <string>

// A grid source whose cell (c, r) reads "c:r", with tag before it in rows 1 to taggedRows: a new tag tells the texts
// after a change from those before.
struct TaggedSource : GridSource {
    std::string tag;
    std::int32_t taggedRows = INT32_MAX;

    std::string_view cellText(std::int32_t col, std::int32_t row, TextBuffer& buffer) const override
    {
        const int length = std::snprintf(
            buffer.data(), buffer.size(), "%s%d:%d", row >= 1 && row <= taggedRows ? tag.c_str() : "", col, row);
        return { buffer.data(), static_cast<std::size_t>(length) };
    }
    void rowTexts(std::int32_t row, RowTexts& texts) const override
    {
        for (std::size_t col = 0; col < texts.size(); ++col)
            texts[col] = cellText(static_cast<std::int32_t>(col), row, m_row[col]);
    }

private:
    mutable std::array<TextBuffer, 5> m_row;
};

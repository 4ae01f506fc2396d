#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Where the grid's cells get their texts: asked for each cell as it is painted, read or edited, so a grid of
// thousands of rows formats only the few it shows. The grid itself keeps only the texts set on cells one by one
// (GridOverrides).
class GridSource {
public:
    // Room for the longest text a source formats: an offset of 16 hex digits and a 20-digit decimal.
    using TextBuffer = std::array<char, 40>;

    virtual ~GridSource() = default;

    // The text of (col, row), formatted into buffer or viewing storage that stays good until the source changes;
    // empty for a cell the source has nothing for.
    [[nodiscard]] virtual std::string_view cellText(std::int32_t col, std::int32_t row, TextBuffer& buffer) const = 0;

    // The five texts of a row at once, as a report of thousands of rows reads them: each as cellText gives it, in
    // storage of the source's own that stays good until the source is next asked for a text.
    using RowTexts = std::array<std::string_view, 5>;
    virtual void rowTexts(std::int32_t row, RowTexts& texts) const = 0;

    // A row the source marks: its cells are drawn on the mark background, and the note is their tool tip and
    // accessible description.
    [[nodiscard]] virtual bool rowMarked(std::int32_t /*row*/) const { return false; }
    [[nodiscard]] virtual std::string rowNote(std::int32_t /*row*/) const { return {}; }
};

#pragma once

#include "ui/grid/GridSource.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The texts of one grid row for the byte v found at offset o.

// Column 0: "0000001F (31)": at least eight upper-case hex digits, then the decimal offset in brackets.
[[nodiscard]] std::string offsetText(std::int64_t offset);
// Columns 1 to 4: hex ("0A"), decimal ("10"), binary ("00001010") and the Windows-1251 character, or "<...>"
// for the control codes below 32.
[[nodiscard]] std::array<std::string, 4> valueTexts(std::uint8_t v);

// The same texts without a string of their own, as the grid asks for them when it paints a cell: the offset's
// formatted into buffer, the value's (column 1 to 4) viewing a table made at compile time.
[[nodiscard]] std::string_view formatOffset(GridSource::TextBuffer& buffer, std::int64_t offset);
[[nodiscard]] std::string_view formatValue(std::int32_t col, std::uint8_t v);
// The four value texts of v at once, into texts[1] to texts[4], as a report reads a row.
void formatValues(std::uint8_t v, GridSource::RowTexts& texts);

// The offset texts of consecutive rows, as painting and the report ask for them: the text of the offset after the
// last one made by counting up in place, which costs a fraction of formatting it anew.
class OffsetTexts {
public:
    [[nodiscard]] std::string_view text(std::int64_t offset)
    {
        // Nearly always the row after the last one, whose two numbers' last digits count up without a carry.
        if (offset == m_offset + 1 && m_offset >= 0) {
            char* first = const_cast<char*>(m_text.data());
            char& hex = first[m_blank - 1];
            char& dec = first[m_text.size() - 2];
            if (hex != 'F' && dec != '9') {
                hex = hex == '9' ? 'A' : static_cast<char>(hex + 1);
                ++dec;
                m_offset = offset;
                return m_text;
            }
        }
        return counted(offset);
    }

private:
    [[nodiscard]] std::string_view counted(std::int64_t offset);

    GridSource::TextBuffer m_buffer {};
    std::string_view m_text;
    std::size_t m_blank = 0;
    std::int64_t m_offset = -1;
};

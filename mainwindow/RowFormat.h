#pragma once

#include "support/HexText.h"
#include "ui/grid/GridSource.h"

#include <array>
#include <cstdint>
#include <string_view>

// The texts of one grid row for the byte v found at offset o, without a string of their own, as the grid asks for
// them when it paints a cell.
//
// Column 0, formatted into buffer: "0000001F (31)", at least digits upper-case hex digits (HexText::offsetDigits of
// the file's size), then the decimal offset in brackets. Columns 1 to 4, viewing a table made at compile time: hex
// ("0A"), decimal ("10"), binary ("00001010") and the Windows-1251 character, or "<...>" for the control codes
// below 32.
[[nodiscard]] std::string_view formatOffset(GridSource::TextBuffer& buffer, std::int64_t offset, int digits = 8);
[[nodiscard]] std::string_view formatValue(std::int32_t col, std::uint8_t v);
namespace RowFormatTables {
// The value texts of all 256 bytes, made at compile time: painting and the report ask for them in every row.
struct ValueTexts {
    std::array<char, 2> hex {};
    std::array<char, 3> dec {};
    std::uint8_t decFrom = 0;
    std::array<char, 8> bits {};
    char character = 0;
};

constexpr std::array<ValueTexts, 256> makeValueTexts()
{
    std::array<ValueTexts, 256> all {};
    for (unsigned v = 0; v < all.size(); ++v) {
        ValueTexts& texts = all[v];
        texts.hex = { HexText::Digits[v >> 4], HexText::Digits[v & 15] };
        unsigned rest = v;
        std::size_t at = texts.dec.size();
        do {
            texts.dec[--at] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        texts.decFrom = static_cast<std::uint8_t>(at);
        for (unsigned bit = 0; bit < 8; ++bit)
            texts.bits[7 - bit] = (v & (1u << bit)) ? '1' : '0';
        texts.character = static_cast<char>(v);
    }
    return all;
}

inline constexpr std::array<ValueTexts, 256> AllValueTexts = makeValueTexts();
} // namespace RowFormatTables

// The four value texts of v at once, into texts[1] to texts[4], as a report reads a row: inline, since a report
// of a full block asks for 8193 rows of them.
inline void formatValues(std::uint8_t v, GridSource::RowTexts& texts)
{
    const RowFormatTables::ValueTexts& made = RowFormatTables::AllValueTexts[v];
    texts[1] = { made.hex.data(), made.hex.size() };
    texts[2] = { made.dec.data() + made.decFrom, made.dec.size() - made.decFrom };
    texts[3] = { made.bits.data(), made.bits.size() };
    texts[4] = v < 32 ? std::string_view("<...>") : std::string_view(&made.character, 1);
}

// The offset texts of consecutive rows, as painting and the report ask for them: the text of the offset after the
// last one made by counting its digits up in place, which costs a fraction of formatting it anew.
class OffsetTexts {
public:
    // Good until the next text is asked for.
    [[nodiscard]] std::string_view text(std::int64_t offset, int digits = 8);

private:
    GridSource::TextBuffer m_buffer {};
    std::string_view m_text;
    std::size_t m_blank = 0;
    std::int64_t m_offset = -1;
    int m_digits = 8;
};

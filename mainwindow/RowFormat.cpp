#include "mainwindow/RowFormat.h"

#include "support/HexText.h"

#include <algorithm>

// Formatted by hand: every paint formats a screenful of these, and printf's format parsing cost more than the rest
// of the row's texts together. Written from the end of the buffer backwards; the longest text, 16 hex digits and a
// 20-character decimal, fills 39 of its 40 bytes.
std::string_view formatOffset(GridSource::TextBuffer& buffer, std::int64_t offset, int digits)
{
    char* end = buffer.data() + buffer.size();
    char* p = end;
    *--p = ')';
    // The decimal part is signed, the hex part shows the same bits unsigned.
    const bool negative = offset < 0;
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(offset) : static_cast<std::uint64_t>(offset);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative)
        *--p = '-';
    *--p = '(';
    *--p = ' ';
    std::uint64_t bits = static_cast<std::uint64_t>(offset);
    // No offset needs more than 16, and the buffer holds no more.
    digits = std::min(digits, 16);
    for (int made = 0; made < digits || bits != 0; ++made) {
        *--p = HexText::Digits[bits & 15];
        bits >>= 4;
    }
    return { p, static_cast<std::size_t>(end - p) };
}

namespace {
// Counts the digits of text up by one from its last; false when the carry runs out of digits (the text grows).
bool countUp(char* first, char* last, int base)
{
    for (char* digit = last; digit >= first; --digit) {
        const int value = *digit <= '9' ? *digit - '0' : *digit - 'A' + 10;
        if (value + 1 < base) {
            *digit = HexText::Digits[value + 1];
            return true;
        }
        *digit = '0';
    }
    return false;
}
} // namespace

std::string_view OffsetTexts::text(std::int64_t offset, int digits)
{
    if (offset == m_offset && digits == m_digits)
        return m_text;
    // "HHHHHHHH (D)": the hex part ends at the blank, the decimal part between the brackets.
    char* first = const_cast<char*>(m_text.data());
    const bool stepped = m_offset >= 0 && offset == m_offset + 1 && digits == m_digits
        && countUp(first, first + m_blank - 1, 16) && countUp(first + m_blank + 2, first + m_text.size() - 2, 10);
    if (!stepped) {
        m_text = formatOffset(m_buffer, offset, digits);
        m_blank = m_text.find(' ');
    }
    m_offset = offset;
    m_digits = digits;
    return m_text;
}

std::string_view formatValue(std::int32_t col, std::uint8_t v)
{
    if (col < 1 || col > 4)
        return {};
    GridSource::RowTexts texts;
    formatValues(v, texts);
    return texts[static_cast<std::size_t>(col)];
}

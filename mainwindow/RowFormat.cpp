#include "mainwindow/RowFormat.h"

namespace {
constexpr char HexDigits[] = "0123456789ABCDEF";
}

// Formatted by hand: every paint formats a screenful of these, and printf's format parsing cost more than the rest
// of the row's texts together. Written from the end of the buffer backwards; the longest text, 16 hex digits and a
// 20-character decimal, fills 39 of its 40 bytes.
std::string_view formatOffset(GridSource::TextBuffer& buffer, std::int64_t offset)
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
    int digits = 0;
    while (digits < 8 || bits != 0) {
        *--p = HexDigits[bits & 15];
        bits >>= 4;
        ++digits;
    }
    return { p, static_cast<std::size_t>(end - p) };
}

std::string offsetText(std::int64_t offset)
{
    GridSource::TextBuffer buffer;
    return std::string(formatOffset(buffer, offset));
}

std::string_view formatValue(GridSource::TextBuffer& buffer, std::int32_t col, std::uint8_t v)
{
    char* p = buffer.data();
    switch (col) {
    case 1:
        p[0] = HexDigits[v >> 4];
        p[1] = HexDigits[v & 15];
        return { p, 2 };
    case 2: {
        char* end = p + 3;
        char* at = end;
        unsigned rest = v;
        do {
            *--at = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        return { at, static_cast<std::size_t>(end - at) };
    }
    case 3:
        for (int bit = 0; bit < 8; ++bit)
            p[7 - bit] = (v & (1u << bit)) ? '1' : '0';
        return { p, 8 };
    case 4:
        if (v < 32)
            return "<...>";
        p[0] = static_cast<char>(v);
        return { p, 1 };
    default:
        return {};
    }
}

std::array<std::string, 4> valueTexts(std::uint8_t v)
{
    std::array<std::string, 4> texts;
    GridSource::TextBuffer buffer;
    for (std::int32_t col = 1; col <= 4; ++col)
        texts[static_cast<std::size_t>(col - 1)] = formatValue(buffer, col, v);
    return texts;
}

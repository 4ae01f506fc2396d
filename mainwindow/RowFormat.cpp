#include "mainwindow/RowFormat.h"

namespace {
constexpr char HexDigits[] = "0123456789ABCDEF";
}

// Formatted by hand: a block load writes 8193 of these, and printf's format parsing cost more than the rest of
// the row's texts together.
std::string offsetText(std::int64_t offset)
{
    char text[48];
    char* end = text + sizeof text;
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
    return std::string(p, static_cast<std::size_t>(end - p));
}

std::array<std::string, 4> valueTexts(std::uint8_t v)
{
    std::string bits(8, '0');
    for (int bit = 0; bit < 8; ++bit)
        if (v & (1u << bit))
            bits[static_cast<std::size_t>(7 - bit)] = '1';
    return {
        std::string { HexDigits[v >> 4], HexDigits[v & 15] },
        std::to_string(v),
        std::move(bits),
        v < 32 ? std::string("<...>") : std::string(1, static_cast<char>(v)),
    };
}

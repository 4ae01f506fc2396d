#include "mainwindow/RowFormat.h"

namespace {
constexpr char HexDigits[] = "0123456789ABCDEF";
}

// Formatted by hand: a block load writes 8193 of these, and printf's format parsing cost more than the rest of
// the row's texts together. Written from the end of the buffer backwards; the longest text, 16 hex digits and a
// 20-character decimal, fills 39 of its 40 bytes.
std::string_view formatOffset(OffsetBuffer& buffer, std::int64_t offset)
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
    OffsetBuffer buffer;
    return std::string(formatOffset(buffer, offset));
}

namespace {
void makeValueTexts(std::array<std::string, 4>& out, std::uint8_t v)
{
    const char hex[] = { HexDigits[v >> 4], HexDigits[v & 15] };
    out[0].assign(hex, 2);
    char dec[3];
    char* p = dec + sizeof dec;
    unsigned rest = v;
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    out[1].assign(p, static_cast<std::size_t>(dec + sizeof dec - p));
    char bits[8];
    for (int bit = 0; bit < 8; ++bit)
        bits[7 - bit] = (v & (1u << bit)) ? '1' : '0';
    out[2].assign(bits, sizeof bits);
    if (v < 32)
        out[3].assign("<...>");
    else
        out[3].assign(1, static_cast<char>(v));
}
} // namespace

const std::array<std::string, 4>& valueTextsOf(std::uint8_t v)
{
    static const std::array<std::array<std::string, 4>, 256> all = [] {
        std::array<std::array<std::string, 4>, 256> made;
        for (std::size_t v = 0; v < made.size(); ++v)
            makeValueTexts(made[v], static_cast<std::uint8_t>(v));
        return made;
    }();
    return all[v];
}

std::array<std::string, 4> valueTexts(std::uint8_t v)
{
    return valueTextsOf(v);
}

// The Windows-1251 boundary. The input is taken twice:
// - as bytes: every byte string survives the way to Unicode and back unchanged, one character per byte;
// - as UTF-16 code units (little-endian pairs): every character becomes one byte, which is either the byte
//   that shows that very character or, for a character the code page lacks, "?". A lone surrogate is not a
//   character of any code page.
#include "support/Cp1251.h"

#include <QString>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_Cp1251: %s\n", what);
    std::abort();
}

bool isHighSurrogate(char16_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}

bool isLowSurrogate(char16_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

std::vector<char32_t> codePointsOf(const std::vector<char16_t>& units)
{
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (isHighSurrogate(u) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            points.push_back(0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00));
            ++i;
        } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
            points.push_back(0xFFFD);
        } else {
            points.push_back(u);
        }
    }
    return points;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const QString shown = Cp1251::toQString(bytes);
    if (static_cast<std::size_t>(shown.size()) != size)
        fail("toQString does not give one character per byte");
    for (const QChar c : shown) {
        if (c.isSurrogate())
            fail("toQString made half a character");
    }
    if (Cp1251::fromQString(shown) != bytes)
        fail("a byte string does not survive toQString and fromQString");

    // Which byte shows each character of the code page; computed once from the byte-to-character direction,
    // which the round trip above has just held to account.
    static const std::array<int, 0x10000> byteFor = [] {
        std::array<int, 0x10000> table;
        table.fill(-1);
        for (int b = 0; b < 256; ++b)
            table[Cp1251::toUnicode(static_cast<unsigned char>(b))] = b;
        return table;
    }();

    std::vector<char16_t> units(size / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    // Built from the units as they are: fromUtf16 would take a leading U+FEFF or U+FFFE as a byte-order mark.
    const QString typed(reinterpret_cast<const QChar*>(units.data()), static_cast<qsizetype>(units.size()));
    const std::string stored = Cp1251::fromQString(typed);
    const std::vector<char32_t> points = codePointsOf(units);
    if (stored.size() != points.size())
        fail("fromQString does not give one byte per character");
    for (std::size_t i = 0; i < points.size(); ++i) {
        const char32_t c = points[i];
        const int expected = c < byteFor.size() && byteFor[c] >= 0 ? byteFor[c] : '?';
        if (static_cast<unsigned char>(stored[i]) != expected)
            fail("a character became a byte that does not show it");
    }
    return 0;
}

#include "mainwindow/RowFormat.h"

#include "support/__Bin.h"

#include <cinttypes>
#include <cstdio>

std::string offsetText(std::int64_t offset)
{
    char text[48];
    const int n
        = std::snprintf(text, sizeof text, "%08" PRIX64 " (%" PRId64 ")", static_cast<std::uint64_t>(offset), offset);
    return std::string(text, static_cast<std::size_t>(n));
}

std::array<std::string, 4> valueTexts(std::uint8_t v)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    return {
        std::string { Digits[v >> 4], Digits[v & 15] },
        std::to_string(v),
        ByteToBinStr(v),
        v < 32 ? std::string("<...>") : std::string(1, static_cast<char>(v)),
    };
}

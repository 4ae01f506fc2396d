#include "support/__Bin.h"

#include "support/__Str.h"

#include <algorithm>

BitFlags16 WordToBits(std::uint16_t w)
{
    BitFlags16 flags {};
    for (std::size_t k = 0; k < flags.size(); ++k)
        flags[k] = (w >> k) & 1u;
    return flags;
}

std::string BitsToBinStr(const BitFlags16& flags)
{
    std::string text(8, '0');
    for (std::size_t k = 0; k < 8; ++k)
        text[7 - k] = flags[k] != 0 ? '1' : '0';
    return text;
}

std::string ByteToBinStr(std::uint8_t v)
{
    return BitsToBinStr(WordToBits(v));
}

BitFlags16 BinStrToBits(std::string text)
{
    BitFlags16 flags {};
    TrimSpaces(text);
    // Only the last 16 characters can matter, whatever the text's length.
    const std::size_t count = std::min(text.size(), flags.size());
    for (std::size_t i = 0; i < count; ++i)
        flags[i] = text[text.size() - 1 - i] == '1' ? 1 : 0;
    return flags;
}

std::uint8_t BinStrToByte(const std::string& text)
{
    const BitFlags16 flags = BinStrToBits(text);
    std::uint8_t value = 0;
    for (std::size_t k = 0; k < 8; ++k)
        if (flags[k] == 1)
            value |= static_cast<std::uint8_t>(1u << k);
    return value;
}

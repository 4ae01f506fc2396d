#include "support/__Str.h"

#include <algorithm>

namespace {
constexpr std::int32_t MaxShortText = 255;
}

void TrimRightSpaces(std::string& text)
{
    const auto last = text.find_last_not_of(' ');
    text.erase(last == std::string::npos ? 0 : last + 1);
}

void TrimLeftSpaces(std::string& text)
{
    text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
}

void TrimSpaces(std::string& text)
{
    TrimRightSpaces(text);
    TrimLeftSpaces(text);
}

std::string ReplicateChar(char ch, std::int32_t n)
{
    return std::string(static_cast<std::size_t>(std::clamp(n, 0, MaxShortText)), ch);
}

void PadTo(std::string& text, char ch, std::int32_t width, bool atEnd)
{
    if (width > MaxShortText || static_cast<std::int64_t>(text.size()) >= width)
        return;
    const std::string fill(static_cast<std::size_t>(width) - text.size(), ch);
    if (atEnd)
        text += fill;
    else
        text.insert(0, fill);
}

std::string PaddedCopy(std::string text, char ch, std::int32_t width, bool atEnd)
{
    PadTo(text, ch, width, atEnd);
    return text;
}

#include "support/IntParser.h"

#include "support/Exception.h"
#include "support/HexText.h"

#include <string>

namespace {

std::optional<std::int32_t> parseHexDigits(std::string_view digits)
{
    if (digits.empty())
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        const int d = HexText::digitValue(c);
        // A ninth significant digit would push bits out of the 32-bit pattern.
        if (d < 0 || value > 0x0FFFFFFFu)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> parseDecimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // Accumulate the magnitude in 64 bits; stop as soon as it leaves the 32-bit range.
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

} // namespace

std::optional<std::int32_t> tryParseInt(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;

    if (text.front() == '$' || text.front() == 'x' || text.front() == 'X')
        return parseHexDigits(text.substr(1));
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseHexDigits(text.substr(2));
    return parseDecimal(text);
}

std::int32_t parseInt(std::string_view text)
{
    if (const auto value = tryParseInt(text))
        return *value;
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

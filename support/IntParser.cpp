#include "support/IntParser.h"

#include "support/Exception.h"
#include "support/HexText.h"

#include <limits>
#include <string>
#include <type_traits>

namespace {

template <typename Int> std::optional<Int> parseHexDigits(std::string_view digits)
{
    using Bits = std::make_unsigned_t<Int>;
    if (digits.empty())
        return std::nullopt;
    Bits value = 0;
    for (const char c : digits) {
        const int d = HexText::digitValue(c);
        // One more significant digit than the pattern holds would push bits out of it.
        if (d < 0 || value >> (8 * sizeof(Bits) - 4) != 0)
            return std::nullopt;
        value = value * 16 + static_cast<Bits>(d);
    }
    return static_cast<Int>(value);
}

template <typename Int>
std::optional<Int> parseNumber(std::string_view text, std::optional<Int> (*decimal)(std::string_view))
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;

    if (text.front() == '$' || text.front() == 'x' || text.front() == 'X')
        return parseHexDigits<Int>(text.substr(1));
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return parseHexDigits<Int>(text.substr(2));
    return decimal(text);
}

std::optional<std::int64_t> parseDecimal64(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // The magnitude counted down from zero, which reaches the most negative value without overflowing.
    std::int64_t value = 0;
    constexpr std::int64_t Lowest = std::numeric_limits<std::int64_t>::min();
    for (const char c : text) {
        if (c < '0' || c > '9' || value < (Lowest + (c - '0')) / 10)
            return std::nullopt;
        value = value * 10 - (c - '0');
    }
    if (!negative && value == Lowest)
        return std::nullopt;
    return negative ? value : -value;
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
    return parseNumber<std::int32_t>(text, parseDecimal);
}

std::optional<std::int64_t> tryParseInt64(std::string_view text)
{
    return parseNumber<std::int64_t>(text, parseDecimal64);
}

std::optional<std::int64_t> tryParseOffset(std::string_view text, std::int64_t size)
{
    const std::optional<std::int64_t> wide = tryParseInt64(text);
    if (wide && *wide > std::numeric_limits<std::int32_t>::max() && *wide < size)
        return wide;
    return tryParseInt(text);
}

std::int32_t parseInt(std::string_view text)
{
    if (const auto value = tryParseInt(text))
        return *value;
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

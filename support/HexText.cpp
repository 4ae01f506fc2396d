#include "support/HexText.h"

namespace HexText {

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string pairsOf(std::string_view bytes, char separator)
{
    std::string text;
    text.reserve(bytes.size() * (separator ? 3 : 2));
    for (const char byte : bytes) {
        if (separator && !text.empty())
            text += separator;
        text += Digits[static_cast<unsigned char>(byte) >> 4];
        text += Digits[static_cast<unsigned char>(byte) & 0xF];
    }
    return text;
}

std::string offsetOf(std::int64_t offset, int digits)
{
    std::string text;
    for (auto bits = static_cast<std::uint64_t>(offset); bits != 0 || text.size() < std::size_t(digits); bits >>= 4)
        text.insert(text.begin(), Digits[bits & 0xF]);
    return text;
}

int offsetDigits(std::int64_t size)
{
    int digits = 8;
    for (std::uint64_t last = size > 0 ? std::uint64_t(size - 1) : 0; digits < 16 && last >> (4 * digits) != 0;)
        ++digits;
    return digits;
}

std::optional<std::string> bytesOf(std::string_view text, Blanks blanks)
{
    std::string bytes;
    bytes.reserve(text.size() / 2);
    int high = -1;
    for (const char c : text) {
        if (isBlank(c) && high < 0 && blanks == Blanks::BetweenBytes)
            continue;
        const int digit = digitValue(c);
        if (digit < 0)
            return std::nullopt;
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high * 16 + digit);
            high = -1;
        }
    }
    if (high >= 0)
        return std::nullopt;
    return bytes;
}

} // namespace HexText

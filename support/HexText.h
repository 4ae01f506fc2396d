#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Bytes as hexadecimal text and back, as the find prompt, the clipboard and patch files write them.
namespace HexText {

inline constexpr std::string_view Digits = "0123456789ABCDEF";

// The value of a hexadecimal digit of either case, or -1 for any other character.
[[nodiscard]] int digitValue(char c);

// Two upper-case digits a byte, with separator between bytes when it is not 0: "4D5A", "4D 5A".
[[nodiscard]] std::string pairsOf(std::string_view bytes, char separator = 0);

// An offset as at least digits upper-case digits: "0000001F".
[[nodiscard]] std::string offsetOf(std::int64_t offset, int digits = 8);

// How many hexadecimal digits the offsets of a file of size bytes are shown with: eight, or as many as its last
// offset needs, so that the offsets of one file line up.
[[nodiscard]] int offsetDigits(std::int64_t size);

// A blank between bytes: a space, a tab or a line end, as a copied line or table column brings them.
[[nodiscard]] constexpr bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

enum class Blanks { Refused, BetweenBytes };
// The bytes of pairs of hexadecimal digits of either case; nothing when a digit is missing or is none. With
// Blanks::BetweenBytes, blanks may stand before and between pairs, never inside one.
[[nodiscard]] std::optional<std::string> bytesOf(std::string_view text, Blanks blanks);

} // namespace HexText

#pragma once

#include <array>
#include <cstdint>
#include <string>

// One flag per bit of a 16-bit word: element k is 1 when bit k is set, else 0.
using BitFlags16 = std::array<std::uint8_t, 16>;

[[nodiscard]] BitFlags16 WordToBits(std::uint16_t w);
// Exactly 8 characters, element 7 first; elements 8 to 15 are ignored.
[[nodiscard]] std::string BitsToBinStr(const BitFlags16& flags);
[[nodiscard]] std::string ByteToBinStr(std::uint8_t v);
// Reads the blank-trimmed text from its end: the last character is bit 0, up to 16 bits. "1" sets a bit,
// any other character clears it.
[[nodiscard]] BitFlags16 BinStrToBits(std::string text);
[[nodiscard]] std::uint8_t BinStrToByte(const std::string& text);

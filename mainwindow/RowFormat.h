#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The texts of one grid row for the byte v found at offset o.

// Column 0: "0000001F (31)": at least eight upper-case hex digits, then the decimal offset in brackets.
[[nodiscard]] std::string offsetText(std::int64_t offset);
// Columns 1 to 4: hex ("0A"), decimal ("10"), binary ("00001010") and the Windows-1251 character, or "<...>"
// for the control codes below 32.
[[nodiscard]] std::array<std::string, 4> valueTexts(std::uint8_t v);

// The same texts as a load packs them, 8193 rows at a time, without a string of their own: the offset's text
// formatted into buffer, and the value texts of v, made once for all 256 values.
using OffsetBuffer = std::array<char, 40>;
[[nodiscard]] std::string_view formatOffset(OffsetBuffer& buffer, std::int64_t offset);
[[nodiscard]] const std::array<std::string, 4>& valueTextsOf(std::uint8_t v);

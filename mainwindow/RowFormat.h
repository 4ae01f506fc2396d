#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

// The texts of one grid row for the byte v found at offset o.

// Column 0: "0000001F (31)": at least eight upper-case hex digits, then the decimal offset in brackets.
[[nodiscard]] std::string offsetText(std::int64_t offset);
// Columns 1 to 4: hex ("0A"), decimal ("10"), binary ("00001010") and the Windows-1251 character, or "<...>"
// for the control codes below 32.
[[nodiscard]] std::array<std::string, 4> valueTexts(std::uint8_t v);

// The same texts written over existing ones: a load reuses the grid's strings, which keeps short texts free of
// allocations.
void writeOffsetText(std::string& out, std::int64_t offset);
void writeValueTexts(std::span<std::string, 4> out, std::uint8_t v);

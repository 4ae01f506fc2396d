#pragma once

#include <cstdint>
#include <string>

// Blank trimming and padding of byte strings. The blank is byte 32 only: tabs and other white space are
// ordinary characters here.

void TrimRightSpaces(std::string& text);
void TrimLeftSpaces(std::string& text);
void TrimSpaces(std::string& text);

// n copies of ch: empty for n <= 0, never more than 255.
[[nodiscard]] std::string ReplicateChar(char ch, std::int32_t n);

// Pads a text shorter than width (width at most 255) with ch, at the end or at the front. A longer text
// is never cut.
void PadTo(std::string& text, char ch, std::int32_t width, bool atEnd);
[[nodiscard]] std::string PaddedCopy(std::string text, char ch, std::int32_t width, bool atEnd);

#pragma once

#include <optional>
#include <string>
#include <string_view>

// Reading and changing the text of an INI file in memory, as the platform's private-profile routines do.
//
// Section and key names match case-insensitively (ASCII letters) and only the first section of a name counts;
// blanks (byte 32) around names and values are ignored; a line whose first non-blank character is ";" is a
// comment; lines may end in CR LF, LF or CR; a UTF-8 byte-order mark at the start is skipped.
namespace IniText {

// Values longer than this are cut on reading.
constexpr std::size_t MaxValueLength = 2047;

[[nodiscard]] std::optional<std::string> lookup(
    std::string_view content, std::string_view section, std::string_view key);
// The value as stored, however long.
[[nodiscard]] std::optional<std::string_view> lookupWhole(
    std::string_view content, std::string_view section, std::string_view key);

// The content with the key set to value: an existing key line keeps everything up to its "=" and gets the new
// value; a new key goes after the last key line of its section; a new section goes at the end. Every other
// line stays byte for byte; the written line ends in CR LF. Empty when the value cannot be stored in a line
// (it holds a CR or LF).
[[nodiscard]] std::optional<std::string> withValue(
    std::string_view content, std::string_view section, std::string_view key, std::string_view value);

} // namespace IniText

#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

// The boundary between the program's Windows-1251 byte strings and Unicode. It is total: every byte maps to
// one code point and back, the one byte that the code page leaves undefined (0x98) to U+0098.
namespace Cp1251 {

[[nodiscard]] char16_t toUnicode(unsigned char byte);
// The byte for a code point, or '?' for a character outside the code page.
[[nodiscard]] char fromUnicode(char32_t codePoint);

[[nodiscard]] QString toQString(std::string_view text);
[[nodiscard]] std::string fromQString(const QString& text);
// The same, but nothing when the text holds a character outside the code page.
[[nodiscard]] std::optional<std::string> fromQStringExactly(const QString& text);
// The first character of text outside the code page; 0 when every one has its byte.
[[nodiscard]] char32_t firstWithoutByte(const QString& text);

// For the program's own literals, which the sources hold in UTF-8.
[[nodiscard]] std::string fromUtf8(std::string_view utf8);

// A file path, held as the file system's own bytes, as a text: decoded from the file system's encoding, so
// Cyrillic letters stay letters and anything the code page lacks (or bytes that are no valid name) become '?'.
// Only for showing a path; to reach the file, keep the bytes.
[[nodiscard]] std::string fromPath(std::string_view path);

} // namespace Cp1251

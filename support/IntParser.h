#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The integer parser used for typed and stored numbers.
//
// Leading blanks (byte 32 only) are skipped. Then either a hexadecimal prefix ("$", "x", "X", "0x", "0X")
// with one or more hex digits, read as a signed 32-bit pattern, of which at most eight are significant
// (leading zeros are free); or an optional sign with decimal digits within the signed 32-bit range.
// Nothing may follow the number.
[[nodiscard]] std::optional<std::int32_t> tryParseInt(std::string_view text);

// As tryParseInt, but a rejected text raises EConvertError("'<text>' is not a valid integer value").
[[nodiscard]] std::int32_t parseInt(std::string_view text);

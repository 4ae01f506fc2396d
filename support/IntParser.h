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

// The same forms read in 64 bits: at most sixteen significant hex digits, read as a signed 64-bit pattern, or
// decimal digits within the signed 64-bit range.
[[nodiscard]] std::optional<std::int64_t> tryParseInt64(std::string_view text);

// An offset typed or stored for a file of size bytes: read in 64 bits when that gives an offset past 2147483647
// that the file reaches, else by the 32-bit rules, so that a file under 2 GiB reads every text as it always did.
[[nodiscard]] std::optional<std::int64_t> tryParseOffset(std::string_view text, std::int64_t size);

// As tryParseInt, but a rejected text raises EConvertError("'<text>' is not a valid integer value").
[[nodiscard]] std::int32_t parseInt(std::string_view text);

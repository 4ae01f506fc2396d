#pragma once

#include <optional>
#include <string>
#include <string_view>

// The values that the bytes at a position stand for, read as numbers, times and text, and the bytes that a typed
// value stands for. Texts are Windows-1251, as everywhere in the program.
//
// Times are shown as "YYYY-MM-DD hh:mm:ss UTC" in the proleptic Gregorian calendar without leap seconds, and only
// for the years 1 to 9999: time32 and time64 count seconds from 1970-01-01, FILETIME counts 100 ns from
// 1601-01-01 and is shown to the whole second before. A DOS date-time is local, so it has no zone, and it holds
// seconds in steps of two.
namespace ByteValues {

enum class Type {
    Int8,
    UInt8,
    Int16,
    UInt16,
    Int32,
    UInt32,
    Int64,
    UInt64,
    Float32,
    Float64,
    Time32,
    Time64,
    FileTime,
    DosDateTime,
    Binary,
    Text
};
enum class Order { Little, Big };

inline constexpr Type AllTypes[] = { Type::Int8, Type::UInt8, Type::Int16, Type::UInt16, Type::Int32, Type::UInt32,
    Type::Int64, Type::UInt64, Type::Float32, Type::Float64, Type::Time32, Type::Time64, Type::FileTime,
    Type::DosDateTime, Type::Binary, Type::Text };

[[nodiscard]] std::string name(Type type);
// The bytes a value takes; 0 for Text, which runs up to a zero byte.
[[nodiscard]] int width(Type type);
// False for the types read one way only (DOS date-time, binary, text): they have just the little-endian column.
[[nodiscard]] bool hasOrder(Type type);

// The text of the value that starts at bytes[0], where bytes run from the position to the end of what can be read.
// An em dash when there are too few bytes or they are no value of the type (a time outside the years 1 to 9999,
// an impossible DOS date); empty for the big-endian column of a type without one.
//
// Text shows up to 32 bytes, up to the first zero byte, with control bytes as '.'.
[[nodiscard]] std::string shown(Type type, Order order, std::string_view bytes);

// The bytes a typed text stands for, or nothing when it is no value of the type or out of its range. Blanks around
// the text are ignored, except for Text, whose bytes are taken as typed. Integers are decimal with an optional
// sign, or "0x" and the hexadecimal bit pattern. Floats take "nan", "inf" and "-inf", and round to the nearest
// value of the type, but a number too large for it, or too small to be other than zero, is refused, as is a DOS
// time with odd seconds: no value is lost silently. Times are written as shown, " UTC" optional.
[[nodiscard]] std::optional<std::string> bytesOf(Type type, Order order, std::string_view text);

} // namespace ByteValues

#include "support/ByteValues.h"

#include "support/Cp1251.h"
#include "support/__Bin.h"

#include <QByteArrayView>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace ByteValues {

namespace {

constexpr std::int64_t SecondsPerDay = 86400;
// From 1601-01-01, where FILETIME counts from, to 1970-01-01.
constexpr std::int64_t FileTimeEpoch = 11644473600;
constexpr std::int64_t TicksPerSecond = 10'000'000;
// Text shows at most this many bytes, enough for a name or a signature.
constexpr std::size_t TextBytes = 32;

struct Traits {
    const char* name; // UTF-8
    int width;
};
constexpr std::array<Traits, std::size(AllTypes)> traits
    = { { { "int8", 1 }, { "uint8", 1 }, { "int16", 2 }, { "uint16", 2 }, { "int32", 4 }, { "uint32", 4 },
        { "int64", 8 }, { "uint64", 8 }, { "float32", 4 }, { "float64", 8 }, { "time32", 4 }, { "time64", 8 },
        { "FILETIME", 8 }, { "DOS", 4 }, { "bin", 1 }, { "Текст", 0 } } };

const std::string& dash()
{
    static const std::string text = Cp1251::fromUtf8("—");
    return text;
}

bool isInteger(Type type)
{
    // The integer types come first in Type.
    return type <= Type::UInt64;
}

bool isSigned(Type type)
{
    return type == Type::Int8 || type == Type::Int16 || type == Type::Int32 || type == Type::Int64;
}

std::uint64_t patternOf(std::string_view bytes, int width, Order order)
{
    std::uint64_t pattern = 0;
    for (int i = 0; i < width; ++i)
        pattern = pattern << 8 | static_cast<unsigned char>(bytes[order == Order::Big ? i : width - 1 - i]);
    return pattern;
}

std::string bytesOfPattern(std::uint64_t pattern, int width, Order order)
{
    std::string bytes(static_cast<std::size_t>(width), '\0');
    for (int i = 0; i < width; ++i)
        bytes[static_cast<std::size_t>(order == Order::Little ? i : width - 1 - i)]
            = static_cast<char>(pattern >> 8 * i);
    return bytes;
}

// The pattern of width bytes read as a two's complement number.
std::int64_t signExtended(std::uint64_t pattern, int width)
{
    const int unused = 64 - 8 * width;
    return static_cast<std::int64_t>(pattern << unused) >> unused;
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool isWord(std::string_view text, const char* word)
{
    return QByteArrayView(text.data(), static_cast<qsizetype>(text.size())).compare(word, Qt::CaseInsensitive) == 0;
}

// Digits only: from_chars takes no sign for an unsigned type.
template <typename Unsigned> std::optional<Unsigned> number(std::string_view digits, int base = 10)
{
    Unsigned value {};
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value, base);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

// Integers

std::optional<std::uint64_t> integerPattern(Type type, std::string_view text)
{
    const int bits = 8 * width(type);
    const std::uint64_t all = bits == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << bits) - 1;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::optional<std::uint64_t> pattern = number<std::uint64_t>(text.substr(2), 16);
        if (!pattern || *pattern > all)
            return std::nullopt;
        return pattern;
    }
    const bool negative = text.front() == '-';
    if (negative || text.front() == '+')
        text.remove_prefix(1);
    const std::optional<std::uint64_t> magnitude = number<std::uint64_t>(text);
    if (!magnitude)
        return std::nullopt;
    std::uint64_t limit = all;
    if (isSigned(type))
        limit = (std::uint64_t(1) << (bits - 1)) - (negative ? 0 : 1);
    else if (negative)
        limit = 0;
    if (*magnitude > limit)
        return std::nullopt;
    return (negative ? 0 - *magnitude : *magnitude) & all;
}

// Floats

template <typename Float> std::string floatText(Float value)
{
    // to_chars would spell a NaN's sign; every NaN is the same non-number to the reader.
    if (std::isnan(value))
        return "nan";
    std::array<char, 32> text;
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
    return std::string(text.data(), end);
}

template <typename Float> std::optional<Float> floatOf(std::string_view text)
{
    const bool negative = text.front() == '-';
    const bool sign = negative || text.front() == '+';
    text.remove_prefix(sign ? 1 : 0);
    if (isWord(text, "inf"))
        return negative ? -std::numeric_limits<Float>::infinity() : std::numeric_limits<Float>::infinity();
    if (!sign && isWord(text, "nan"))
        return std::numeric_limits<Float>::quiet_NaN();
    // Only digits from here: from_chars would also take its own spellings of infinity and NaN. It reports a
    // value beyond the type, or one too small to be anything but zero, as out of range.
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') || text.front() == '.'))
        return std::nullopt;
    Float value {};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return negative ? -value : value;
}

// Times

struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

bool isLeap(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int daysInMonth(int year, int month)
{
    static constexpr int days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

bool isValid(const DateTime& t)
{
    return t.year >= 1 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= daysInMonth(t.year, t.month)
        && t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

// The calendar counts years from March, so that a leap day ends the year, in eras of 400 years, each 146097 days
// long; the years 1 to 9999 lie in eras 0 to 24, so all the arithmetic stays non-negative.
constexpr std::int64_t DaysFromMarch0To1970 = 719468;

constexpr std::int64_t daysSince1970(int year, int month, int day)
{
    const int y = month <= 2 ? year - 1 : year;
    const int yearOfEra = y % 400;
    const int dayOfYear = (153 * ((month + 9) % 12) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return std::int64_t(y / 400) * 146097 + dayOfEra - DaysFromMarch0To1970;
}

std::int64_t secondsSince1970(const DateTime& t)
{
    return daysSince1970(t.year, t.month, t.day) * SecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
}

constexpr std::int64_t FirstSecond = daysSince1970(1, 1, 1) * SecondsPerDay;
constexpr std::int64_t LastSecond = daysSince1970(10000, 1, 1) * SecondsPerDay - 1;

// The date and time of a count of seconds from 1970 that lies in the years 1 to 9999.
DateTime dateTimeOf(std::int64_t seconds)
{
    const std::int64_t sinceFirst = seconds - FirstSecond;
    const std::int64_t sinceMarch0 = sinceFirst / SecondsPerDay + FirstSecond / SecondsPerDay + DaysFromMarch0To1970;
    const int secondOfDay = static_cast<int>(sinceFirst % SecondsPerDay);
    const int dayOfEra = static_cast<int>(sinceMarch0 % 146097);
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100);
    const int monthFromMarch = (5 * dayOfYear + 2) / 153;
    DateTime t;
    t.month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    t.year = static_cast<int>(sinceMarch0 / 146097) * 400 + yearOfEra + (t.month <= 2 ? 1 : 0);
    t.day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    t.hour = secondOfDay / 3600;
    t.minute = secondOfDay / 60 % 60;
    t.second = secondOfDay % 60;
    return t;
}

std::string dateTimeText(const DateTime& t)
{
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

std::string utcText(std::int64_t seconds)
{
    if (seconds < FirstSecond || seconds > LastSecond)
        return dash();
    return dateTimeText(dateTimeOf(seconds)) + " UTC";
}

// "YYYY-MM-DD hh:mm:ss", a real date and time.
std::optional<DateTime> parsedDateTime(std::string_view text)
{
    static constexpr std::string_view layout = "dddd-dd-dd dd:dd:dd";
    if (text.size() != layout.size())
        return std::nullopt;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (layout[i] == 'd' ? !digit : text[i] != layout[i])
            return std::nullopt;
    }
    const auto field = [&](std::size_t at, std::size_t length) {
        return static_cast<int>(*number<unsigned>(text.substr(at, length)));
    };
    const DateTime t { field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2) };
    if (!isValid(t))
        return std::nullopt;
    return t;
}

std::optional<std::int64_t> utcSecondsOf(std::string_view text)
{
    constexpr std::string_view zone = " UTC";
    if (text.ends_with(zone))
        text.remove_suffix(zone.size());
    const std::optional<DateTime> t = parsedDateTime(text);
    if (!t)
        return std::nullopt;
    return secondsSince1970(*t);
}

// DOS: the date in the high 16 bits (day, month, years from 1980), the time in the low 16 (seconds / 2, minute,
// hour), from the lowest bits up.
constexpr int DosFirstYear = 1980;

std::string dosText(std::uint32_t pattern)
{
    DateTime t;
    t.second = static_cast<int>(pattern & 0x1F) * 2;
    t.minute = static_cast<int>(pattern >> 5 & 0x3F);
    t.hour = static_cast<int>(pattern >> 11 & 0x1F);
    t.day = static_cast<int>(pattern >> 16 & 0x1F);
    t.month = static_cast<int>(pattern >> 21 & 0xF);
    t.year = static_cast<int>(pattern >> 25) + DosFirstYear;
    return isValid(t) ? dateTimeText(t) : dash();
}

std::optional<std::uint32_t> dosPattern(std::string_view text)
{
    const std::optional<DateTime> t = parsedDateTime(text);
    if (!t || t->year < DosFirstYear || t->year > DosFirstYear + 127 || t->second % 2 != 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(t->year - DosFirstYear) << 25 | static_cast<std::uint32_t>(t->month) << 21
        | static_cast<std::uint32_t>(t->day) << 16 | static_cast<std::uint32_t>(t->hour) << 11
        | static_cast<std::uint32_t>(t->minute) << 5 | static_cast<std::uint32_t>(t->second / 2);
}

std::string textOf(std::string_view bytes)
{
    std::string text;
    for (const char byte : bytes.substr(0, TextBytes)) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == 0)
            break;
        // 0x98 stands for U+0098, a control character too.
        text += code < 32 || code == 127 || code == 0x98 ? '.' : byte;
    }
    return text;
}

} // namespace

std::string name(Type type)
{
    return Cp1251::fromUtf8(traits[static_cast<std::size_t>(type)].name);
}

int width(Type type)
{
    return traits[static_cast<std::size_t>(type)].width;
}

bool hasOrder(Type type)
{
    return type != Type::DosDateTime && type != Type::Binary && type != Type::Text;
}

std::string shown(Type type, Order order, std::string_view bytes)
{
    if (order == Order::Big && !hasOrder(type))
        return {};
    if (type == Type::Text)
        return bytes.empty() ? dash() : textOf(bytes);
    const int size = width(type);
    if (bytes.size() < static_cast<std::size_t>(size))
        return dash();
    const std::uint64_t pattern = patternOf(bytes, size, order);
    if (isInteger(type))
        return isSigned(type) ? std::to_string(signExtended(pattern, size)) : std::to_string(pattern);
    switch (type) {
    case Type::Float32:
        return floatText(std::bit_cast<float>(static_cast<std::uint32_t>(pattern)));
    case Type::Float64:
        return floatText(std::bit_cast<double>(pattern));
    case Type::Time32:
    case Type::Time64:
        return utcText(signExtended(pattern, size));
    case Type::FileTime:
        return utcText(static_cast<std::int64_t>(pattern / TicksPerSecond) - FileTimeEpoch);
    case Type::DosDateTime:
        return dosText(static_cast<std::uint32_t>(pattern));
    case Type::Binary:
        return ByteToBinStr(static_cast<std::uint8_t>(pattern));
    default:
        return dash();
    }
}

std::optional<std::string> bytesOf(Type type, Order order, std::string_view text)
{
    if (type == Type::Text)
        return text.empty() ? std::nullopt : std::optional<std::string>(text);
    text = trimmed(text);
    if (text.empty())
        return std::nullopt;
    if (!hasOrder(type))
        order = Order::Little;
    const int size = width(type);
    std::optional<std::uint64_t> pattern;
    if (isInteger(type)) {
        pattern = integerPattern(type, text);
    } else if (type == Type::Float32) {
        if (const std::optional<float> value = floatOf<float>(text))
            pattern = std::bit_cast<std::uint32_t>(*value);
    } else if (type == Type::Float64) {
        if (const std::optional<double> value = floatOf<double>(text))
            pattern = std::bit_cast<std::uint64_t>(*value);
    } else if (type == Type::Time32 || type == Type::Time64) {
        const std::optional<std::int64_t> seconds = utcSecondsOf(text);
        // A count fits when its low bytes, read back signed, are the count itself.
        if (seconds && signExtended(static_cast<std::uint64_t>(*seconds), size) == *seconds)
            pattern = static_cast<std::uint64_t>(*seconds);
    } else if (type == Type::FileTime) {
        const std::optional<std::int64_t> seconds = utcSecondsOf(text);
        if (seconds && *seconds >= -FileTimeEpoch)
            pattern = static_cast<std::uint64_t>((*seconds + FileTimeEpoch) * TicksPerSecond);
    } else if (type == Type::DosDateTime) {
        pattern = dosPattern(text);
    } else if (type == Type::Binary) {
        if (text.size() <= 8 && text.find_first_not_of("01") == std::string_view::npos)
            pattern = number<std::uint64_t>(text, 2);
    }
    if (!pattern)
        return std::nullopt;
    return bytesOfPattern(*pattern, size, order);
}

} // namespace ByteValues

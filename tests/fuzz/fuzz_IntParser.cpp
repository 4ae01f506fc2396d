// Any bytes as a number text: the parser must neither crash nor misbehave, must agree with a reference
// reading of the same grammar, and parseInt must throw exactly when tryParseInt refuses.
#include "support/Exception.h"
#include "support/IntParser.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The reference counts significant digits instead of bounding the running value: leading zeros are free and
// at most eight further digits fit the 32-bit pattern, which is read as signed.
std::optional<std::int32_t> referenceHex(std::string_view digits)
{
    if (digits.empty())
        return std::nullopt;
    for (const char c : digits) {
        if (!isHexDigit(c))
            return std::nullopt;
    }
    const std::size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string_view::npos)
        return 0;
    const std::string_view significant = digits.substr(firstSignificant);
    if (significant.size() > 8)
        return std::nullopt;
    std::uint32_t pattern = 0;
    const auto [end, error] = std::from_chars(significant.data(), significant.data() + significant.size(), pattern, 16);
    if (error != std::errc() || end != significant.data() + significant.size())
        std::abort(); // the digits were checked above: the reference itself is wrong
    return static_cast<std::int32_t>(pattern);
}

std::optional<std::int32_t> referenceDecimal(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    for (const char c : text) {
        if (!isDecimalDigit(c))
            return std::nullopt;
    }
    const std::size_t firstSignificant = text.find_first_not_of('0');
    if (firstSignificant == std::string_view::npos)
        return 0;
    const std::string_view significant = text.substr(firstSignificant);
    if (significant.size() > 10)
        return std::nullopt;
    std::int64_t magnitude = 0;
    std::from_chars(significant.data(), significant.data() + significant.size(), magnitude);
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> referenceParse(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(start);
    if (text.front() == '$' || text.front() == 'x' || text.front() == 'X')
        return referenceHex(text.substr(1));
    if (text.starts_with("0x") || text.starts_with("0X"))
        return referenceHex(text.substr(2));
    return referenceDecimal(text);
}

[[noreturn]] void fail(const char* what, std::string_view text)
{
    std::fprintf(stderr, "fuzz_IntParser: %s for a text of %zu bytes\n", what, text.size());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::optional<std::int32_t> parsed = tryParseInt(text);
    const std::optional<std::int32_t> expected = referenceParse(text);
    if (parsed != expected)
        fail(parsed ? (expected ? "a different value" : "accepted a text the grammar rejects")
                    : "rejected a text the grammar accepts",
            text);

    try {
        const std::int32_t value = parseInt(text);
        if (!parsed || value != *parsed)
            fail("parseInt returned where tryParseInt disagrees", text);
    } catch (const EConvertError& error) {
        if (parsed)
            fail("parseInt threw for an accepted text", text);
        if (error.message() != "'" + std::string(text) + "' is not a valid integer value")
            fail("parseInt's message is not the documented one", text);
    }
    return 0;
}

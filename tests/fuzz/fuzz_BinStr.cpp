// Binary-digit texts of any length. The input bytes after the first are the text itself; when the first byte's
// high four bits are all set, its low bits wrap the text in long runs (up to past 65536 bytes) of blanks or
// ones, so that lengths beyond any 16-bit count and long blank runs are tried. Only then, since a long text
// runs a hundred times slower.
// BinStrToBits must stay within the text and agree with a reference reading: the last 16 characters of the
// blank-trimmed text, "1" a set bit and anything else a clear one.
#include "support/__Bin.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_BinStr: %s\n", what);
    std::abort();
}

constexpr std::size_t RunLengths[] = { 0, 256, 65536, 65537 };

std::string run(unsigned choice, char fill)
{
    return std::string(RunLengths[choice & 3], fill);
}

BitFlags16 referenceBits(std::string_view text)
{
    BitFlags16 bits {};
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return bits;
    const std::string_view trimmed = text.substr(first, text.find_last_not_of(' ') - first + 1);
    std::size_t k = 0;
    for (auto it = trimmed.rbegin(); it != trimmed.rend() && k < bits.size(); ++it, ++k)
        bits[k] = *it == '1' ? 1 : 0;
    return bits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned shape = data[0];
    const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
    // Low bits 0-1: the length of a leading run, bit 2: blanks or ones in it; bit 3: a long trailing run of blanks.
    const bool wrapped = (shape & 0xF0) == 0xF0;
    const std::string text = wrapped
        ? run(shape, (shape & 4) ? ' ' : '1') + std::string(body) + run((shape & 8) ? 3 : 0, ' ')
        : std::string(body);

    const BitFlags16 bits = BinStrToBits(text);
    const BitFlags16 expected = referenceBits(text);
    if (bits != expected)
        fail("BinStrToBits differs from the last 16 characters of the trimmed text");

    unsigned expectedByte = 0;
    for (unsigned k = 0; k < 8; ++k)
        expectedByte |= unsigned(expected[k]) << k;
    if (BinStrToByte(text) != expectedByte)
        fail("BinStrToByte differs from the low 8 bits");

    // A byte survives the way from the grid's binary column and back.
    const std::uint8_t b = data[size - 1];
    const std::string digits = ByteToBinStr(b);
    if (digits.size() != 8 || digits.find_first_not_of("01") != std::string::npos)
        fail("ByteToBinStr is not eight binary digits");
    if (BinStrToByte(digits) != b)
        fail("BinStrToByte(ByteToBinStr(b)) is not b");
    return 0;
}

// Reading and writing INI text in memory. The input is split into a selector byte, a value and the content:
//   <selector> <value bytes> NUL <content bytes>
// (without a NUL the content is empty). The selector's low two bits choose the section, the next two the key.
//
// After writing the value under (section, key):
// - reading (section, key) gives the value as it would be stored: blanks around it dropped, cut at 2047 bytes;
// - every other (section, key) of a small set reads as before;
// - the text is the old one with exactly one change: the key's line replaced after its "=", one key line
//   inserted after a line, or the section and key appended at the end; the only other byte that may appear
//   is the CR LF that ends a formerly unterminated line in front of an added one;
// - writing the same value again changes nothing;
// - a value with CR or LF is refused, since it would break its line.
#include "support/IniText.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Case variants and a blank inside a name take part, so that matching by letters and blanks is exercised.
constexpr std::array<std::string_view, 4> Sections = { "File", "FILE", "Other", "a b" };
constexpr std::array<std::string_view, 4> Keys = { "NameFile", "StartByte", "startbyte", "k" };

constexpr std::string_view Crlf = "\r\n";

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_IniText: %s\n", what);
    std::abort();
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

std::string_view withoutBlanksAround(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A line as it stands in the text: [begin, end) is its text, [end, next) its line break (CR LF, CR, LF or
// nothing on an unterminated last line). A UTF-8 byte-order mark at the start marks the file, not a line.
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

std::vector<Line> linesOf(std::string_view text)
{
    std::vector<Line> lines;
    std::size_t begin = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (begin < text.size()) {
        std::size_t end = begin;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        std::size_t next = end;
        if (next < text.size())
            next += text.substr(next, 2) == Crlf ? 2 : 1;
        lines.push_back({ begin, end, next });
        begin = next;
    }
    return lines;
}

// The line that holds the byte at offset, or lines.size() for the end of the text.
std::size_t lineAt(const std::vector<Line>& lines, std::size_t offset)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (offset < lines[i].next)
            return i;
    }
    return lines.size();
}

std::string terminatedUpTo(std::string_view content, const Line& line)
{
    std::string text(content.substr(0, line.next));
    if (line.next == line.end)
        text += Crlf;
    return text;
}

// Line i rewritten with the new value after its first "=".
std::optional<std::string> replacedLine(std::string_view content, const Line& line, std::string_view value)
{
    const std::size_t equals = content.substr(line.begin, line.end - line.begin).find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::string text(content.substr(0, line.begin + equals + 1));
    text.append(value).append(Crlf).append(content.substr(line.next));
    return text;
}

// A key line inserted after line i.
std::string insertedAfter(std::string_view content, const Line& line, std::string_view keyLine)
{
    return terminatedUpTo(content, line).append(keyLine).append(content.substr(line.next));
}

// Whether the result is the content with exactly one of the permitted changes. Only the lines around the first
// byte where the two texts part can carry the change, which keeps the check linear in the text's length.
bool isOneLineChange(std::string_view content, std::string_view result, std::string_view section, std::string_view key,
    std::string_view value)
{
    if (result == content)
        return true;
    const std::vector<Line> lines = linesOf(content);
    std::size_t parted = 0;
    while (parted < content.size() && parted < result.size() && content[parted] == result[parted])
        ++parted;
    const std::size_t at = lineAt(lines, parted);
    const std::string keyLine = std::string(key) + "=" + std::string(value) + std::string(Crlf);

    std::string appended = lines.empty() ? std::string(content) : terminatedUpTo(content, lines.back());
    appended.append("[").append(section).append("]").append(Crlf).append(keyLine);
    if (result == appended)
        return true;

    // An inserted line may agree with the start of the line after it, up to the end of an unterminated last line.
    for (std::size_t i = at > 1 ? at - 2 : 0; i <= at && i < lines.size(); ++i) {
        if (result == insertedAfter(content, lines[i], keyLine))
            return true;
        if (result == replacedLine(content, lines[i], value))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string_view section = Sections[data[0] & 3];
    const std::string_view key = Keys[(data[0] >> 2) & 3];
    const std::string_view rest = input.substr(1);
    const std::size_t nul = rest.find('\0');
    const std::string_view value = rest.substr(0, nul);
    const std::string_view content = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);

    const std::optional<std::string> written = IniText::withValue(content, section, key, value);
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        if (written)
            fail("a value with a line break was written");
        return 0;
    }
    if (!written)
        fail("a value without a line break was refused");

    for (const std::string_view s : Sections) {
        for (const std::string_view k : Keys) {
            const std::optional<std::string> after = IniText::lookup(*written, s, k);
            if (sameNameIgnoringCase(s, section) && sameNameIgnoringCase(k, key)) {
                const std::string_view stored = withoutBlanksAround(value).substr(0, IniText::MaxValueLength);
                if (after != stored)
                    fail("the written key does not read back its value");
            } else if (after != IniText::lookup(content, s, k)) {
                fail("writing one key changed what another key reads");
            }
        }
    }

    if (!isOneLineChange(content, *written, section, key, value))
        fail("the written text is not the old one with one line changed or added");

    if (IniText::withValue(*written, section, key, value) != written)
        fail("writing the same value twice changed the text again");
    return 0;
}

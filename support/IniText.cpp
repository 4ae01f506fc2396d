#include "support/IniText.h"

#include <cstdint>
#include <vector>

namespace {

constexpr std::string_view Crlf = "\r\n";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

struct Line {
    std::size_t begin; // first byte of the line's text
    std::size_t end; // one past its text, where the line break starts
    std::size_t next; // one past its line break
};

enum class Kind { Other, Section, Key };

struct ParsedLine {
    Kind kind = Kind::Other;
    std::string_view name; // section or key name, blanks removed
    std::string_view value; // key value, blanks removed
    std::size_t valueStart = 0; // offset in the line's text just after the "="
};

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    std::size_t pos = content.substr(0, Utf8Bom.size()) == Utf8Bom ? Utf8Bom.size() : 0;
    while (pos < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back({ pos, content.size(), content.size() });
            break;
        }
        const std::size_t next = content.compare(end, 2, Crlf) == 0 ? end + 2 : end + 1;
        lines.push_back({ pos, end, next });
        pos = next;
    }
    return lines;
}

ParsedLine parse(std::string_view text)
{
    ParsedLine parsed;
    const std::string_view trimmed = trimBlanks(text);
    if (trimmed.empty() || trimmed.front() == ';')
        return parsed;
    if (trimmed.front() == '[') {
        const std::size_t close = trimmed.find(']');
        if (close != std::string_view::npos) {
            parsed.kind = Kind::Section;
            parsed.name = trimBlanks(trimmed.substr(1, close - 1));
        }
        return parsed;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos)
        return parsed;
    parsed.kind = Kind::Key;
    parsed.name = trimBlanks(text.substr(0, equals));
    parsed.value = trimBlanks(text.substr(equals + 1));
    parsed.valueStart = equals + 1;
    return parsed;
}

// Where a section's lines lie: its header line and the last key line within it.
struct SectionSpan {
    std::size_t header = 0;
    std::size_t lastKey = 0; // == header when the section holds no key line
    std::size_t matchingKey = SIZE_MAX; // the first line of the wanted key
};

std::optional<SectionSpan> findSection(
    std::string_view content, const std::vector<Line>& lines, std::string_view section, std::string_view key)
{
    std::optional<SectionSpan> span;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = parse(content.substr(lines[i].begin, lines[i].end - lines[i].begin));
        if (parsed.kind == Kind::Section) {
            if (span)
                break; // only the first section of the name counts
            if (sameName(parsed.name, section))
                span = SectionSpan { i, i };
        } else if (parsed.kind == Kind::Key && span) {
            span->lastKey = i;
            if (span->matchingKey == SIZE_MAX && sameName(parsed.name, key))
                span->matchingKey = i;
        }
    }
    return span;
}

} // namespace

namespace IniText {

std::optional<std::string> lookup(std::string_view content, std::string_view section, std::string_view key)
{
    const auto value = lookupWhole(content, section, key);
    if (!value)
        return std::nullopt;
    return std::string(value->substr(0, MaxValueLength));
}

std::optional<std::string_view> lookupWhole(std::string_view content, std::string_view section, std::string_view key)
{
    const std::vector<Line> lines = splitLines(content);
    const auto span = findSection(content, lines, section, key);
    if (!span || span->matchingKey == SIZE_MAX)
        return std::nullopt;
    const Line& line = lines[span->matchingKey];
    return parse(content.substr(line.begin, line.end - line.begin)).value;
}

std::optional<std::string> withValue(
    std::string_view content, std::string_view section, std::string_view key, std::string_view value)
{
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return std::nullopt;

    const std::vector<Line> lines = splitLines(content);
    const auto span = findSection(content, lines, section, key);
    std::string result;
    result.reserve(content.size() + section.size() + key.size() + value.size() + 8);

    if (!span) {
        result.append(content);
        if (!lines.empty() && lines.back().next == lines.back().end)
            result.append(Crlf);
        result.append("[").append(section).append("]").append(Crlf);
        result.append(key).append("=").append(value).append(Crlf);
        return result;
    }

    if (span->matchingKey != SIZE_MAX) {
        const Line& line = lines[span->matchingKey];
        const ParsedLine parsed = parse(content.substr(line.begin, line.end - line.begin));
        result.append(content.substr(0, line.begin + parsed.valueStart));
        result.append(value).append(Crlf);
        result.append(content.substr(line.next));
        return result;
    }

    const Line& after = lines[span->lastKey];
    result.append(content.substr(0, after.next));
    if (after.next == after.end) // the last line of the file, without a line break
        result.append(Crlf);
    result.append(key).append("=").append(value).append(Crlf);
    result.append(content.substr(after.next));
    return result;
}

} // namespace IniText

#include "support/PatchFile.h"

#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/IntParser.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <utility>

namespace PatchFile {

namespace {

const std::string_view Header = "quillmoor-patch 1";
// The last offset the program reaches.
constexpr std::int64_t LastOffset = INT32_MAX - 1;

std::string hexOf(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    for (const char byte : bytes) {
        text += digits[static_cast<unsigned char>(byte) >> 4];
        text += digits[static_cast<unsigned char>(byte) & 0xF];
    }
    return text;
}

// Reads hex pairs into bytes; false when hex is empty or not pairs of hex digits.
bool bytesOf(std::string_view hex, std::string& bytes)
{
    bytes.clear();
    if (hex.empty() || hex.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigitValue(hex[i]);
        const int low = hexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

std::string offsetText(std::int64_t offset)
{
    char text[24];
    std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(offset));
    return text;
}

std::string said(const char* utf8)
{
    return Cp1251::fromUtf8(utf8);
}

} // namespace

void Patch::add(std::int64_t offset, std::string_view before, std::string_view after)
{
    m_offsets.push_back(static_cast<std::int32_t>(offset));
    m_before.append(before);
    m_after.append(after);
    m_ends.push_back(static_cast<std::uint32_t>(m_before.size()));
}

void Patch::clear()
{
    *this = Patch();
}

Patch::Line Patch::operator[](std::size_t i) const
{
    const std::size_t from = i == 0 ? 0 : m_ends[i - 1];
    const std::size_t length = m_ends[i] - from;
    return { m_offsets[i], std::string_view(m_before).substr(from, length),
        std::string_view(m_after).substr(from, length) };
}

std::string format(const Patch& patch, std::string_view file, std::int64_t size)
{
    std::string text = std::string(Header) + "\n# file: " + std::string(file) + ", size " + std::to_string(size) + "\n";
    for (std::size_t i = 0; i < patch.size(); ++i) {
        const Patch::Line line = patch[i];
        text += offsetText(line.offset) + ' ' + hexOf(line.before) + ' ' + hexOf(line.after) + '\n';
    }
    return text;
}

namespace {

// Takes a patch's text line by line, however it arrives.
class LineReader {
public:
    // False once a line cannot be read.
    bool take(std::string_view line)
    {
        ++m_number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!m_headed) {
            if (line != Header)
                return fail("нет заголовка quillmoor-patch 1");
            m_headed = true;
            return true;
        }
        if (line.find_first_not_of(' ') == std::string_view::npos || line.front() == '#')
            return true;
        std::array<std::string_view, 3> words;
        std::size_t count = 0;
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t from = line.find_first_not_of(' ', at);
            if (from == std::string_view::npos)
                break;
            const std::size_t to = std::min(line.find(' ', from), line.size());
            if (count == words.size())
                return fail("нужны смещение, старые байты и новые байты");
            words[count++] = line.substr(from, to - from);
            at = to;
        }
        if (count != words.size())
            return fail("нужны смещение, старые байты и новые байты");
        std::int64_t offset = 0;
        if (words[0].size() > 15 || words[0].find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
            return fail("смещение не шестнадцатеричное");
        for (const char digit : words[0])
            offset = offset * 16 + hexDigitValue(digit);
        if (!bytesOf(words[1], m_before) || !bytesOf(words[2], m_after))
            return fail("байты должны быть парами шестнадцатеричных цифр");
        if (m_before.size() != m_after.size())
            return fail("старые и новые байты разной длины");
        if (offset + std::int64_t(m_before.size()) - 1 > LastOffset)
            return fail("строка за смещением 2147483646");
        Patch& patch = m_parsed.patch;
        if (!patch.empty() && offset < patch.back().offset + std::int64_t(patch.back().before.size()))
            return fail("строка перекрывает предыдущую или стоит перед ней");
        patch.add(offset, m_before, m_after);
        return true;
    }

    Parsed finish()
    {
        if (!m_headed && m_parsed.errorLine == 0)
            fail("нет заголовка quillmoor-patch 1", 1);
        return std::move(m_parsed);
    }

private:
    bool fail(const char* what, int number = 0)
    {
        m_parsed.patch.clear();
        m_parsed.errorLine = number > 0 ? number : m_number;
        m_parsed.error = said(what);
        return false;
    }

    Parsed m_parsed;
    int m_number = 0;
    bool m_headed = false;
    // The bytes of the line being read, kept to spare an allocation per line.
    std::string m_before;
    std::string m_after;
};

} // namespace

Parsed read(FileHandle& file)
{
    std::array<char, 64 * 1024> chunk;
    LineReader reader;
    std::string partial; // a line cut by the end of a chunk
    std::int64_t at = 0;
    for (std::size_t got; (got = file.readRange(at, chunk.data(), chunk.size())) > 0; at += std::int64_t(got)) {
        std::string_view text(chunk.data(), got);
        for (std::size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1)) {
            bool taken = false;
            if (partial.empty()) {
                taken = reader.take(text.substr(0, end));
            } else {
                partial.append(text.substr(0, end));
                taken = reader.take(partial);
                partial.clear();
            }
            if (!taken)
                return reader.finish();
        }
        partial.append(text);
    }
    if (!partial.empty())
        reader.take(partial);
    return reader.finish();
}

Answer run(Action action, const Patch& patch, const std::string& path)
{
    const bool revert = action == Action::Revert;
    FileHandle::Opened opened
        = FileHandle::tryOpen(path, action == Action::Check ? FileHandle::Mode::Read : FileHandle::Mode::ReadWrite);
    if (!opened)
        return { 2, said("не удаётся открыть файл: ") + Cp1251::fromPath(path) };
    FileHandle& file = opened.file;
    const std::int64_t size = file.size();
    const auto from = [&](const Patch::Line& line) { return revert ? line.after : line.before; };
    const auto to = [&](const Patch::Line& line) { return revert ? line.before : line.after; };
    // Every line's bytes as the file holds them, looked at before anything is written. Only the first conflict's
    // bytes are kept: when there is none, every line holds its old bytes, and they are what a failed write puts back.
    std::string there;
    std::optional<std::pair<std::size_t, std::string>> conflict;
    bool applied = true;
    for (std::size_t i = 0; i < patch.size(); ++i) {
        const Patch::Line line = patch[i];
        if (line.offset + std::int64_t(line.before.size()) > size)
            return { 2, said("строка за концом файла, смещение ") + offsetText(line.offset) };
        there.resize(line.before.size());
        there.resize(file.readRange(line.offset, there.data(), there.size()));
        if (there != from(line) && !conflict)
            conflict.emplace(i, there);
        applied = applied && there == to(line);
    }
    if (applied)
        return { 0,
            said(revert ? "заплатка уже снята, ничего не записано" : "заплатка уже наложена, ничего не записано") };
    if (conflict) {
        const Patch::Line line = patch[conflict->first];
        return { 1,
            said("конфликт по смещению ") + offsetText(line.offset) + said(": ожидалось ") + hexOf(from(line))
                + said(", найдено ") + hexOf(conflict->second) + said("; ничего не записано") };
    }
    if (action == Action::Check)
        return { 0, said("заплатка накладывается") };
    std::size_t written = 0;
    try {
        for (; written < patch.size(); ++written)
            file.writeAt(patch[written].offset, to(patch[written]));
        file.sync();
    } catch (const EInOutError& error) {
        // What was written, and the line that failed part way, get their old bytes back, as far as they can.
        for (std::size_t i = 0; i <= written && i < patch.size(); ++i) {
            try {
                file.writeAt(patch[i].offset, from(patch[i]));
            } catch (const EInOutError&) {
            }
        }
        try {
            file.sync();
        } catch (const EInOutError&) {
        }
        return { 2, error.message() };
    }
    return { 0, said(revert ? "заплатка снята" : "заплатка наложена") };
}

} // namespace PatchFile

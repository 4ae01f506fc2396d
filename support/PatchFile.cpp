#include "support/PatchFile.h"

#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/IntParser.h"

#include <algorithm>
#include <climits>
#include <cstdio>

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

std::optional<std::string> bytesOf(std::string_view hex)
{
    if (hex.empty() || hex.size() % 2 != 0)
        return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = hexDigitValue(hex[i]);
        const int low = hexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
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

std::string format(const Patch& patch, std::string_view file, std::int64_t size)
{
    std::string text = std::string(Header) + "\n# file: " + std::string(file) + ", size " + std::to_string(size) + "\n";
    for (const Line& line : patch)
        text += offsetText(line.offset) + ' ' + hexOf(line.before) + ' ' + hexOf(line.after) + '\n';
    return text;
}

Parsed parse(std::string_view text)
{
    Parsed parsed;
    const auto fail = [&](int number, const char* what) {
        parsed.patch.clear();
        parsed.errorLine = number;
        parsed.error = said(what);
        return parsed;
    };
    int number = 0;
    bool headed = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!headed) {
            if (line != Header)
                return fail(number, "нет заголовка quillmoor-patch 1");
            headed = true;
            continue;
        }
        if (line.find_first_not_of(' ') == std::string_view::npos || line.front() == '#')
            continue;
        std::vector<std::string_view> words;
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t from = line.find_first_not_of(' ', at);
            if (from == std::string_view::npos)
                break;
            const std::size_t to = std::min(line.find(' ', from), line.size());
            words.push_back(line.substr(from, to - from));
            at = to;
        }
        if (words.size() != 3)
            return fail(number, "нужны смещение, старые байты и новые байты");
        std::int64_t offset = 0;
        if (words[0].size() > 15 || words[0].find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
            return fail(number, "смещение не шестнадцатеричное");
        for (const char digit : words[0])
            offset = offset * 16 + hexDigitValue(digit);
        const std::optional<std::string> before = bytesOf(words[1]);
        const std::optional<std::string> after = bytesOf(words[2]);
        if (!before || !after)
            return fail(number, "байты должны быть парами шестнадцатеричных цифр");
        if (before->size() != after->size())
            return fail(number, "старые и новые байты разной длины");
        if (offset + std::int64_t(before->size()) - 1 > LastOffset)
            return fail(number, "строка за смещением 2147483646");
        if (!parsed.patch.empty()
            && offset < parsed.patch.back().offset + std::int64_t(parsed.patch.back().before.size()))
            return fail(number, "строка перекрывает предыдущую или стоит перед ней");
        parsed.patch.push_back({ offset, *before, *after });
    }
    if (!headed)
        return fail(1, "нет заголовка quillmoor-patch 1");
    return parsed;
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
    // Every line's bytes as the file holds them, looked at before anything is written.
    std::vector<std::string> found;
    std::size_t conflict = patch.size();
    bool applied = true;
    for (std::size_t i = 0; i < patch.size(); ++i) {
        const Line& line = patch[i];
        if (line.offset + std::int64_t(line.before.size()) > size)
            return { 2, said("строка за концом файла, смещение ") + offsetText(line.offset) };
        std::string there(line.before.size(), '\0');
        there.resize(file.readRange(line.offset, there.data(), there.size()));
        const std::string& from = revert ? line.after : line.before;
        const std::string& to = revert ? line.before : line.after;
        if (there != from && conflict == patch.size())
            conflict = i;
        applied = applied && there == to;
        found.push_back(std::move(there));
    }
    if (applied)
        return { 0,
            said(revert ? "заплатка уже снята, ничего не записано" : "заплатка уже наложена, ничего не записано") };
    if (conflict < patch.size()) {
        const Line& line = patch[conflict];
        return { 1,
            said("конфликт по смещению ") + offsetText(line.offset) + said(": ожидалось ")
                + hexOf(revert ? line.after : line.before) + said(", найдено ") + hexOf(found[conflict])
                + said("; ничего не записано") };
    }
    if (action == Action::Check)
        return { 0, said("заплатка накладывается") };
    std::size_t written = 0;
    try {
        for (; written < patch.size(); ++written)
            file.writeAt(patch[written].offset, revert ? patch[written].before : patch[written].after);
        file.sync();
    } catch (const EInOutError& error) {
        // What was written, and the line that failed part way, get their old bytes back, as far as they can.
        for (std::size_t i = 0; i <= written && i < patch.size(); ++i) {
            try {
                file.writeAt(patch[i].offset, found[i]);
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

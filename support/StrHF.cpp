#include "support/StrHF.h"

#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/FileHandle.h"
#include "support/FilePath.h"
#include "support/IniText.h"
#include "support/IntParser.h"
#include "support/__Str.h"

#include <cerrno>

namespace {

constexpr std::size_t MaxSettingsRead = std::size_t(1) << 20;

// Where the settings at path are read and written, links followed; nothing when another user may have put them
// there. A folder that another user made (under a shared XDG_CONFIG_HOME, say) could hold a Quillmoor.ini linked
// to any file of this user's, for a settings write to rewrite, or one naming the file to show at start. So the
// folder must be the user's or root's and closed to everyone else, and a link must lead to a file of the user's
// or root's. Asked at every access, so that a folder changed while the program runs counts too.
std::optional<std::string> ownSettingsFile(const std::string& path)
{
    const std::string folder = directoryPart(path);
    const auto place = FileHandle::status(folder.empty() ? "./" : folder);
    if (!place || !place->isOwnedByUserOrRoot() || place->isWritableByOthers())
        return std::nullopt;
    const auto target = FileHandle::resolved(path);
    if (!target || *target == path)
        return path;
    const auto file = FileHandle::status(*target);
    if (!file || !file->isOwnedByUserOrRoot())
        return std::nullopt;
    return target;
}

// The settings file's content, or empty when it is missing or cannot be read (which counts as missing).
std::string readSettings(const std::string& path)
{
    std::optional<std::string> file;
    try {
        file = ownSettingsFile(path);
    } catch (const EInOutError&) {
    }
    if (!file)
        return {};
    FileHandle::Opened opened = FileHandle::tryOpen(*file, FileHandle::Mode::Read);
    if (!opened)
        return {};
    try {
        // Two short keys are all the program keeps here: a file grown far beyond that (by hand, or by another
        // program) is read only as far as such keys can sit, so that it cannot make every start slow.
        std::string content(MaxSettingsRead, '\0');
        content.resize(opened.file.readRange(0, content.data(), content.size()));
        return content;
    } catch (const EInOutError&) {
        return {};
    }
}

// For a file that may be written in a folder that may not: rewrite it in place, so that a kill or a crash at any
// instant leaves the old text or the new one. The file is never made shorter, since a shortening takes a write
// and a truncation and a kill between them would leave the old text's tail behind the new one: a shorter value is
// padded with trailing blanks, which reading ignores. A longer text has its room reserved before the first byte
// changes, and then one write makes the change.
void rewriteInPlace(FileHandle& file, const std::string& current, const std::string& section, const std::string& key,
    const std::string& value, std::string updated)
{
    if (updated.size() < current.size()) {
        const auto padded
            = IniText::withValue(current, section, key, value + std::string(current.size() - updated.size(), ' '));
        if (padded && padded->size() == current.size())
            updated = *padded;
    }
    if (updated.size() > current.size())
        file.reserve(static_cast<std::int64_t>(updated.size()));
    file.writeAt(0, updated);
    if (updated.size() < current.size())
        file.truncate(static_cast<std::int64_t>(updated.size()));
    file.sync();
    file.close();
}

void writeSettingsValue(
    const std::string& target, const std::string& section, const std::string& key, const std::string& value)
{
    const std::optional<FileStatus> old = FileHandle::status(target);
    if (old && !old->isRegular())
        throw EInOutError::fromErrno(EINVAL);
    std::string current;
    FileHandle file;
    if (old) {
        // Opened for writing although only read here: a file that cannot be written must not be replaced by a
        // rename either.
        file = FileHandle::open(target, FileHandle::Mode::ReadWrite);
        current = file.readAll();
    }
    const auto updated = IniText::withValue(current, section, key, value);
    if (!updated)
        throw EInOutError::fromErrno(EINVAL);
    if (FileHandle::replaceWith(target, *updated, old))
        return;
    if (!old) // nowhere to put a new file
        throw EInOutError::fromErrno(EACCES);
    rewriteInPlace(file, current, section, key, value, *updated);
}

void writeSettings(
    const std::string& path, const std::string& section, const std::string& key, const std::string& value)
{
    try {
        // Through a symbolic link to the file it names, rather than replacing the link.
        const auto file = ownSettingsFile(path);
        if (!file)
            throw EInOutError::fromErrno(EACCES);
        writeSettingsValue(*file, section, key, value);
    } catch (const EInOutError&) {
        // Messages are Windows-1251 text; the path is the file system's bytes.
        throw Exception("Unable to write to " + Cp1251::fromPath(path));
    }
}

} // namespace

std::string SettingsReadString(
    const std::string& path, const std::string& section, const std::string& key, std::string defaultValue)
{
    std::string result = IniText::lookup(readSettings(path), section, key).value_or(std::move(defaultValue));
    TrimSpaces(result);
    return result;
}

std::optional<std::string> readWholeSettingsString(
    const std::string& path, const std::string& section, const std::string& key, std::string defaultValue)
{
    const std::string content = readSettings(path);
    const auto stored = IniText::lookupWhole(content, section, key);
    if (stored && stored->size() > IniText::MaxValueLength)
        return std::nullopt;
    std::string result = stored ? std::string(*stored) : std::move(defaultValue);
    TrimSpaces(result);
    return result;
}

void SettingsWriteString(const std::string& path, const std::string& section, const std::string& key, std::string value)
{
    TrimSpaces(value);
    writeSettings(path, section, key, value);
}

std::int32_t SettingsReadInt(
    const std::string& path, const std::string& section, const std::string& key, std::int32_t defaultValue)
{
    std::string text = IniText::lookup(readSettings(path), section, key).value_or(std::string());
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.replace(0, 2, "$");
    return tryParseInt(text).value_or(defaultValue);
}

void SettingsWriteInt(const std::string& path, const std::string& section, const std::string& key, std::int32_t value)
{
    writeSettings(path, section, key, std::to_string(value));
}

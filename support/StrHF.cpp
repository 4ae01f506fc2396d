#include "support/StrHF.h"

#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/FileHandle.h"
#include "support/IniText.h"
#include "support/IntParser.h"
#include "support/__Str.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The settings file's content, or empty when it is missing or cannot be read (which counts as missing).
std::string readSettings(const std::string& path)
{
    FileHandle file;
    if (file.open(path, FileHandle::Mode::Read) != 0)
        return {};
    try {
        return file.readAll();
    } catch (const EInOutError&) {
        return {};
    }
}

[[noreturn]] void raiseUnableToWrite(const std::string& path)
{
    // Messages are Windows-1251 text; the path is the file system's bytes.
    throw Exception("Unable to write to " + Cp1251::fromPath(path));
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

mode_t modeForNewFile()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// The temporary files of a settings file are named ".<name>.<pid>.XXXXXX", after the file and the process that
// writes them.
std::string temporaryPrefix(const std::string& target)
{
    std::string prefix = ".";
    prefix += target.substr(target.rfind('/') + 1);
    prefix += '.';
    return prefix;
}

// Removes the temporary files that writers killed halfway through left beside the settings file. A temporary
// whose process still runs is another copy's write under way and stays.
void removeAbandonedTemporaries(const std::string& directory, const std::string& prefix)
{
    DIR* entries = ::opendir(directory.c_str());
    if (!entries)
        return;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view name = entry->d_name;
        if (name.substr(0, prefix.size()) != prefix)
            continue;
        const std::string_view rest = name.substr(prefix.size());
        const auto dot = rest.find('.');
        if (dot == std::string_view::npos || dot == 0 || rest.size() - dot - 1 != 6)
            continue;
        pid_t pid = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + dot, pid);
        if (error != std::errc() || end != rest.data() + dot || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            (void)::unlinkat(::dirfd(entries), entry->d_name, 0);
    }
    ::closedir(entries);
}

// Writes the content to a temporary file beside target, makes it durable and renames it over target, so the
// old file stays whole until the new one is complete. Returns false when the directory takes no new file.
bool replaceByRename(const std::string& target, const std::string& content, const struct stat* old)
{
    std::string temporary = directoryOf(target);
    if (temporary.back() != '/')
        temporary += '/';
    const std::string prefix = temporaryPrefix(target);
    removeAbandonedTemporaries(temporary, prefix);
    // A hidden name beside the file, so that a crash leaves nothing that looks like settings.
    temporary += prefix + std::to_string(::getpid()) + ".XXXXXX";
    FileHandle file;
    if (const int err = file.createTemporary(temporary)) {
        if (err == EACCES || err == EPERM || err == EROFS)
            return false;
        throw EInOutError::fromErrno(err);
    }
    try {
        file.write(content);
        ::fchmod(file.fd(), old ? (old->st_mode & 07777) : modeForNewFile());
        if (old)
            (void)::fchown(file.fd(), old->st_uid, old->st_gid);
        file.sync();
        file.closeChecked();
        if (::rename(temporary.c_str(), target.c_str()) != 0)
            throw EInOutError::fromErrno(errno);
    } catch (...) {
        file.close();
        ::unlink(temporary.c_str());
        throw;
    }
    // Make the rename itself durable; should this fail, either the old or the new file is there, whole.
    const int directory = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

// For a file that may be written in a directory that may not: rewrite it in place, so that a kill or a crash
// at any instant leaves the old text or the new one. The file is never made shorter, since a shortening takes
// a write and a truncation and a kill between them would leave the old text's tail behind the new one: a
// shorter value is padded with trailing blanks, which reading ignores. A longer text has its room reserved
// before the first byte changes, and then one write makes the change.
void rewriteInPlace(const std::string& target, const std::string& current, const std::string& section,
    const std::string& key, const std::string& value, std::string updated)
{
    FileHandle file;
    if (const int err = file.open(target, FileHandle::Mode::ReadWrite))
        throw EInOutError::fromErrno(err);
    const auto oldSize = static_cast<std::size_t>(file.size());
    if (updated.size() < oldSize) {
        const auto padded
            = IniText::withValue(current, section, key, value + std::string(oldSize - updated.size(), ' '));
        if (padded && padded->size() == oldSize)
            updated = *padded;
    }
    // A disk that filled up halfway through, or the process's file size limit, would leave the new text cut off
    // where the old one was: both are checked before the first byte changes. The reservation keeps the file's
    // length, so a kill right after it leaves the old text as it was.
    if (updated.size() > oldSize) {
        rlimit limit {};
        if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
            && updated.size() > limit.rlim_cur)
            throw EInOutError::fromErrno(EFBIG);
        if (::fallocate(file.fd(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(updated.size())) != 0
            && errno != EOPNOTSUPP)
            throw EInOutError::fromErrno(errno);
    }
    if (::lseek(file.fd(), 0, SEEK_SET) != 0)
        throw EInOutError::fromErrno(errno);
    file.write(updated);
    if (updated.size() < oldSize && ::ftruncate(file.fd(), static_cast<off_t>(updated.size())) != 0)
        throw EInOutError::fromErrno(errno);
    file.sync();
    file.closeChecked();
}

void writeSettingsValue(
    const std::string& path, const std::string& section, const std::string& key, const std::string& value)
{
    // Write through a symbolic link to the file it names rather than replacing the link.
    std::string target = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }

    struct stat old { };
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        raiseUnableToWrite(path);
    if (exists && (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), R_OK | W_OK, AT_EACCESS) != 0))
        raiseUnableToWrite(path); // a rename would silently replace a read-only file

    std::string current;
    if (exists) {
        FileHandle file;
        if (file.open(target, FileHandle::Mode::Read) != 0)
            raiseUnableToWrite(path);
        try {
            current = file.readAll();
        } catch (const EInOutError&) {
            raiseUnableToWrite(path);
        }
    }
    const auto updated = IniText::withValue(current, section, key, value);
    if (!updated)
        raiseUnableToWrite(path);

    try {
        if (!replaceByRename(target, *updated, exists ? &old : nullptr)) {
            if (!exists)
                raiseUnableToWrite(path);
            rewriteInPlace(target, current, section, key, value, *updated);
        }
    } catch (const EInOutError&) {
        raiseUnableToWrite(path);
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
    writeSettingsValue(path, section, key, value);
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
    writeSettingsValue(path, section, key, std::to_string(value));
}

std::int64_t trueFileSize(const std::string& path)
{
    FileHandle file;
    if (file.open(path, FileHandle::Mode::Read) != 0)
        return -1;
    try {
        return file.size();
    } catch (const EInOutError&) {
        return -1;
    }
}

std::int32_t FileSizeOf(const std::string& path)
{
    const std::int64_t size = trueFileSize(path);
    return size > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(size);
}

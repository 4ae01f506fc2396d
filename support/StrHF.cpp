#include "support/StrHF.h"

#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/FileHandle.h"
#include "support/IniText.h"
#include "support/IntParser.h"
#include "support/__Str.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
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

// Writes the content to a temporary file beside target, makes it durable and renames it over target, so the
// old file stays whole until the new one is complete. Returns false when the directory takes no new file.
bool replaceByRename(const std::string& target, const std::string& content, const struct stat* old)
{
    std::string temporary = directoryOf(target);
    if (temporary.back() != '/')
        temporary += '/';
    // A hidden name beside the file, so that a crash leaves nothing that looks like settings.
    temporary += "." + target.substr(target.rfind('/') + 1) + ".XXXXXX";
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

// For a file that may be written in a directory that may not: rewrite it in place.
void rewriteInPlace(const std::string& target, const std::string& content)
{
    FileHandle file;
    if (const int err = file.open(target, FileHandle::Mode::ReadWrite))
        throw EInOutError::fromErrno(err);
    // Claim the room for a longer text before the first byte changes: a disk that filled up halfway through
    // would leave the new text cut off where the old one was.
    const auto newSize = static_cast<off_t>(content.size());
    if (newSize > file.size() && ::fallocate(file.fd(), 0, 0, newSize) != 0 && errno != EOPNOTSUPP)
        throw EInOutError::fromErrno(errno);
    if (::lseek(file.fd(), 0, SEEK_SET) != 0)
        throw EInOutError::fromErrno(errno);
    file.write(content);
    if (::ftruncate(file.fd(), static_cast<off_t>(content.size())) != 0)
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
            rewriteInPlace(target, *updated);
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

#include "support/__Files.h"

#include "support/FileHandle.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

bool WriteByteAt(const std::string& path, std::int32_t offset, std::uint8_t value)
{
    FileHandle file;
    if (file.open(path, FileHandle::Mode::ReadWrite) != 0)
        return false;
    const std::int64_t length = file.size();
    if (offset < 0 || offset >= length)
        return false;
    file.writeByteAt(offset, value);
    file.sync();
    return true;
}

namespace {

// The byte at offset of a file, or nothing when it is not open or ends before the offset.
std::optional<std::uint8_t> byteAt(const FileHandle& file, std::int64_t offset)
{
    if (!file.isOpen() || offset < 0 || offset >= file.size())
        return std::nullopt;
    return file.readByteAt(offset);
}

} // namespace

CheckedWrite writeByteIfUnchanged(
    const std::string& path, FileIdentity identity, std::int64_t offset, std::uint8_t expected, std::uint8_t value)
{
    using Outcome = CheckedWrite::Outcome;
    FileHandle file;
    if (file.open(path, FileHandle::Mode::ReadWrite) != 0) {
        // Either the file cannot be written, or the path no longer leads to it: a look for reading tells which.
        FileHandle reader;
        if (reader.open(path, FileHandle::Mode::Read) == 0 && reader.identity() == identity)
            return { Outcome::NotWritable, std::nullopt };
        return { Outcome::Refused, byteAt(reader, offset) };
    }
    const std::optional<std::uint8_t> found = byteAt(file, offset);
    if (file.identity() != identity || (found != expected && found != value))
        return { Outcome::Refused, found };
    file.writeByteAt(offset, value);
    file.sync();
    return { Outcome::Written, found };
}

std::string ProgramDir()
{
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return "./";
        if (static_cast<std::size_t>(n) < buffer.size()) {
            const std::string exe(buffer.data(), static_cast<std::size_t>(n));
            return exe.substr(0, exe.rfind('/') + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

std::string homeDir()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd* user = ::getpwuid(::getuid());
    return user && user->pw_dir ? user->pw_dir : "/";
}

} // namespace

std::string UserSettingsDir()
{
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string dir = configHome && configHome[0] == '/' ? std::string(configHome) : homeDir() + "/.config";
    if (dir.back() != '/')
        dir += '/';
    dir += "quillmoor/";
    for (std::size_t slash = dir.find('/', 1); slash != std::string::npos; slash = dir.find('/', slash + 1)) {
        if (::mkdir(dir.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST)
            break;
    }
    return dir;
}

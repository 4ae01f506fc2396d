#include "support/__Files.h"

#include "support/Exception.h"
#include "support/FilePath.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

// What file holds at offset, as far as it reaches into count bytes.
std::string bytesAt(FileHandle& file, std::int64_t offset, std::size_t count)
{
    std::string bytes(count, '\0');
    bytes.resize(offset < 0 ? 0 : file.readRange(offset, bytes.data(), count));
    return bytes;
}

} // namespace

CheckedWrite writeIfUnchanged(const std::string& path, FileIdentity identity, std::int64_t offset,
    std::string_view expected, std::string_view bytes)
{
    return writeRangesIfUnchanged(path, identity, { &offset, 1 }, expected, bytes);
}

CheckedWrite writeRangesIfUnchanged(const std::string& path, FileIdentity identity,
    std::span<const std::int64_t> offsets, std::string_view expected, std::string_view bytes)
{
    using Outcome = CheckedWrite::Outcome;
    const std::size_t n = bytes.size();
    FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::ReadWrite);
    if (!opened) {
        // Either the file cannot be written, or the path no longer leads to it: a look for reading tells which.
        FileHandle::Opened reader = FileHandle::tryOpen(path, FileHandle::Mode::Read);
        if (reader && reader.file.identity() == identity)
            return { Outcome::NotWritable, {} };
        return { Outcome::Refused, reader ? bytesAt(reader.file, offsets.front(), n) : std::string() };
    }
    FileHandle& file = opened.file;
    if (file.identity() != identity)
        return { Outcome::Refused, bytesAt(file, offsets.front(), n) };
    std::string found;
    for (const std::int64_t offset : offsets) {
        const std::string there = bytesAt(file, offset, n);
        found += there;
        // A range the file does not hold whole would make it grow.
        if (there.size() != n || (there != expected && there != bytes))
            return { Outcome::Refused, std::move(found) };
    }
    // Cut short since the read: the file ends before the last range now.
    const std::int64_t size = file.size();
    const std::int64_t end = offsets.back() + static_cast<std::int64_t>(n);
    if (end > size)
        return { Outcome::Refused, std::move(found) };
    std::size_t written = 0;
    try {
        for (; written < offsets.size(); ++written)
            file.writeAt(offsets[written], bytes);
    } catch (const EInOutError&) {
        // The ranges written, and the one that failed part way, get their old bytes back, as far as they can.
        for (std::size_t i = 0; i <= written && i < offsets.size(); ++i) {
            try {
                file.writeAt(offsets[i], std::string_view(found).substr(i * n, n));
            } catch (const EInOutError&) {
            }
        }
        try {
            file.sync();
        } catch (const EInOutError&) {
        }
        throw;
    }
    // Inside the file the write cannot change its size. A file that got shorter meanwhile and now ends just where the
    // write does was cut beneath it, and the write grew it back (with zeros up to the write, if the cut came before
    // it). Where the cut was cannot be seen, so the file is cut where the write began; and the write is refused, as
    // for a file that ends before the range: there is nothing to take back, and no later try could succeed. A write
    // that reaches the old end leaves the size as it was, so a cut inside its range goes unseen.
    if (const std::int64_t after = file.size(); after < size && after == end) {
        file.truncate(offsets.front());
        file.sync();
        return { Outcome::Refused, {} };
    }
    file.sync();
    return { Outcome::Written, std::move(found) };
}

std::string ProgramDir()
{
    try {
        if (const auto executable = FileHandle::resolved("/proc/self/exe"))
            return directoryPart(*executable);
    } catch (const EInOutError&) {
    }
    return "./";
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
    try {
        FileHandle::makeFolders(dir);
    } catch (const EInOutError&) {
    }
    return dir;
}

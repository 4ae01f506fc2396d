#include "support/__Files.h"

#include "support/Exception.h"
#include "support/FilePath.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

FileLook lookAt(FileHandle& file, const ByteChanges& changes, AlreadyWritten rule)
{
    FileLook look;
    look.found.reserve(changes.byteCount());
    bool allAfter = true;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const ByteChanges::Run run = changes[i];
        const std::size_t from = look.found.size();
        look.found.resize(from + run.before.size());
        look.found.resize(
            from + (run.offset < 0 ? 0 : file.readRange(run.offset, look.found.data() + from, run.before.size())));
        const std::string_view there = std::string_view(look.found).substr(from);
        // A run the file does not hold whole would make it grow.
        if (there.size() != run.before.size() && !look.beyondEnd)
            look.beyondEnd = i;
        const bool before = there == run.before;
        const bool after = there == run.after;
        allAfter = allAfter && after;
        if (!before && !(after && rule == AlreadyWritten::RunByRun) && !look.conflict)
            look.conflict = i;
    }
    // A patch applied before: nothing conflicts, and nothing is to be written.
    if (allAfter)
        look.conflict.reset();
    look.written = allAfter;
    return look;
}

CheckedWrite writeIfUnchanged(
    const std::string& path, std::optional<FileIdentity> identity, const ByteChanges& changes, AlreadyWritten rule)
{
    using Outcome = CheckedWrite::Outcome;
    FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::ReadWrite);
    if (!opened) {
        // Either the file cannot be written, or the path no longer leads to it: a look for reading tells which.
        FileHandle::Opened reader = FileHandle::tryOpen(path, FileHandle::Mode::Read);
        if (reader && (!identity || reader.file.identity() == *identity))
            return { Outcome::NotWritable, {}, false };
        return { Outcome::Refused, reader ? lookAt(reader.file, changes, rule) : FileLook {}, false };
    }
    FileHandle& file = opened.file;
    if (identity && file.identity() != *identity)
        return { Outcome::Refused, lookAt(file, changes, rule), false };
    CheckedWrite done { Outcome::Refused, lookAt(file, changes, rule), false };
    const FileLook& look = done.look;
    if (look.beyondEnd || look.conflict)
        return done;
    // Cut short since the look: the file ends before the last run now.
    const Address size = file.size();
    const AddressRange span = changes.span();
    if (span.end > size) {
        done.cutShort = true;
        return done;
    }
    if (look.written) {
        // Nothing to write; but the bytes may be those of a write whose sync failed, and are made durable now.
        file.sync();
        done.outcome = Outcome::Written;
        return done;
    }
    // Inside the file the write cannot change its size. A file that got shorter meanwhile and now ends just where the
    // write does was cut beneath it, and the write grew it back (with zeros up to the write, if the cut came before
    // it). A write that reaches the old end leaves the size as it was, so a cut inside its runs goes unseen.
    std::size_t written = 0;
    bool grownBack = false;
    try {
        for (; written < changes.size(); ++written)
            file.writeAt(changes[written].offset, changes[written].after);
        const Address after = file.size();
        grownBack = after < size && after == span.end;
        if (!grownBack)
            file.sync();
    } catch (const EInOutError&) {
        // The runs written, and the one that failed part way, get their old bytes back, as far as they can; so do
        // all of them when the look at the size or the sync after them fails, since the caller hears of no write.
        for (std::size_t i = 0; i <= written && i < changes.size(); ++i) {
            const ByteChanges::Run run = changes[i];
            try {
                file.writeAt(run.offset, std::string_view(look.found).substr(run.at, run.before.size()));
            } catch (const EInOutError&) {
            }
        }
        try {
            file.sync();
        } catch (const EInOutError&) {
        }
        throw;
    }
    // Where the cut was cannot be seen, so the file is cut where the write began; and the write is refused, as for a
    // file that ends before the run: there is nothing to take back, and no later try could succeed.
    if (grownBack) {
        file.truncate(span.begin);
        file.sync();
        done.look.found.clear();
        done.cutShort = true;
        return done;
    }
    done.outcome = Outcome::Written;
    return done;
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

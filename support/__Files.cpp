#include "support/__Files.h"

#include "support/Exception.h"
#include "support/FilePath.h"

#include <cerrno>

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
        if (!before && !(after && rule == AlreadyWritten::RunByRun) && rule != AlreadyWritten::CutOff && !look.conflict)
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
    const std::optional<std::string> journal = rule != AlreadyWritten::CutOff && WriteJournal::needed(changes)
        ? std::optional(WriteJournal::begin(path, file.identity(), size, changes, look.found))
        : std::nullopt;
    // The runs whose write began; each is put back when the write cannot be made whole.
    std::size_t begun = 0;
    const auto putBack = [&] {
        // Within the size the file has now: a file another program cut short is not grown back.
        const Address now = file.size();
        for (std::size_t i = 0; i < begun; ++i) {
            const ByteChanges::Run run = changes[i];
            if (run.offset < now)
                file.writeAt(run.offset,
                    std::string_view(look.found).substr(run.at, std::size_t(std::min(run.end(), now) - run.offset)));
        }
        file.sync();
    };
    bool cut = false;
    try {
        // Another program may cut the file short while it is written: before each run its end is looked at
        // against the size, so that nothing past the cut is written.
        for (; begun < changes.size() && file.size() >= changes[begun].end(); ++begun)
            file.writeAt(changes[begun].offset, changes[begun].after);
        // A cut that came between the last look and a write was grown back by that write, up to the run's end.
        // Where the cut was cannot be seen, so the file is cut where that run began, never lower; a cut that
        // stopped the write before a run shows in the size.
        const Address now = file.size();
        if (begun > 0 && now < size && now == changes[begun - 1].end())
            file.truncate(changes[--begun].offset);
        cut = begun < changes.size() || now < size;
        if (cut)
            putBack();
        else
            file.sync();
        if (journal)
            WriteJournal::end(*journal);
    } catch (const EInOutError&) {
        // What was written, and the run that failed part way, get their old bytes back; so do all of them when a
        // step after the writes fails, since the caller hears of no write. Should that fail too, the journal
        // stays, and the next open puts them back.
        begun = std::min(begun + 1, changes.size());
        try {
            putBack();
            if (journal)
                WriteJournal::end(*journal);
        } catch (const EInOutError&) {
        }
        throw;
    }
    if (cut) {
        done.look.found.clear();
        done.cutShort = true;
    } else {
        done.outcome = Outcome::Written;
    }
    return done;
}

WriteJournal::Recovery putBackCutOffWrite(const std::string& path)
{
    using Outcome = WriteJournal::Recovery::Outcome;
    const std::optional<WriteJournal::Found> found = WriteJournal::find(path);
    if (!found)
        return {};
    if (!found->told) {
        WriteJournal::end(found->journal);
        return { Outcome::Discarded, 0, found->journal };
    }
    const WriteJournal::Told& told = *found->told;
    // As far as the file reaches now, so that a file another program cut short is not grown back; cut again
    // meanwhile, it is looked at again.
    for (int look = 0; look < 3; ++look) {
        FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
        if (!opened)
            throw EInOutError::fromErrno(opened.error);
        if (opened.file.identity() != told.identity)
            return { Outcome::OtherFile, 0, found->journal };
        const Address size = opened.file.size();
        ByteChanges back;
        for (std::size_t i = 0; i < told.changes.size() && told.changes[i].offset < size; ++i) {
            const ByteChanges::Run run = told.changes[i];
            const std::size_t reach = std::size_t(std::min(run.end(), size) - run.offset);
            back.add(run.offset, run.after.substr(0, reach), run.before.substr(0, reach));
        }
        const CheckedWrite done = writeIfUnchanged(path, told.identity, back, AlreadyWritten::CutOff);
        if (done.outcome == CheckedWrite::Outcome::NotWritable)
            throw EInOutError::fromErrno(EACCES);
        if (done.outcome == CheckedWrite::Outcome::Written) {
            WriteJournal::end(found->journal);
            return { Outcome::PutBack, Address(back.byteCount()), found->journal };
        }
        if (!done.cutShort)
            return { Outcome::OtherFile, 0, found->journal };
    }
    throw EInOutError::fromErrno(EAGAIN);
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

std::string UserSettingsDir()
{
    return userFolder("XDG_CONFIG_HOME", ".config");
}

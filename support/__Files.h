#pragma once

#include "support/ByteChanges.h"
#include "support/FileHandle.h"
#include "support/WriteJournal.h"

#include <cstdint>
#include <optional>
#include <string>

// What a look at the runs of a change set found in a file.
struct FileLook {
    // What the runs held, one after another as the change set's pools lay them out, as far as the file reaches.
    std::string found;
    // The first run the file does not hold whole.
    std::optional<std::size_t> beyondEnd;
    // The first run that holds other bytes than the change may be written over.
    std::optional<std::size_t> conflict;
    // Every run holds its new bytes already: there is nothing to write.
    bool written = false;
};

// When a run that already holds its new bytes may be written over: run by run (a write of the window's own whose
// answer was lost part way), or only when all runs do, so that a patch half applied by some other means is a
// conflict rather than something to finish. A write cut off, put back from its journal, may have left anything in
// a run, and writes whatever is there; its journal already covers it.
enum class AlreadyWritten { RunByRun, AllOrNone, CutOff };

// Looks at every run of changes in file, reading each once. Raises EInOutError when a read fails.
[[nodiscard]] FileLook lookAt(FileHandle& file, const ByteChanges& changes, AlreadyWritten rule);

// What a write that first looks at the file found.
struct CheckedWrite {
    enum class Outcome {
        // The file was the one expected and held the bytes expected (or already the new ones): it holds them now.
        Written,
        // The file is the one expected, but it cannot be opened for writing (read-only, locked).
        NotWritable,
        // The path names another file or none, or the file holds other bytes, or ends before a run does, or was cut
        // short while it was written.
        Refused,
    };
    Outcome outcome = Outcome::Refused;
    // The look at the runs before any write; empty when the path led to no file.
    FileLook look;
    // Refused: the file was cut short after the look.
    bool cutShort = false;
};

// Writes changes only while path still names the file identity (when given; the command line, which has read
// nothing before, takes any) and that file still holds every run's old bytes, and makes them durable before
// returning: one open, the identity check, a look at every run, the writes between two looks at the size, and one
// sync, on the same open file, so nothing that has taken the file's name or changed its bytes since they were
// read is ever overwritten, and nothing is written when any check fails. A change whose runs all hold their new
// bytes already writes nothing. A write that fails part way, or whose look at the size or sync after it fails,
// puts back what it had written, then raises. The file never grows: a write into a file cut short beneath it,
// which would make it long again, is cut off again and refused. Raises EInOutError when a step fails after the
// open.
[[nodiscard]] CheckedWrite writeIfUnchanged(const std::string& path, std::optional<FileIdentity> identity,
    const ByteChanges& changes, AlreadyWritten rule = AlreadyWritten::RunByRun);
// The same for one byte: a cell's commit.
[[nodiscard]] inline CheckedWrite WriteByteAt(
    const std::string& path, FileIdentity identity, Address offset, std::uint8_t expected, std::uint8_t value)
{
    const char was = static_cast<char>(expected);
    const char now = static_cast<char>(value);
    return writeIfUnchanged(path, identity, ByteChanges(offset, { &was, 1 }, { &now, 1 }));
}

// Puts back a write to the file at path that a kill or a power cut broke off, as its journal tells (see
// WriteJournal), with the checked write: every run gets its old bytes back as far as the file reaches now, and the
// journal goes; a journal cut short just goes; another file's is left. Raises EInOutError when the file cannot be
// written; the journal then stays for the next open.
[[nodiscard]] WriteJournal::Recovery putBackCutOffWrite(const std::string& path);

// The directory of the running executable, ending in "/".
[[nodiscard]] std::string ProgramDir();

// The settings folder of a program installed for all users, who cannot write beside its executable:
// $XDG_CONFIG_HOME/quillmoor/, or ~/.config/quillmoor/ when that variable is unset, empty or not absolute (the
// XDG base directory rules), ending in "/". Missing folders on the way are made, private to the user. When that
// fails, or the folder is another user's, it is returned all the same, and the first settings write reports it
// as any failed write does.
[[nodiscard]] std::string UserSettingsDir();

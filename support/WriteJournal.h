#pragma once

#include "support/ByteChanges.h"
#include "support/FileHandle.h"

#include <optional>
#include <string>
#include <string_view>

// The journal of a write that one system call cannot make whole, so that a kill or a power cut in the middle of it
// leaves a file that the next open puts back whole. Before the first byte is written, the runs' old and new bytes,
// with the file's identity and size, go to a journal beside the file (".NAME.quillmoor-journal"; in the user's state
// folder, named by device and inode, when that folder takes no new file), ending in a checksum of all before it,
// and are made durable with the journal's name. Once the write is whole and durable, or put back, the journal goes.
// A journal found when the file is next opened tells of a write cut off, which the checked write puts back.
namespace WriteJournal {

// A write needs a journal when it is more than one run, or one run across a 512-byte sector: a disk makes one
// sector's write whole, and no more.
[[nodiscard]] bool needed(const ByteChanges& changes);

// Writes and makes durable the journal of changes to the file at path (links followed), whose runs held old
// (laid out as the change set's pools) in a file of size bytes with identity. Returns the journal's path. Raises
// EInOutError when it cannot be written, and Exception when the file has a journal already: another write to it is
// under way, or one was cut off and not yet put back.
[[nodiscard]] std::string begin(const std::string& path, const FileIdentity& identity, Address size,
    const ByteChanges& changes, std::string_view old);
// The write is whole and durable, or put back: its journal goes, durably.
void end(const std::string& journal);

// What a whole journal tells: the file it was made for, and the runs' old bytes (as before) and new ones (after).
struct Told {
    FileIdentity identity;
    ByteChanges changes;
};
struct Found {
    std::string journal;
    std::optional<Told> told; // none for a journal cut short, made before any byte of the file was written
};
// The journal of the file at path (links followed), if it has one that can be read. A file that cannot be looked
// at, or a journal that cannot be read, leaves nothing to put back: the file's own open says what is wrong.
[[nodiscard]] std::optional<Found> find(const std::string& path);

// What looking for a file's journal found and did (see putBackCutOffWrite).
struct Recovery {
    enum class Outcome {
        None, // no journal
        PutBack, // a whole journal of the file: its runs hold their old bytes again, and the journal is gone
        Discarded, // a journal cut short, made before any byte was written: gone
        OtherFile, // a journal of another file that had the name: left where it is
    } outcome
        = Outcome::None;
    Address bytes = 0; // PutBack: how many bytes were put back
    std::string journal; // where the journal was
};

} // namespace WriteJournal

#pragma once

#include "support/FileHandle.h"
#include "support/PatchFile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What one command wrote, as one step: where (one range, or for a replace every match), the bytes each range held
// and the bytes written there (as many), and how the window showed it then.
struct WrittenRange {
    std::string path;
    FileIdentity identity;
    std::vector<std::int32_t> offsets;
    std::string before;
    std::string after;
    // The block and the column it was typed in.
    std::int32_t startByte = 0;
    std::int32_t col = 1;
};

// Every write of this run, in order, so that each can be taken back and written again as one step. Kept in
// memory only: an entry costs 24 bytes, 4 a range, and one range's bytes before and after, besides its file's
// path, which all the entries of a file share.
class WriteHistory {
public:
    enum class Direction { Back, Again };

    // A new write: what was taken back can no longer be written again.
    void record(const WrittenRange& write);
    // The write that Back takes back or Again writes again, if any.
    [[nodiscard]] std::optional<WrittenRange> next(Direction direction) const;
    // That write was taken back or written again.
    void step(Direction direction);
    // That write could not be made, its file having changed: it goes, with every write of that file it depends
    // on, the earlier ones when taking back, the later ones when writing again.
    void dropRefused(Direction direction);
    // What the writes not taken back changed in the file at path: for each byte, what it held before the first of
    // them and what it holds after the last; bytes written back to what they held drop out, neighbours join.
    [[nodiscard]] PatchFile::Patch netChanges(const std::string& path, FileIdentity identity) const;

private:
    struct File {
        std::string path;
        FileIdentity identity;
    };
    struct Entry {
        std::uint32_t file;
        // Its ranges' offsets in m_offsets.
        std::uint32_t firstOffset;
        std::uint32_t ranges;
        std::int32_t startByte;
        // Its bytes in m_bytes: length bytes before, then as many after.
        std::uint32_t at;
        std::uint32_t length : 24;
        std::uint32_t col : 8;
    };

    std::vector<File> m_files;
    std::vector<Entry> m_entries;
    std::string m_bytes;
    std::vector<std::int32_t> m_offsets;
    // Entries before this one are on disk; from it on, they were taken back.
    std::size_t m_done = 0;
    // Writes on disk that can no longer be taken back, their file having changed: they still count among the run's
    // changes. Kept as the entries are, in their own arrays.
    std::vector<Entry> m_settled;
    std::string m_settledBytes;
    std::vector<std::int32_t> m_settledOffsets;
};

#pragma once

#include "support/FileHandle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One byte the program wrote: where, what it replaced, and how the window showed it then.
struct WrittenByte {
    std::string path;
    FileIdentity identity;
    std::int32_t offset = 0;
    std::uint8_t before = 0;
    std::uint8_t after = 0;
    // The block and the column it was typed in.
    std::int32_t startByte = 0;
    std::int32_t col = 1;
};

// Every byte written in this run, in order, so that each can be taken back and written again. Kept in memory
// only; an entry costs 16 bytes besides its file's path, which all the entries of a file share.
class WriteHistory {
public:
    enum class Direction { Back, Again };

    // A new write: what was taken back can no longer be written again.
    void record(const WrittenByte& write);
    // The write that Back takes back or Again writes again, if any.
    [[nodiscard]] std::optional<WrittenByte> next(Direction direction) const;
    // That write was taken back or written again.
    void step(Direction direction);
    // That write could not be made, its file having changed: it goes, with every write of that file it depends
    // on, the earlier ones when taking back, the later ones when writing again.
    void dropRefused(Direction direction);

private:
    struct File {
        std::string path;
        FileIdentity identity;
    };
    struct Entry {
        std::uint32_t file;
        std::int32_t offset;
        std::int32_t startByte;
        std::uint8_t before;
        std::uint8_t after;
        std::uint8_t col;
    };

    std::vector<File> m_files;
    std::vector<Entry> m_entries;
    // Entries before this one are on disk; from it on, they were taken back.
    std::size_t m_done = 0;
};

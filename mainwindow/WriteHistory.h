#pragma once

#include "support/ByteChanges.h"
#include "support/FileHandle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What one command wrote, as one step of the history: the change set, the file it was written to, and how the
// window showed it then (the block, and the column it was typed in).
struct WrittenStep {
    std::string path;
    FileIdentity identity;
    ByteChanges changes;
    Address startByte = 0;
    std::int32_t col = 1;
};

// Every write of this run, in order, so that each can be taken back and written again as one step. Kept in memory
// only. A run of many small writes is the common case, so the steps' change sets are pooled: a step costs 16 bytes,
// a run of it 12 and its bytes before and after, besides its file's path, which all the steps of a file share.
class WriteHistory {
public:
    enum class Direction { Back, Again };

    // Whether the history can take changes as its next step: it holds at most 4 GiB of bytes.
    [[nodiscard]] bool hasRoomFor(const ByteChanges& changes) const;
    // A new write: what was taken back can no longer be written again.
    void record(const WrittenStep& step);
    // The write that Back takes back or Again writes again, if any.
    [[nodiscard]] std::optional<WrittenStep> next(Direction direction) const;
    // That write was taken back or written again.
    void step(Direction direction);
    // That write could not be made, its file having changed: it goes, with every write of that file it depends
    // on, the earlier ones when taking back, the later ones when writing again.
    void dropRefused(Direction direction);
    // What the writes not taken back changed in the file at path, as one change set.
    [[nodiscard]] ByteChanges netChanges(const std::string& path, FileIdentity identity) const;

private:
    struct File {
        std::string path;
        FileIdentity identity;
    };
    struct Step {
        Address startByte;
        // Its runs run from here to the next step's first.
        std::uint32_t firstRun;
        std::uint32_t file : 24;
        std::uint32_t col : 8;
    };

    [[nodiscard]] std::size_t runsEnd(std::size_t step) const;
    // Where the bytes of runs before run end in the pools.
    [[nodiscard]] std::size_t poolEnd(std::size_t run) const { return run == 0 ? 0 : m_ends[run - 1]; }
    [[nodiscard]] ByteChanges changesOf(std::size_t step) const;
    // Keeps only the steps for which keep answers true, and their runs.
    template <typename Keep> void keepSteps(Keep keep);

    std::vector<File> m_files;
    std::vector<Step> m_steps;
    // Every step's runs, one step after another.
    std::vector<Address> m_offsets;
    std::vector<std::uint32_t> m_ends; // where each run's bytes end in the pools
    std::string m_before;
    std::string m_after;
    // Steps before this one are on disk; from it on, they were taken back.
    std::size_t m_done = 0;
    // Per file, what writes on disk that can no longer be taken back changed (their file having changed): they
    // still count among the run's changes.
    std::vector<std::pair<std::uint32_t, ByteChanges>> m_settled;
};

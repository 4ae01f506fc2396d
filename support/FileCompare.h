#pragma once

#include "support/Address.h"
#include "support/FileHandle.h"

#include <functional>
#include <optional>
#include <string_view>

// Two files compared byte by byte at the same offsets, over the bytes both have: no insertions are looked for, so
// a fixed layout never shows false ones and the work is one read of each file. Nothing of the differences is kept:
// each question reads the files again, a chunk at a time, and goOn is asked after every chunk read; once it answers
// false the question is given up. A read that fails raises EInOutError; a file cut short meanwhile ends the
// comparison where it ends.
namespace FileCompare {

// Each file is read this much at a time.
constexpr std::size_t ChunkSize = std::size_t(1) << 20;
// A differing run longer than this is given to a patch as several lines, each of at most this many bytes.
constexpr std::size_t LongestLine = std::size_t(64) << 10;

using GoOn = std::function<bool()>;

// The two files and the bytes compared: [0, common).
struct Pair {
    FileHandle& ours;
    FileHandle& theirs;
    Address common = 0;
};

struct Counts {
    // Differing bytes, and runs of neighbouring ones.
    Address bytes = 0;
    Address runs = 0;
    std::optional<AddressRange> first;
    bool stopped = false;
};
[[nodiscard]] Counts count(const Pair& pair, const GoOn& goOn);

struct Step {
    std::optional<AddressRange> run;
    bool stopped = false;
};
// The run of differing bytes that starts first after from (forward) or last before it, else, round once, the
// first one from the start or the last one from the end; a run that starts at from is never the answer.
[[nodiscard]] Step step(const Pair& pair, Address from, bool forward, const GoOn& goOn);

// Gives every run of differing bytes in order, ours and theirs, a long one in pieces of at most LongestLine bytes
// that touch. False when goOn stopped it.
using RunVisit = std::function<void(Address offset, std::string_view ours, std::string_view theirs)>;
[[nodiscard]] bool forEachRun(const Pair& pair, const RunVisit& visit, const GoOn& goOn);

} // namespace FileCompare

#pragma once

#include <cstddef>
#include <functional>
#include <vector>

// A seam for tests: makes the Nth call of one kind of file step fail with a chosen errno, or runs code just before
// it, and lists the steps a piece of code takes. Production code never arms it, and while it is disarmed each step
// pays one test of a flag.
namespace FileFaults {

// Every kind of step the program takes on a file or a folder.
enum class Op {
    Open, // an open, or the creation of a file
    Stat, // a look at what a path names
    Resolve, // a path's links followed to the file they name
    Size, // the size of an open file
    Read, // counted per byte of a read at an offset
    Write,
    Sync, // making written data durable
    Close, // also the silent close of a handle going out of scope
    Truncate,
    Allocate, // room reserved for a longer file
    MakeFolder,
    ListFolder,
    Remove,
    Rename,
    SyncFolder, // making a rename in a folder durable
};
constexpr std::size_t OpCount = static_cast<std::size_t>(Op::SyncFolder) + 1;

// The nth (1-based) unit of op from now on fails with err; later ones succeed again.
void failNth(Op op, int nth, int err);
// Runs action just before the step that holds the nth (1-based) unit of op from now on: another process changing
// the file at that instant, say.
void atNth(Op op, int nth, std::function<void()> action);
// Forgets what was planned and stops listing.
void reset();

// One step taken while listing: its kind and how many units it counted (the bytes of a read).
struct Step {
    Op op;
    std::size_t units;
};
// Lists every step from now on, planned to fail or not, until reset.
void startListing();
[[nodiscard]] const std::vector<Step>& steps();

// Called by the file layer before each step: the errno to fail with, or 0.
[[nodiscard]] int check(Op op);
// Called before a step of count units, each counted as one call: the errno of a planned failure among them, with
// count cut to the units before it; else 0 and count unchanged.
[[nodiscard]] int check(Op op, std::size_t& count);

} // namespace FileFaults

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A seam for tests: makes the Nth call of one kind of file step fail with a chosen errno, or runs code just before
// it, and lists the steps a piece of code takes. Production code never arms it, and while it is disarmed each step
// pays one test of a flag. Steps may be taken on another thread (a search reads ahead on one): a planned failure
// raises there, an action runs there.
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
    Seek, // a look for where an open file holds data and where it has holes
};
constexpr std::size_t OpCount = static_cast<std::size_t>(Op::Seek) + 1;

// The nth (1-based) unit of op from now on fails with err; later ones succeed again.
void failNth(Op op, int nth, int err);
// Runs action just before the step that holds the nth (1-based) unit of op from now on: another process changing
// the file at that instant, say.
void atNth(Op op, int nth, std::function<void()> action);
// Runs action just before the nth (1-based) write to the file at path from now on: another program cutting that
// file short between the writer's look at it and its write, say.
void atNthWriteTo(const std::string& path, int nth, std::function<void()> action);
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

// A crash of the process, as a kill or a power cut: thrown at the step planned for it, it passes every handler of
// the program's own errors, as nothing runs after a kill. Files close as their handles go.
struct Crash { };
// The process crashes just before its nth (1-based) step from now on, a close excepted: closes come from handles
// going, and once the data is durable a close changes nothing.
void crashBeforeStep(int nth);

// Keeps, from now on, what every write replaced until its file is next made durable, so that a test can play a
// power cut that loses the writes not yet synced.
void trackUnsynced();
struct UnsyncedWrite {
    std::string path;
    std::int64_t offset = 0;
    std::string old; // the bytes the write replaced, as far as the file reached
    std::int64_t sizeBefore = 0;
    bool made = false; // no write: the file was made, and a power cut takes it until its folder is made durable
};
// The writes not made durable since tracking began, in the order they were made.
[[nodiscard]] std::vector<UnsyncedWrite> unsynced();
[[nodiscard]] bool tracking();
// Called by the file layer before a write to path.
void beforeWriteTo(const std::string& path);
// Called by the file layer: a write at offset to path, which replaced old in a file of sizeBefore bytes.
void wrote(const std::string& path, std::int64_t offset, std::string old, std::int64_t sizeBefore);
// Called by the file layer: path was made durable.
void synced(const std::string& path);
// Called by the file layer: path was made, as a new file.
void made(const std::string& path);
// Called by the file layer: the entries of folder were made durable.
void syncedFolder(const std::string& folder);

// Called by the file layer before each step: the errno to fail with, or 0.
[[nodiscard]] int check(Op op);
// Called before a step of count units, each counted as one call: the errno of a planned failure among them, with
// count cut to the units before it; else 0 and count unchanged.
[[nodiscard]] int check(Op op, std::size_t& count);

} // namespace FileFaults

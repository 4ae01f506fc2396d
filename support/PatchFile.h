#pragma once

#include "support/ByteChanges.h"
#include "support/FileCompare.h"
#include "support/FileHandle.h"

#include <functional>

#include <optional>
#include <string>
#include <string_view>

// A patch file: a change set as text that says for each run where it is, what it held and what it holds now, so
// that it can be applied to another copy only where that copy holds the old bytes.
//
//   quillmoor-patch 1
//   # file: /home/user/fw.bin, size 1048576
//   0000000A FF 00
//   00000100 4D5A9000 00000000
//
// UTF-8 text with LF line ends; lines that start with '#', and blank lines, are comments.
namespace PatchFile {

// The text of changes, with a comment naming the file they were made in and its size, when known.
[[nodiscard]] std::string format(const ByteChanges& changes, std::string_view file, std::optional<Address> size);

// The names and sizes of two compared files, for the comments of their differences' patch.
struct Compared {
    std::string_view ours;
    std::optional<Address> ourSize;
    std::string_view theirs;
    std::optional<Address> theirSize;
};
using Write = std::function<void(std::string_view text)>;
// The differences of the pair as a patch that turns ours into theirs over the bytes both have, given to write a
// piece at a time, with comments naming both files and, when their sizes differ, saying that the bytes past the
// shorter one are not in it. Counts the differing bytes and runs; stopped when goOn stopped it, and the text given
// so far is then not a whole patch.
[[nodiscard]] FileCompare::Counts writeDifferences(
    const Compared& compared, const FileCompare::Pair& pair, const Write& write, const FileCompare::GoOn& goOn);

// What makes a line unreadable.
enum class Error {
    None,
    NoHeader, // the first line is not "quillmoor-patch 1"
    NotThreeWords, // an offset, the old bytes and the new bytes
    OffsetNotHex,
    BytesNotHexPairs,
    LengthsDiffer, // old and new bytes of different lengths
    BeyondReach, // a run past the end of any file
    OutOfOrder, // a run before the end of the one above it
};

struct Parsed {
    ByteChanges changes;
    // The first line that cannot be read (counted from 1), and what is wrong with it.
    int errorLine = 0;
    Error error = Error::None;
};
// Reads the patch in file a piece at a time, so that only its runs are held; raises when the file cannot be read.
[[nodiscard]] Parsed read(FileHandle& file);

} // namespace PatchFile

#pragma once

#include "support/FileHandle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A patch file: what a run changed in a file, as text that says for each changed run of bytes where it is, what it
// held and what it holds now, so that it can be applied to another copy only where that copy holds the old bytes.
//
//   quillmoor-patch 1
//   # file: /home/user/fw.bin, size 1048576
//   0000000A FF 00
//   00000100 4D5A9000 00000000
//
// UTF-8 text with LF line ends; lines that start with '#', and blank lines, are comments.
namespace PatchFile {

// The lines in ascending order of offset, none overlapping the next. A patch may have millions of lines, so they
// are held as three arrays and one pool of bytes per side rather than as strings of their own.
class Patch {
public:
    struct Line {
        std::int64_t offset = 0;
        std::string_view before;
        std::string_view after; // as long as before
    };

    // Adds a line after the last one; the caller keeps the order.
    void add(std::int64_t offset, std::string_view before, std::string_view after);
    void clear();
    [[nodiscard]] std::size_t size() const { return m_offsets.size(); }
    [[nodiscard]] bool empty() const { return m_offsets.empty(); }
    [[nodiscard]] Line operator[](std::size_t i) const;
    [[nodiscard]] Line back() const { return (*this)[size() - 1]; }

private:
    // Offsets stop at 2147483646, and so do the bytes of lines that never overlap.
    std::vector<std::int32_t> m_offsets;
    std::vector<std::uint32_t> m_ends; // where each line's bytes end in the pools
    std::string m_before;
    std::string m_after;
};

// The text of patch, with a comment naming the file it was made from.
[[nodiscard]] std::string format(const Patch& patch, std::string_view file, std::int64_t size);

struct Parsed {
    Patch patch;
    // The first line that cannot be read (counted from 1), and what is wrong with it; 0 when all is well.
    int errorLine = 0;
    std::string error;
};
// Reads the patch in file a piece at a time, so that only its parsed lines are held; raises when the file cannot be
// read.
[[nodiscard]] Parsed read(FileHandle& file);

enum class Action { Apply, Check, Revert };

// What a command line's patch did to a file: its exit status and the one line to say.
struct Answer {
    int status = 0;
    std::string message;
};

// Applies patch to the file at path (or takes it back, or only looks): the file is opened once, every line's old
// bytes are looked at on that open file, and only when all hold them are the new bytes written and made durable
// with one sync. A file that already holds every line's new bytes is left alone. A write that fails part way puts
// back what it wrote. Offsets are reached up to 2147483646 and the file is never grown.
[[nodiscard]] Answer run(Action action, const Patch& patch, const std::string& path);

} // namespace PatchFile

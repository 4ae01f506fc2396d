#pragma once

#include "support/FileHandle.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// What a write that first looks at the file found.
struct CheckedWrite {
    enum class Outcome {
        // The file was the one expected and held the bytes expected (or already the new ones): it holds them now.
        Written,
        // The file is the one expected, but it cannot be opened for writing (read-only, locked).
        NotWritable,
        // The path names another file or none, or the file holds other bytes there, or ends before the range does.
        Refused,
    };
    Outcome outcome = Outcome::Refused;
    // What the file at the path held in the range before any write, as far as it reaches into the range: the bytes
    // replaced, or those that made the write refused. Empty when there was nothing to read.
    std::string found;
};

// Writes bytes at offset only while path still names the file identity and that file still holds expected there,
// and makes them durable before returning: one open, the identity check, one read of the range, one write between
// two looks at the size, and one sync, on the same open file, so nothing that has taken the file's name or changed its
// bytes since they were last read is ever overwritten, and nothing is written when any check fails. The file never
// grows: a write into a file cut short beneath it is cut off again and refused. Raises EInOutError when a step fails
// after the open.
[[nodiscard]] CheckedWrite writeIfUnchanged(const std::string& path, FileIdentity identity, std::int64_t offset,
    std::string_view expected, std::string_view bytes);
// The same over several ranges of one length, in ascending order and apart, each expected to hold expected (or
// already bytes): all are looked at before the first is written, and one sync makes them durable. found is what
// the ranges held, one after another. A write that fails part way puts back what it had written before raising.
[[nodiscard]] CheckedWrite writeRangesIfUnchanged(const std::string& path, FileIdentity identity,
    std::span<const std::int64_t> offsets, std::string_view expected, std::string_view bytes);
// The same for one byte: a cell's commit.
[[nodiscard]] inline CheckedWrite WriteByteAt(
    const std::string& path, FileIdentity identity, std::int64_t offset, std::uint8_t expected, std::uint8_t value)
{
    const char was = static_cast<char>(expected);
    const char now = static_cast<char>(value);
    return writeIfUnchanged(path, identity, offset, { &was, 1 }, { &now, 1 });
}

// The directory of the running executable, ending in "/".
[[nodiscard]] std::string ProgramDir();

// The settings folder of a program installed for all users, who cannot write beside its executable:
// $XDG_CONFIG_HOME/quillmoor/, or ~/.config/quillmoor/ when that variable is unset, empty or not absolute (the
// XDG base directory rules), ending in "/". Missing folders on the way are made, private to the user. When that
// fails, or the folder is another user's, it is returned all the same, and the first settings write reports it
// as any failed write does.
[[nodiscard]] std::string UserSettingsDir();

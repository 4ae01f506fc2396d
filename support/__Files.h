#pragma once

#include "support/FileHandle.h"

#include <cstdint>
#include <optional>
#include <string>

// Overwrites one byte of an existing file in place and makes it durable before returning true. False when
// the file cannot be opened for writing or the offset is not inside it; the file never changes length.
// Raises EInOutError when the size query, positioning, writing or syncing fails after the open.
[[nodiscard]] bool WriteByteAt(const std::string& path, std::int32_t offset, std::uint8_t value);

// What a write that first looks at the file found.
struct CheckedWrite {
    enum class Outcome {
        // The file was the one expected and held the byte expected (or already the new one): it holds value now.
        Written,
        // The file is the one expected, but it cannot be opened for writing (read-only, locked).
        NotWritable,
        // The path names another file or none, or the file holds another byte there, or ends before it.
        Refused,
    };
    Outcome outcome = Outcome::Refused;
    // The byte the file at the path held at the offset before any write, when it could be read: the byte
    // replaced, or the one that made the write refused.
    std::optional<std::uint8_t> found;
};

// Writes value at offset only while path still names the file identity and that file still holds expected
// there, and makes it durable. The look and the write are made on the same open file, so nothing that has
// taken the file's name or changed the byte since it was last read is ever overwritten. Raises EInOutError
// when the size query, positioning, reading, writing or syncing fails after the open.
[[nodiscard]] CheckedWrite writeByteIfUnchanged(
    const std::string& path, FileIdentity identity, std::int64_t offset, std::uint8_t expected, std::uint8_t value);

// The directory of the running executable, ending in "/".
[[nodiscard]] std::string ProgramDir();

// The settings folder of a program installed for all users, who cannot write beside its executable:
// $XDG_CONFIG_HOME/quillmoor/, or ~/.config/quillmoor/ when that variable is unset, empty or not absolute (the
// XDG base directory rules), ending in "/". Missing folders on the way are made, private to the user. When that
// fails the folder is returned all the same, and the first settings write reports it as any failed write does.
[[nodiscard]] std::string UserSettingsDir();

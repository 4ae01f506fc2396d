#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The settings file and the file-size probe.
//
// Each settings routine opens the file for one access and closes it again; nothing is cached, so a value
// written is what the next read, in this or another running copy, gets. Texts are trimmed of blanks at both
// ends. A write that cannot be made raises Exception("Unable to write to <path>") and leaves the old file as
// it was: the new content goes to a temporary file beside it, which then replaces it.

[[nodiscard]] std::string SettingsReadString(
    const std::string& path, const std::string& section, const std::string& key, std::string defaultValue);
void SettingsWriteString(
    const std::string& path, const std::string& section, const std::string& key, std::string value);
// As SettingsReadString, but nothing when the stored value is longer than SettingsReadString returns: cut, it
// would name something else than what was stored.
[[nodiscard]] std::optional<std::string> readWholeSettingsString(
    const std::string& path, const std::string& section, const std::string& key, std::string defaultValue);
[[nodiscard]] std::int32_t SettingsReadInt(
    const std::string& path, const std::string& section, const std::string& key, std::int32_t defaultValue);
void SettingsWriteInt(const std::string& path, const std::string& section, const std::string& key, std::int32_t value);

// The size of a regular file in bytes, or -1 when it cannot be opened or its size read. Sizes are signed
// 32-bit in the program: a file of 2 GiB or more reports 2147483647, so only its first 2147483647 bytes are
// reachable. Directories, FIFOs and devices are refused (-1) without ever blocking.
[[nodiscard]] std::int32_t FileSizeOf(const std::string& path);
// The same probe with the true 64-bit size, for showing it.
[[nodiscard]] std::int64_t trueFileSize(const std::string& path);

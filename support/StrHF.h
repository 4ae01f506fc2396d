#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The settings file.
//
// Each routine opens the file for one access and closes it again; nothing is cached, so a value written is what
// the next read, in this or another running copy, gets. Texts are trimmed of blanks at both ends. A write that
// cannot be made raises Exception("Unable to write to <path>") and leaves the old file as it was.
//
// Settings that another user may have put in place are not used: a folder not the user's or root's, or one that
// the group or everyone may write, or a link to a file not the user's or root's, reads as no settings file, and a
// write there is one that cannot be made.

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

#pragma once

#include "support/Address.h"
#include "support/FileCompare.h"

#include <functional>
#include <string>
#include <string_view>

// The command line's patch commands, which need no window: --apply, --check, --revert and --diff.
namespace PatchCommand {

enum class Action { Apply, Check, Revert };

// What a command did: its exit status (0 done or nothing to do, 1 a conflict and nothing written, 2 an error) and
// the one line it says, in Windows-1251.
struct Answer {
    int status = 0;
    std::string message;
    // A line said first: what the command found of a write to the file that was cut off.
    std::string recovery;
};

// Applies the patch at patchPath to the file at path, takes it back, or only looks: a write to the file that was
// cut off is put back first; the patch is read whole, then every run's old bytes are looked at on one open file,
// and only when all hold them are the new bytes written, as one checked write. A file that already holds every
// run's new bytes is left alone.
[[nodiscard]] Answer run(Action action, const std::string& patchPath, const std::string& path);

} // namespace PatchCommand

namespace PatchCommand {

// What a comparison found, as the window's notice and --diff say it: "Отличий нет", or the differing bytes and
// runs, and the sizes when they differ.
[[nodiscard]] std::string comparedText(const FileCompare::Counts& counts, Address ourSize, Address theirSize);

// Writes the differences of two files as a patch, a piece at a time: status 0 when they are equal and of one size,
// 1 when they differ, 2 when either cannot be read; the message says what the comparison found or what failed.
[[nodiscard]] Answer diff(
    const std::string& ours, const std::string& theirs, const std::function<void(std::string_view text)>& write);

} // namespace PatchCommand

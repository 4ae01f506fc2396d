#pragma once

#include <string>

// The command line's patch commands, which need no window: --apply, --check and --revert.
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

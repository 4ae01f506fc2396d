#pragma once

#include <QString>

#include <string>
#include <vector>

// What the program's arguments ask for: `quillmoor [FILE]`, `--help` or `--version`.
struct CommandLine {
    enum class Action {
        Run,
        PrintHelp,
        PrintVersion,
        UsageError,
        ApplyPatch,
        CheckPatch,
        RevertPatch,
        DiffFiles,
        PrintClipboard
    };

    Action action = Action::Run;
    // The file to open instead of the remembered one, as file-system bytes made absolute; empty for none.
    std::string file;
    // For --apply, --check and --revert: the patch file, made absolute as file is; for --diff, the first file.
    std::string patch;
    // The window's geometry the toolkit's -geometry or -qwindowgeometry gave, as given; empty for none.
    QString windowGeometry;
    // For a usage error: what was wrong, in one line.
    QString error;
};

// args are the program's arguments as the system passed them (the program's name first; the toolkit's own options
// among them are left to it); a relative FILE is made absolute against workingDir.
[[nodiscard]] CommandLine parseCommandLine(const std::vector<std::string>& args, const std::string& workingDir);
// The program's own arguments, made absolute against the working directory.
[[nodiscard]] CommandLine parseProgramArguments(int argc, char* argv[]);
// Answers a command line that asks for no window: help and version on standard output (0), a usage error with
// where to read the help on standard error (2).
[[nodiscard]] int answerWithoutWindow(const CommandLine& commandLine);
[[nodiscard]] QString commandLineHelp();
[[nodiscard]] QString commandLineVersion();

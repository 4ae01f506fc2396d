#pragma once

#include <string>

// Questions about a path, as file-system bytes.

// True when path names something that exists and is no directory.
[[nodiscard]] bool fileExists(const std::string& path);
// True when path names a regular file, looked at without opening it: opening some devices (a tape drive) has
// effects of its own.
[[nodiscard]] bool isRegularFile(const std::string& path);
// True when path names a regular file that this process may open for reading. Never blocks: a FIFO or device
// is refused without waiting for a writer.
[[nodiscard]] bool isReadableFile(const std::string& path);
// Everything up to and including the last "/", or empty when the path has none.
[[nodiscard]] std::string directoryPart(const std::string& path);
// The program's folder among the user's XDG base folders, ending in "/": $<variable>/quillmoor/, or
// ~/<fallback>/quillmoor/ when the variable is unset, empty or not absolute. With make, missing folders on the way
// are made, private to the user; when that fails it is returned all the same, and the first file made there reports
// it.
[[nodiscard]] std::string userFolder(const char* variable, const char* fallback, bool make = true);

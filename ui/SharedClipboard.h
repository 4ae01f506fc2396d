#pragma once

#include "support/ClipboardContent.h"

#include <optional>

// The desktop's clipboard, read so that an owner that never answers cannot hold the window: when another program
// owns it, it is read by a process of the program's own, waited for at most as long as given, rather than by the
// toolkit, which waits for each format in turn.
namespace SharedClipboard {

// The command-line option that makes the program print the clipboard instead of opening a window.
inline constexpr const char* Option = "--print-clipboard";

// The clipboard's content, or nothing when its owner did not answer within waitMs.
[[nodiscard]] std::optional<ClipboardContent> read(int waitMs);

// Writes the clipboard's content to standard output for read(): the program's part when started with Option, with
// a QGuiApplication. Returns the exit status.
[[nodiscard]] int print();

} // namespace SharedClipboard

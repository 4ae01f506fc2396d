#pragma once

#include <optional>
#include <string>

class QDropEvent;
class QMimeData;

// The one file a drag onto the window may carry: a single local URL that names a regular file, as file-system
// bytes. Several URLs, a folder, a FIFO or device, a missing file, a remote URL or anything that is no URL at
// all give none, and the window refuses the drag.
//
// Whether the file can also be read is left to the drop itself, which tells the user when it cannot: the
// cursor says what can be dropped, the error box says why a drop failed.
[[nodiscard]] std::optional<std::string> droppedFile(const QMimeData* data);

// The file a drag or drop event offers to the window: as droppedFile, but only as a copy, never as a move (a
// source that is told its data moved deletes the original), and not while a modal dialog is up (the drop would
// run a command in the middle of another one).
[[nodiscard]] std::optional<std::string> fileToTake(const QDropEvent* event);
// Accepts the drag or drop as a copy, or refuses it.
void answerDrag(QDropEvent* event, bool take);

#pragma once

#include "support/Address.h"
#include "support/WriteJournal.h"

#include <cstdint>
#include <string>

class Exception;

// What the shown block needs of the window: where its file is shown, the path the user has given, the text typed
// for a byte, and the messages a command shows on its way. What the rows show the block tells its watchers
// (ShownBlock::watch). Tests record the calls instead.
class BlockView {
public:
    enum class Notice {
        CannotOpen, // the file is missing, empty or cannot be read
        CannotWrite, // a byte that was to be written was not
    };

    virtual ~BlockView() = default;

    // A file is shown from now on, and its size (-1 when it cannot be opened or its size read).
    virtual void showFile(const std::string& path) = 0;
    virtual void showFileSize(Address size) = 0;
    // The path the user has given for the current file, as file-system bytes.
    [[nodiscard]] virtual std::string currentFile() const = 0;
    // The text the user left in column col (1 Hex, 2 Dec, 3 Bin, 4 Ascii) of the byte at address.
    [[nodiscard]] virtual std::string typedText(std::int32_t col, Address address) const = 0;
    virtual void showNotice(Notice notice) = 0;
    // An error a command shows on its way and goes on: an edit dropped because its text is no number and its row was
    // about to show another byte, or a write cut off before that could not be put back.
    virtual void showError(const Exception& error) = 0;
    // What the open of a file found of a write to it that was cut off (see putBackCutOffWrite).
    virtual void showRecovery(const WriteJournal::Recovery& recovery) = 0;
    // The hourglass, while a file is read.
    virtual void setBusy(bool busy) = 0;
    // Lets pending repaints and input run.
    virtual void processEvents() = 0;
};

#pragma once

#include <cstdint>
#include <string>

class EConvertError;

// What the shown block needs of the window: where its rows and its file are shown, the path the user has given,
// the text typed into a cell, and the messages a command shows on its way. The block tells which rows changed; the
// window's grid reads their texts back from the block when it paints them. Tests record the calls instead.
class BlockView {
public:
    enum class Notice {
        CannotOpen, // the file is missing, empty or cannot be read
        CannotWrite, // a byte that was to be written was not
    };

    virtual ~BlockView() = default;

    // Leaves the header row and one data row, row 1 keeping its texts: a load that shows no row.
    virtual void clearRows() = 0;
    // Rows first to last show new bytes; rows are added as needed. The first rows of a load (first is 1) replace
    // all rows before, as clearing them and adding these would.
    virtual void rowsChanged(std::int32_t first, std::int32_t last) = 0;
    // The four value cells of row show a new byte; the offset cell stays.
    virtual void valuesChanged(std::int32_t row) = 0;
    // A file is shown from now on, and its size (-1 when it cannot be opened or its size read).
    virtual void showFile(const std::string& path) = 0;
    virtual void showFileSize(std::int64_t size) = 0;
    // The path the user has given for the current file, as file-system bytes.
    [[nodiscard]] virtual std::string currentFile() const = 0;
    // The text of a cell as the user left it.
    [[nodiscard]] virtual std::string typedText(std::int32_t col, std::int32_t row) const = 0;
    virtual void showNotice(Notice notice) = 0;
    // An edit that was dropped because its text is no number and its row was about to show another byte.
    virtual void showDroppedEdit(const EConvertError& error) = 0;
    // The hourglass, while a file is read.
    virtual void setBusy(bool busy) = 0;
    // Lets pending repaints and input run.
    virtual void processEvents() = 0;
};

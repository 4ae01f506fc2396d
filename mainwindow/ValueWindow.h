#pragma once

#include "mainwindow/ShownBlock.h"

#include <QWidget>

#include <functional>
#include <string>

class ValueTable;

// The bytes from the current address on, read as numbers, times and text in both byte orders at once: a tool
// window of the main window's own, which listens to the shown block and follows its current address. With writing
// on, a value typed into a cell is written from the current address on, as the bytes it stands for in that cell's
// byte order. F12 in it hides it, as F12 on the grid does.
class ValueWindow : public QWidget {
public:
    // Takes the focus back to the owner: to the control after the window (next) or before it.
    using Leave = std::function<void(bool next)>;

    ValueWindow(QWidget* owner, ShownBlock& block, Leave leave);

    // The most bytes a value reads: a text's.
    static constexpr int ByteSpan = 32;

    // Takes the focus into the table, the window raised and made active.
    void enter();
    // Makes the value of type in order the current cell: where a number was found.
    void showFound(ByteValues::Type type, ByteValues::Order order);

protected:
    void showEvent(QShowEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the values of the bytes from the block's current address on, when a change reaches them.
    void blockChanged(const BlockChange& change);
    void showBytes();
    // A text typed into the value cell (row, col); raises EConvertError when it is no value of the row's type,
    // false after a notice that it was not written.
    bool commitTyped(int row, int col, const QString& text);
    // Puts the keyboard back on the cell (row, col) once a message about what was typed there is closed.
    void backToCell(int row, int col);

    ShownBlock& m_block;
    ValueTable* m_table;
    Leave m_leave;
    std::string m_bytes;
    bool m_writable = false;
};

#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <string_view>

class QTableWidget;

// The bytes from the current row on, read as numbers, times and text in both byte orders at once: a tool window of
// the main window's own, which follows its current row. With writing on, a value typed into a cell is handed to
// the write callback as the bytes it stands for in that cell's byte order. F12 in it hides it, as F12 on the grid
// does.
class ValueWindow : public QWidget {
public:
    // Writes bytes from the current row on.
    using Write = std::function<void(const std::string& bytes)>;
    // Takes the focus back to the owner: to the control after the window (next) or before it.
    using Leave = std::function<void(bool next)>;

    ValueWindow(QWidget* owner, Write write, Leave leave);

    // The most bytes a value reads: a text's.
    static constexpr int ByteSpan = 32;

    // bytes run from the current row's byte to the last shown row's, or are empty when no row is current.
    void showBytes(std::string_view bytes, bool writable);
    // Takes the focus into the table, the window raised and made active.
    void enter();

protected:
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A text typed into the value cell (row, col); raises EConvertError when it is no value of the row's type.
    void commitTyped(int row, int col, const QString& text);

    QTableWidget* m_table;
    Write m_write;
    Leave m_leave;
    std::string m_bytes;
    bool m_writable = false;
};

#pragma once

#include <QAccessible>
#include <QTableWidget>

// The value window's table, as a screen reader should hear it: a cell is announced and reads as focused only
// while the table has the keyboard (Qt's table does both for its current cell wherever the keyboard is, so the
// first show and a found number would pull the reader away from the main window), the current cell follows the
// table itself when the keyboard comes in, and every cell whose text changes says so.
class ValueTable : public QTableWidget {
public:
    ValueTable(int rows, int columns, QWidget* parent);

    // Shows text in the cell; a screen reader hears the new name when it differs from the old.
    void setCellText(int row, int column, const QString& text);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void announceCell(QAccessible::Event kind, int row, int column);
};

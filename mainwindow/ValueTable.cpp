#include "mainwindow/ValueTable.h"

#include "ui/Accessibility.h"
#include "ui/EventGuard.h"
#include "ui/table/KeyboardTableAccessible.h"

#include <QPointer>

ValueTable::ValueTable(int rows, int columns, QWidget* parent)
    : QTableWidget(rows, columns, parent)
{
    KeyboardTableAccessible::wantFor(this);
}

void ValueTable::setCellText(int row, int column, const QString& text)
{
    QTableWidgetItem* cell = item(row, column);
    if (!cell || cell->text() == text)
        return;
    cell->setText(text);
    // Qt's table tells a screen reader nothing of a changed cell: one that read it before would keep the old value.
    if (isVisible())
        announceCell(QAccessible::NameChanged, row, column);
}

void ValueTable::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (hasFocus())
        QTableWidget::currentChanged(current, previous);
    else
        QAbstractItemView::currentChanged(current, previous);
}

void ValueTable::focusInEvent(QFocusEvent* event)
{
    QTableWidget::focusInEvent(event);
    if (!accessibilityListening())
        return;
    // Qt announces the table itself as focused right after this; its current cell follows, as the one heard.
    QMetaObject::invokeMethod(
        this,
        [table = QPointer(this)] {
            guarded([&] {
                if (table && table->hasFocus() && table->currentIndex().isValid())
                    table->announceCell(QAccessible::Focus, table->currentRow(), table->currentColumn());
            });
        },
        Qt::QueuedConnection);
}

void ValueTable::announceCell(QAccessible::Event kind, int row, int column)
{
    if (!accessibilityListening())
        return;
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(this);
    QAccessibleTableInterface* cells = table ? table->tableInterface() : nullptr;
    QAccessibleInterface* cell = cells ? cells->cellAt(row, column) : nullptr;
    if (!cell)
        return;
    QAccessibleEvent announced(cell, kind);
    sendAccessibilityEvent(announced);
}

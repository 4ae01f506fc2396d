#pragma once

#include "support/Exception.h"
#include "ui/grid/ByteGrid.h"
#include "ui/grid/GridHandler.h"

#include <QString>
#include <QStringList>

#include <functional>

// Notification texts as GridRecorder writes them.
inline QString selectNote(int col, int row, int count, int curCol, int curRow)
{
    return QStringLiteral("select %1,%2 count=%3 current=%4,%5").arg(col).arg(row).arg(count).arg(curCol).arg(curRow);
}

inline QString editNote(int col, int row, const QString& text, EditReport report, int curCol, int curRow)
{
    const QString how = report == EditReport::Typed ? QStringLiteral("typed") : QStringLiteral("handed back");
    return QStringLiteral("edit %1,%2 \"%3\" %4 current=%5,%6")
        .arg(col)
        .arg(row)
        .arg(text, how)
        .arg(curCol)
        .arg(curRow);
}

inline QString typedNote(int col, int row, const QString& text, int curCol, int curRow)
{
    return editNote(col, row, text, EditReport::Typed, curCol, curRow);
}

inline QString handBackNote(int col, int row, const QString& text, int curCol, int curRow)
{
    return editNote(col, row, text, EditReport::HandedBack, curCol, curRow);
}

// Logs every notification of a grid in order, with what the handler sees of the grid at that moment: the row
// count and the current cell. Hooks let a test act inside a notification (write a cell, throw, refuse a move).
class GridRecorder : public GridHandler {
public:
    explicit GridRecorder(ByteGrid& grid)
        : m_grid(grid)
    {
        grid.setHandler(this);
    }

    void selectCell(std::int32_t ACol, std::int32_t ARow, bool& CanSelect) override
    {
        log.append(selectNote(ACol, ARow, m_grid.rowCount(), m_grid.currentCol(), m_grid.currentRow()));
        if (onSelect)
            onSelect(ACol, ARow);
        if (refuse)
            CanSelect = false;
    }

    void setEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value, EditReport report) override
    {
        log.append(editNote(ACol, ARow, QString::fromLatin1(Value.data(), static_cast<qsizetype>(Value.size())), report,
            m_grid.currentCol(), m_grid.currentRow()));
        if (Value != m_grid.cell(ACol, ARow))
            log.append(QStringLiteral("  cell differs from Value"));
        if (onEdit)
            onEdit(ACol, ARow);
    }

    // Takes the log so far and starts a new one.
    [[nodiscard]] QStringList take() { return std::exchange(log, {}); }

    QStringList log;
    std::function<void(std::int32_t, std::int32_t)> onSelect;
    std::function<void(std::int32_t, std::int32_t)> onEdit;
    bool refuse = false;

private:
    ByteGrid& m_grid;
};

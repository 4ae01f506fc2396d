#include "ui/grid/GridModel.h"

#include "support/Exception.h"
#include "ui/grid/GridEditorView.h"
#include "ui/grid/GridHandler.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {
[[noreturn]] void indexOutOfRange()
{
    throw Exception("Grid index out of range");
}
} // namespace

GridModel::GridModel(GridEditorView& editor)
    : m_editorView(editor)
{
}

void GridModel::setCell(std::int32_t col, std::int32_t row, std::string&& text)
{
    const Operation operation(*this);
    m_overrides.set({ col, row }, std::move(text));
    m_changes.texts.push_back({ { col, row }, { col, row } });
    if (GridCell { col, row } == m_cursor.current)
        currentCellWritten();
}

void GridModel::sourceChanged(GridCell from, GridCell to)
{
    const Operation operation(*this);
    m_overrides.drop(from, to);
    m_changes.texts.push_back(GridRange::spanning(from, to));
    if (GridRange::spanning(from, to).contains(m_cursor.current))
        currentCellWritten();
}

std::int32_t GridModel::colWidth(std::int32_t col) const
{
    if (col < 0 || col >= GridLayout::ColCount)
        indexOutOfRange();
    return m_layout.colWidth(col);
}

void GridModel::setColWidth(std::int32_t col, std::int32_t width)
{
    if (colWidth(col) == width)
        return;
    const Operation operation(*this);
    m_layout.setColWidth(col, width);
    m_changes.all = true;
    scrollTo(m_layout.topRow(), m_layout.leftCol());
    m_changes.ranges = true;
    placeEditor();
}

std::int32_t GridModel::rowHeight(std::int32_t row) const
{
    if (row < 0 || row >= rowCount())
        indexOutOfRange();
    return m_layout.rowHeight(row);
}

void GridModel::setRowHeight(std::int32_t row, std::int32_t height)
{
    if (rowHeight(row) == height)
        return;
    const Operation operation(*this);
    m_layout.setRowHeight(row, height);
    m_changes.all = true;
    scrollTo(m_layout.topRow(), m_layout.leftCol());
    m_changes.ranges = true;
    placeEditor();
}

void GridModel::setRowCount(std::int32_t count)
{
    if (count == rowCount())
        return;
    const Operation operation(*this);
    if (count > rowCount() && m_cursor.anchor == m_cursor.current) {
        // More rows move neither the current cell nor the view, and the top row stays within its range, which
        // only widens: a load grows the grid a row at a time, so this path stays short.
        const std::int32_t oldCount = rowCount();
        m_layout.setRowCount(count);
        rowsFrom(oldCount);
        m_changes.ranges = true;
        return;
    }
    const std::int32_t oldCount = rowCount();
    const std::int32_t oldFixedRows = m_layout.fixedRows();
    count = std::max(count, 1);
    // A grid needs one scrollable row for its current cell; fixed rows give way to it.
    if (count <= m_layout.fixedRows())
        m_layout.setFixedRows(count - 1);
    applyRowCount(count);
    const auto restore = [&] {
        m_layout.setFixedRows(oldFixedRows);
        applyRowCount(oldCount);
        m_changes.all = true;
    };
    try {
        if (m_cursor.current.row >= count && !moveCurrent({ m_cursor.current.col, count - 1 }, false)) {
            // A refused move would leave the current cell outside the grid; keep the count that holds it.
            restore();
            return;
        }
        if (m_cursor.anchor != m_cursor.current) {
            if (m_editing) {
                moveCurrent(m_cursor.current, false);
            } else {
                const GridCell oldAnchor = std::exchange(m_cursor.anchor, m_cursor.current);
                redrawMove(m_cursor.current, oldAnchor);
            }
        }
    } catch (...) {
        restore();
        throw;
    }
}

void GridModel::applyRowCount(std::int32_t count)
{
    const std::int32_t oldCount = rowCount();
    // Rows that go away are redrawn before they leave the layout, rows that come are drawn once they are in it.
    m_layout.setRowCount(count);
    rowsFrom(std::min(count, oldCount));
    scrollTo(m_layout.topRow(), m_layout.leftCol());
    m_changes.ranges = true;
}

void GridModel::setEditing(bool on)
{
    if (m_editing == on)
        return;
    const Operation operation(*this);
    m_editing = on;
    m_changes.all = true;
    // Switching editing off under an open editor keeps what was typed: the editor is handed back first.
    if (!on && m_editorMode)
        endEditorMode();
    if (!m_editorMode) {
        m_bound.reset();
        hideEditor();
    }
}

bool GridModel::moveCurrent(GridCell target, bool extend)
{
    if (target.col < 0 || target.col >= GridLayout::ColCount || target.row < 0 || target.row >= rowCount())
        indexOutOfRange();
    const Operation operation(*this);
    bool canSelect = true;
    if (m_handler)
        m_handler->selectCell(target.col, target.row, canSelect);
    if (!canSelect)
        return false;
    const GridCell oldCurrent = std::exchange(m_cursor.current, target);
    const GridCell oldAnchor = m_cursor.anchor;
    try {
        // Leaving the cell ends editor mode and hands the editor back, its notification before the move goes on.
        m_editorMode = false;
        handBack();
    } catch (...) {
        redrawMove(oldCurrent, oldAnchor);
        throw;
    }
    if (!extend)
        m_cursor.anchor = m_cursor.current;
    showCell(m_cursor.current);
    redrawMove(oldCurrent, oldAnchor);
    return true;
}

void GridModel::redrawMove(GridCell oldCurrent, GridCell oldAnchor)
{
    m_changes.looks.push_back(GridRange::spanning(oldCurrent, oldAnchor));
    m_changes.looks.push_back(m_cursor.selection());
}

void GridModel::showCell(GridCell cell)
{
    std::int32_t top = m_layout.topRow();
    if (cell.row < top)
        top = cell.row;
    else if (cell.row > m_layout.lastFullRow())
        top = m_layout.topRowShowing(cell.row);
    std::int32_t left = m_layout.leftCol();
    if (cell.col < left)
        left = cell.col;
    else if (cell.col > m_layout.lastFullCol())
        left = m_layout.leftColShowing(cell.col);
    scrollTo(top, left);
}

void GridModel::scrollTo(std::int32_t topRow, std::int32_t leftCol)
{
    const Operation operation(*this);
    const std::int32_t oldTop = m_layout.topRow();
    const std::int32_t oldLeft = m_layout.leftCol();
    m_layout.setTopRow(topRow);
    m_layout.setLeftCol(leftCol);
    if (m_layout.topRow() == oldTop && m_layout.leftCol() == oldLeft)
        return;
    m_changes.ranges = true;
    placeEditor();
}

void GridModel::setAnchor(GridCell anchor)
{
    anchor = clamped(anchor);
    if (anchor == m_cursor.anchor)
        return;
    const Operation operation(*this);
    const GridCell oldAnchor = std::exchange(m_cursor.anchor, anchor);
    redrawMove(m_cursor.current, oldAnchor);
    showCell(m_cursor.anchor);
}

void GridModel::stepAnchor(std::int32_t dCol, std::int32_t dRow)
{
    setAnchor({ m_cursor.anchor.col + dCol, m_cursor.anchor.row + dRow });
}

GridCell GridModel::clamped(GridCell cell) const
{
    return { std::clamp(cell.col, GridLayout::FixedCols, GridLayout::ColCount - 1),
        std::clamp(cell.row, m_layout.firstRow(), m_layout.lastRow()) };
}

void GridModel::rowsFrom(std::int32_t first)
{
    m_changes.rowsFrom = std::min(m_changes.rowsFrom.value_or(first), first);
}

GridModel::Operation::Operation(GridModel& model)
    : m_model(model)
{
    if (m_model.m_depth++ != 0)
        return;
    GridChanges& changes = m_model.m_changes;
    changes = GridChanges {};
    changes.cursorBefore = m_model.m_cursor;
    changes.rowCountBefore = m_model.rowCount();
    changes.topRowBefore = m_model.m_layout.topRow();
    changes.leftColBefore = m_model.m_layout.leftCol();
}

GridModel::Operation::~Operation()
{
    if (--m_model.m_depth == 0 && m_model.m_changeSink)
        m_model.m_changeSink(m_model.m_changes);
}

// --- The in-place editor

void GridModel::currentCellWritten()
{
    // The editor held the old text: it must not hand that back over the new one.
    m_bound.reset();
    if (editorWanted())
        updateEditor();
    else
        hideEditor();
}

bool GridModel::editorWanted() const
{
    return m_editing && m_editorMode && m_editorView.editorMayShow();
}

bool GridModel::openEditor()
{
    if (!m_editing)
        return false;
    const Operation operation(*this);
    // The user is about to type into the current cell: bring it back into view first, as typing blind into a
    // hidden editor would change a byte the user cannot see.
    showCell(m_cursor.current);
    resumeEditor();
    return m_bound.has_value() && m_editorShown;
}

void GridModel::resumeEditor()
{
    const Operation operation(*this);
    m_editorMode = true;
    updateEditor();
}

void GridModel::enterOnGrid()
{
    if (!m_editing)
        return;
    if (m_editorMode)
        endEditorMode();
    else
        openEditor();
}

void GridModel::endEditorMode()
{
    const Operation operation(*this);
    m_editorMode = false;
    handBack();
}

void GridModel::suspendEditor()
{
    const Operation operation(*this);
    handBack();
}

void GridModel::updateEditor()
{
    if (!editorWanted())
        return;
    const Operation operation(*this);
    if (m_bound == m_cursor.current) {
        m_editorShown = m_editorView.showEditor(nullptr, true);
        return;
    }
    m_bound = m_cursor.current;
    const std::string text = cell(m_bound->col, m_bound->row);
    m_editorShown = m_editorView.showEditor(&text, true);
}

void GridModel::placeEditor()
{
    if (m_bound && editorWanted())
        m_editorShown = m_editorView.showEditor(nullptr, false);
}

void GridModel::editorEdited(std::string text)
{
    if (!m_bound)
        return;
    const Operation operation(*this);
    const GridCell cell = *m_bound;
    m_overrides.set(cell, text);
    m_changes.texts.push_back({ cell, cell });
    if (m_handler)
        m_handler->setEditText(cell.col, cell.row, text, EditReport::Typed);
}

void GridModel::handBack()
{
    if (!m_bound) {
        hideEditor();
        return;
    }
    const GridCell cell = *m_bound;
    try {
        const std::string text = m_editorView.editorText();
        GridSource::TextBuffer buffer;
        if (text != cellText(cell, buffer)) {
            m_overrides.set(cell, text);
            m_changes.texts.push_back({ cell, cell });
        }
        if (m_handler)
            m_handler->setEditText(cell.col, cell.row, text, EditReport::HandedBack);
    } catch (...) {
        unbindEditor();
        throw;
    }
    unbindEditor();
}

void GridModel::unbindEditor()
{
    m_bound.reset();
    hideEditor();
}

void GridModel::hideEditor()
{
    m_editorShown = false;
    m_editorView.hideEditor();
}

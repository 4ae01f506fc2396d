#pragma once

#include "ui/grid/GridCell.h"
#include "ui/grid/GridCells.h"
#include "ui/grid/GridHandler.h"
#include "ui/grid/GridLayout.h"

#include <Qt>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

class GridView;

// The byte grid's state and the order of its notifications, without a widget: cell texts, geometry, the current
// cell and the anchor, the editing option, editor mode and the editor's binding.
//
// Notifications are plain calls into the handler from inside these operations, so a handler runs while an
// operation is half done, and an exception it throws leaves the operation at that point and travels on to the
// caller. Each operation is written so that whatever has happened by then leaves the grid consistent.
class GridModel {
public:
    explicit GridModel(GridView& view);

    void setHandler(GridHandler* handler) { m_handler = handler; }

    [[nodiscard]] GridLayout& layout() { return m_layout; }
    [[nodiscard]] const GridLayout& layout() const { return m_layout; }

    // A view of the stored text, good until the cell is next written.
    [[nodiscard]] std::string_view cell(std::int32_t col, std::int32_t row) const { return m_cells.text(col, row); }
    // Stores a text without a notification; on the current cell it unbinds the editor, reloading it if shown.
    void setCell(std::int32_t col, std::int32_t row, std::string&& text);
    // Writes the five texts of rows first .. first + count - 1, fill(row, texts) pointing all five of a row at
    // texts that stay good until its next call; as setCell on each cell, but rows out of view cost no redraw calls.
    using RowFiller = std::function<void(std::int32_t row, GridCells::RowView& texts)>;
    void setRows(std::int32_t first, std::int32_t count, const RowFiller& fill);
    // Reads the five texts of a row into texts; false for a row never written.
    [[nodiscard]] bool rowTexts(std::int32_t row, GridCells::RowView& texts) const
    {
        return m_cells.rowTexts(row, texts);
    }

    [[nodiscard]] std::int32_t rowCount() const { return m_layout.rowCount(); }
    void setRowCount(std::int32_t count);
    // Both throw "Grid index out of range" beyond the columns (rows).
    [[nodiscard]] std::int32_t colWidth(std::int32_t col) const;
    void setColWidth(std::int32_t col, std::int32_t width);
    [[nodiscard]] std::int32_t rowHeight(std::int32_t row) const;
    void setRowHeight(std::int32_t row, std::int32_t height);

    [[nodiscard]] bool editing() const { return m_editing; }
    void setEditing(bool on);
    [[nodiscard]] bool editorMode() const { return m_editorMode; }
    [[nodiscard]] std::optional<GridCell> boundCell() const { return m_bound; }

    [[nodiscard]] GridCell current() const { return m_current; }
    [[nodiscard]] GridCell anchor() const { return m_anchor; }
    [[nodiscard]] bool isSelected(GridCell cell) const;

    // The seven steps of moving the current cell; false when the handler refused the move.
    bool moveCurrent(GridCell target, bool extend);
    // Scrolls to the top row and left column, clamped; never moves the current cell.
    void scrollTo(std::int32_t topRow, std::int32_t leftCol);
    // Moves only the anchor (a range drag, Shift with a press) and scrolls it into view.
    void setAnchor(GridCell anchor);
    void stepAnchor(std::int32_t dCol, std::int32_t dRow);

    // The key table of the grid: navigation keys with Shift and Ctrl. False when the key is not one of them.
    bool navigationKey(int key, Qt::KeyboardModifiers modifiers);
    // A command key: passed on to the handler unless an editor is open.
    void command(GridCommand command);
    // The wheel, in eighths of a degree; every full 120 moves the current row by one.
    void wheel(int delta);

    // Editor mode on, and the editor shown if it may be; true when it shows.
    bool openEditor();
    // Enter on the grid: closes an open editor, else opens it.
    void enterOnGrid();
    // Enter in the editor, the focus leaving the grid: editor mode off, editor handed back.
    void endEditorMode();
    // A mouse press outside the editor: hands the editor back, keeps editor mode.
    void suspendEditor();
    // Shows the editor on the current cell when the editing option, editor mode and the focus allow it.
    void updateEditor();
    // The user changed the editor's text.
    void editorEdited(std::string text);
    // A left press on a scrollable cell; true when a range drag starts.
    bool leftPress(GridCell cell, bool shift);

private:
    [[nodiscard]] bool editorWanted() const;
    [[nodiscard]] GridCell clamped(GridCell cell) const;
    void handBack();
    void currentCellWritten();
    void unbindEditor();
    void showCell(GridCell cell);
    void redrawMove(GridCell oldCurrent, GridCell oldAnchor);
    void applyRowCount(std::int32_t count);
    void placeEditor();

    GridView& m_view;
    GridHandler* m_handler = nullptr;
    GridCells m_cells;
    GridLayout m_layout;
    GridCell m_current { 1, 1 };
    GridCell m_anchor { 1, 1 };
    bool m_editing = false;
    bool m_editorMode = false;
    std::optional<GridCell> m_bound;
    int m_wheelSum = 0;
};

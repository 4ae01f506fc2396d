#pragma once

#include "ui/grid/GridCell.h"
#include "ui/grid/GridChanges.h"
#include "ui/grid/GridCursor.h"
#include "ui/grid/GridHandler.h"
#include "ui/grid/GridLayout.h"
#include "ui/grid/GridOverrides.h"
#include "ui/grid/GridSource.h"

#include <Qt>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class GridEditorView;

// The byte grid's state and the order of its notifications, without a widget: the texts of single cells over the
// source's, geometry, the current cell and the anchor, the editing option, editor mode and the editor's binding.
//
// Notifications are plain calls into the handler from inside these operations, so a handler runs while an
// operation is half done, and an exception it throws leaves the operation at that point and travels on to the
// caller. Each operation is written so that whatever has happened by then leaves the grid consistent.
class GridModel {
public:
    explicit GridModel(GridEditorView& editor);

    void setHandler(GridHandler* handler) { m_handler = handler; }

    // Receives what an operation changed once it ends; operations a handler starts inside another one add to the
    // outer one's record. The sink may not throw.
    using ChangeSink = std::function<void(const GridChanges&)>;
    void setChangeSink(ChangeSink sink) { m_changeSink = std::move(sink); }
    // Groups the operations made while it lives into one record, as one operation of the model does.
    class Operation {
    public:
        explicit Operation(GridModel& model);
        ~Operation();
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

    private:
        GridModel& m_model;
    };

    [[nodiscard]] GridLayout& layout() { return m_layout; }
    [[nodiscard]] const GridLayout& layout() const { return m_layout; }

    // The source of every text not set on its cell; none leaves those empty.
    void setSource(const GridSource* source) { m_source = source; }
    // The text of a cell: the one set on it, else the source's, formatted into buffer or viewing storage that
    // stays good until the cell or the source next changes.
    [[nodiscard]] std::string_view cellText(GridCell cell, GridSource::TextBuffer& buffer) const
    {
        if (const std::string* own = m_overrides.find(cell)) [[unlikely]]
            return *own;
        return m_source ? m_source->cellText(cell.col, cell.row, buffer) : std::string_view();
    }
    [[nodiscard]] bool rowMarked(std::int32_t row) const { return m_source && m_source->rowMarked(row); }
    [[nodiscard]] std::string rowNote(std::int32_t row) const
    {
        return m_source ? m_source->rowNote(row) : std::string();
    }
    // The texts of the five columns of a row, each as cellText gives it, good until the source is next asked for a
    // text or a cell of the row next changes.
    void rowTexts(std::int32_t row, GridSource::RowTexts& texts) const
    {
        if (m_source)
            m_source->rowTexts(row, texts);
        else
            texts.fill({});
        if (!m_overrides.holdsRow(row)) [[likely]]
            return;
        for (std::size_t col = 0; col < texts.size(); ++col)
            if (const std::string* own = m_overrides.find({ static_cast<std::int32_t>(col), row }))
                texts[col] = *own;
    }
    [[nodiscard]] std::string cell(std::int32_t col, std::int32_t row) const
    {
        GridSource::TextBuffer buffer;
        return std::string(cellText({ col, row }, buffer));
    }
    // Sets a cell's own text without a notification; on the current cell it unbinds the editor, reloading it if
    // shown.
    void setCell(std::int32_t col, std::int32_t row, std::string&& text);
    // The source's texts of the rectangle spanned by two cells changed: texts set on those cells give way to them,
    // and an editor bound there is reloaded as by setCell.
    void sourceChanged(GridCell from, GridCell to);

    [[nodiscard]] std::int32_t rowCount() const { return m_layout.rowCount(); }
    void setRowCount(std::int32_t count);
    // A reload: the row count set to two, then to count, as one operation, so that the view and the scroll bars
    // change once, from where they stood to where the new rows leave them.
    void resetRows(std::int32_t count)
    {
        const Operation operation(*this);
        setRowCount(2);
        setRowCount(count);
    }
    // Both throw "Grid index out of range" beyond the columns (rows).
    [[nodiscard]] std::int32_t colWidth(std::int32_t col) const;
    void setColWidth(std::int32_t col, std::int32_t width);
    [[nodiscard]] std::int32_t rowHeight(std::int32_t row) const;
    void setRowHeight(std::int32_t row, std::int32_t height);

    [[nodiscard]] bool editing() const { return m_editing; }
    void setEditing(bool on);

    [[nodiscard]] const GridCursor& cursor() const { return m_cursor; }
    [[nodiscard]] GridCell current() const { return m_cursor.current; }
    [[nodiscard]] GridCell anchor() const { return m_cursor.anchor; }

    // The seven steps of moving the current cell; false when the handler refused the move.
    bool moveCurrent(GridCell target, bool extend);
    // Scrolls to the top row and left column, clamped; never moves the current cell.
    void scrollTo(std::int32_t topRow, std::int32_t leftCol);
    // Moves only the anchor (a range drag, Shift with a press) and scrolls it into view.
    void setAnchor(GridCell anchor);
    void stepAnchor(std::int32_t dCol, std::int32_t dRow);

    // The in-place editor: editor mode, the cell the editor is bound to, and when it shows. Its text is handed back
    // in order: the edit notification for the bound cell comes before the move that left the cell goes on.
    [[nodiscard]] bool editorMode() const { return m_editorMode; }
    [[nodiscard]] std::optional<GridCell> boundCell() const { return m_bound; }
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
    // Editor mode on and the editor shown on the current cell where it stands, as a press on it does.
    void resumeEditor();
    // The user changed the editor's text.
    void editorEdited(std::string text);

    // The cell nearest to cell among the scrollable ones.
    [[nodiscard]] GridCell clamped(GridCell cell) const;

private:
    void rowsFrom(std::int32_t first);
    void showCell(GridCell cell);
    void redrawMove(GridCell oldCurrent, GridCell oldAnchor);
    void applyRowCount(std::int32_t count);
    // The current cell's text was written: the editor, which held the old one, is reloaded or hidden.
    void currentCellWritten();
    // The view scrolled or was resized: a bound editor follows its cell.
    void placeEditor();
    [[nodiscard]] bool editorWanted() const;
    void handBack();
    void unbindEditor();
    void hideEditor();

    GridHandler* m_handler = nullptr;
    const GridSource* m_source = nullptr;
    GridOverrides m_overrides;
    GridLayout m_layout;
    GridCursor m_cursor;
    bool m_editing = false;
    GridEditorView& m_editorView;
    bool m_editorMode = false;
    std::optional<GridCell> m_bound;
    // The editor showed the last time it was asked to.
    bool m_editorShown = false;
    ChangeSink m_changeSink;
    GridChanges m_changes;
    int m_depth = 0;
};

#pragma once

#include "ui/grid/GridCell.h"

#include <optional>
#include <string>

class GridModel;
class GridEditorView;

// The in-place editor's side of the grid: the cell it is bound to, editor mode, when it shows, and the hand-back
// with the order of its notifications (the edit notification for the bound cell before the move that left it goes
// on). Part of GridModel, whose current cell, texts and handler it works with, and built in GridModel.cpp with it.
class GridEditorBinding {
public:
    GridEditorBinding(GridModel& model, GridEditorView& view);

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
    // The user changed the editor's text.
    void editorEdited(std::string text);
    // Editor mode on and the editor shown on the current cell where it stands, as a press on it does.
    void resumeEditor();

    // For the model: the current cell's text was written; the editing option switched; the current cell is about to
    // move (editor mode off, the editor handed back); the view scrolled or was resized (the editor follows its cell).
    void currentCellWritten();
    void editingSwitched(bool on);
    void leaveCell();
    void placeEditor();

private:
    [[nodiscard]] bool editorWanted() const;
    void handBack();
    void unbindEditor();
    void hideEditor();

    GridModel& m_model;
    GridEditorView& m_view;
    bool m_editorMode = false;
    std::optional<GridCell> m_bound;
    // The editor showed the last time it was asked to.
    bool m_editorShown = false;
};

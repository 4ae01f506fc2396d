#pragma once

#include "ui/grid/GridCell.h"

#include <cstdint>
#include <string>

// The in-place editor as the grid's logic (GridModel) sees it: its text, showing it over the current cell, hiding
// it, and whether it may show. The grid's GridInplaceEditor implements it; the logic never touches a widget itself,
// and what it changes reaches the widget as one record (GridChanges) per operation.
class GridEditorView {
public:
    virtual ~GridEditorView() = default;

    [[nodiscard]] virtual std::string editorText() const = 0;
    // Lays the editor over the current cell, or hides it (still bound) while that cell is out of view; true when it
    // shows. A text given is put into the editor first, without an edit notification, all of it selected. With
    // takeFocus, the editor takes the keyboard focus if the grid has it.
    virtual bool showEditor(const std::string* load, bool takeFocus) = 0;
    // Hides the editor; if it had the keyboard focus, the grid takes it.
    virtual void hideEditor() = 0;
    // The editor may show: the grid or the editor has the keyboard focus.
    [[nodiscard]] virtual bool editorMayShow() const = 0;
};

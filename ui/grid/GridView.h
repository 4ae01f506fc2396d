#pragma once

#include "ui/grid/GridCell.h"

#include <cstdint>
#include <string>

// What the grid's logic (GridModel) needs from the pixels side: the in-place editor, the keyboard focus and
// redrawing. ByteGrid implements it; the logic never touches a widget itself.
class GridView {
public:
    virtual ~GridView() = default;

    [[nodiscard]] virtual std::string editorText() const = 0;
    // Puts a text into the editor without raising an edit notification, all of it selected.
    virtual void loadEditor(const std::string& text) = 0;
    // Lays the editor over the current cell, or hides it (still bound) while that cell is out of view. With
    // takeFocus, the editor takes the keyboard focus if the grid has it.
    virtual void showEditor(bool takeFocus) = 0;
    // Hides the editor; if it had the keyboard focus, the grid takes it.
    virtual void hideEditor() = 0;
    [[nodiscard]] virtual bool editorShown() const = 0;
    // The grid or its editor has the keyboard focus.
    [[nodiscard]] virtual bool isActiveControl() const = 0;

    virtual void invalidateCell(GridCell cell) = 0;
    // Redraws the cells of the rectangle spanned by two cells, as far as they show.
    virtual void invalidateRange(GridCell from, GridCell to) = 0;
    // Redraws from a row's top edge down; nothing when the row does not show.
    virtual void invalidateFromRow(std::int32_t row) = 0;
    virtual void invalidateAll() = 0;
    // The top row or left column changed from the given values: shift the shown pixels.
    virtual void viewScrolled(std::int32_t oldTopRow, std::int32_t oldLeftCol) = 0;
    // Sizes, counts or the scroll position changed: bring the scroll bars up to date.
    virtual void rangesChanged() = 0;
};

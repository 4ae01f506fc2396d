#pragma once

#include "ui/grid/GridCell.h"
#include "ui/grid/GridHandler.h"

#include <Qt>

#include <optional>

class GridModel;

// Turns the user's input into moves of the grid's current cell and view: the key table, the wheel, the scroll
// bars' actions, left presses and the command keys. Each says whether it used the input; none touches a widget.
class GridController {
public:
    explicit GridController(GridModel& model);

    // The navigation keys with Shift and Ctrl; false for any other key.
    bool key(int key, Qt::KeyboardModifiers modifiers);
    // The wheel, in eighths of a degree; every full 120 moves the current row by one.
    bool wheel(int delta);
    // A command key, passed on to the handler unless an editor is open.
    bool command(GridCommand command);
    // A left press on a scrollable cell; true when a range drag starts.
    bool leftPress(GridCell cell, bool shift);
    // What a key on the grid itself asks of the widget once the controller has acted on it.
    enum class GridKey {
        NotUsed,
        Used,
        // The popup menu, at the grid's corner.
        Popup,
        // F2 opened the editor: its caret goes to the end of its text.
        EditAtEnd,
        // A printable key or Backspace opened the editor: the key goes on into it.
        Type,
    };
    GridKey gridKey(int key, Qt::KeyboardModifiers modifiers, bool printable);

    // The keys the in-place editor leaves to the grid; decided before acting on them, so that a key whose handling
    // fails goes neither to the editor nor to the grid.
    [[nodiscard]] static bool editorTakes(int key, Qt::KeyboardModifiers modifiers);
    // What such a key asks of the editor once the controller has acted on it.
    enum class EditorKey { Done, Home, End, CaretToEnd, FocusNext, FocusPrevious };
    EditorKey editorKey(int key, Qt::KeyboardModifiers modifiers);

    // A scroll bar's action (a QAbstractSlider::SliderAction), the bar's thumb at thumb and held while dragging:
    // scrolls the view and gives the thumb's new position, or nothing when the action moves nothing.
    std::optional<int> barAction(Qt::Orientation orientation, int action, int thumb, bool dragging);

private:
    GridModel& m_model;
    int m_wheelSum = 0;
};

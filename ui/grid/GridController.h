#pragma once

#include "ui/grid/GridCell.h"
#include "ui/grid/GridLayout.h"

#include <QPoint>

#include <Qt>

#include <optional>

class GridModel;

// Turns the user's input into moves of the grid's current cell and view: the key table, the wheel, the scroll
// bars' actions and the mouse. Each says whether it used the input; none touches a widget.
class GridController {
public:
    explicit GridController(GridModel& model);

    // The navigation keys with Shift and Ctrl; false for any other key.
    bool key(int key, Qt::KeyboardModifiers modifiers);
    // The wheel, in eighths of a degree; every full 120 moves the current row by one.
    bool wheel(int delta);
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

    // A press on the grid at pos, time in milliseconds. Any button hands the editor back (editor mode stays). A left
    // press on a line between fixed cells starts sizing (true: the sizing line shows); on a scrollable cell, with
    // editing on, it moves there or, on the current cell, opens the editor; with editing off it moves there, or with
    // Shift moves the anchor, and starts a range drag.
    bool press(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, quint64 time);
    // The second press of a double click on the grid: hands the editor back, nothing more.
    void doubleClick();
    // The end of a press: a range drag ends; a left release ends sizing and applies the size (true: the sizing line
    // goes), any other shows the editor again in editor mode.
    bool release(QPoint pos, Qt::MouseButton button);
    // A press ended without its release (cancel mode): a drag or sizing ends, applying nothing; true when the
    // sizing line goes.
    bool cancelPress();
    // A press on the shown editor: true when it completes a double click, the first press having opened the editor
    // on the grid within interval milliseconds before.
    bool editorPress(Qt::MouseButton button, quint64 time, quint64 interval);

    // Column and row sizing, begun by a press: the pointer moves the line (giving its old place, to be redrawn), the
    // release sets the size the line gives, if at least 2.
    struct SizingLine {
        GridLayout::SizingAxis axis;
        std::int32_t pos;
    };
    [[nodiscard]] std::optional<SizingLine> sizingLine() const;
    std::int32_t sizeTo(QPoint pos);

    // A range drag, begun by a press: the anchor follows the pointer over the scrollable cells; beyond them, the
    // widget's timer steps it on while dragTo says so.
    [[nodiscard]] bool dragging() const { return m_drag.has_value(); }
    bool dragTo(QPoint pos);
    void stepDrag();

    // A scroll bar's action (a QAbstractSlider::SliderAction), the bar's thumb at thumb and held while dragging:
    // scrolls the view and gives the thumb's new position, or nothing when the action moves nothing.
    std::optional<int> barAction(Qt::Orientation orientation, int action, int thumb, bool dragging);

private:
    // A left press on a scrollable cell; true when a range drag starts.
    bool leftPress(GridCell cell, bool shift);
    bool startSizing(QPoint pos);
    void finishSizing(QPoint pos);

    struct Sizing {
        GridLayout::Sizing place;
        std::int32_t offset = 0;
        std::int32_t linePos = 0;
    };
    struct Drag {
        std::int32_t dCol = 0;
        std::int32_t dRow = 0;
    };

    GridModel& m_model;
    int m_wheelSum = 0;
    std::optional<Sizing> m_sizing;
    std::optional<Drag> m_drag;
    // When the last press on the grid opened the editor on the current cell.
    std::optional<quint64> m_openingPress;
};

#pragma once

#include "ui/grid/GridEditorView.h"

#include <QObject>

#include <functional>
#include <string>

class GridController;
class GridModel;
class QAbstractScrollArea;
class QFocusEvent;
class QKeyEvent;
class QLineEdit;
class QMouseEvent;

// The grid's in-place editor: a line edit on the grid's viewport, laid over the current cell, and the keys and
// presses it handles itself. The grid's logic sees it as a GridEditorView. The line edit belongs to the viewport;
// this object only watches its events, for as long as it lives.
class GridInplaceEditor : public QObject, public GridEditorView {
    Q_OBJECT
public:
    // Gets the line edit's focus events before the line edit itself: the grid and its editor take and lose the
    // focus as one control.
    using FocusEvents = std::function<void(QFocusEvent* event)>;

    // The model and the controller are only stored here: the grid may hand them over before it has built them.
    GridInplaceEditor(QAbstractScrollArea& grid, GridModel& model, GridController& controller, FocusEvents focusEvents);
    ~GridInplaceEditor() override;

    [[nodiscard]] QLineEdit* lineEdit() const { return m_lineEdit; }

    [[nodiscard]] std::string editorText() const override;
    bool showEditor(const std::string* load, bool takeFocus) override;
    void hideEditor() override;
    [[nodiscard]] bool editorMayShow() const override;

    // Lays the editor over the current cell where it stands now (see showEditor).
    bool placeEditor(bool takeFocus);
    void caretToEnd();
    // Tab and Shift+Tab, in the grid or in the editor: the focus goes to the control after or before the grid.
    void moveFocusOut(bool next);
    // Asked first where Tab and Shift+Tab go: true when it took the focus elsewhere, out of the window.
    using FocusBeyond = std::function<bool(bool next)>;
    void setFocusBeyond(FocusBeyond beyond) { m_beyond = std::move(beyond); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadEditor(const std::string& text);
    void editorKey(const QKeyEvent* event);
    bool editorMousePress(QMouseEvent* event);

    QAbstractScrollArea& m_grid;
    GridModel& m_model;
    GridController& m_controller;
    FocusEvents m_focusEvents;
    FocusBeyond m_beyond;
    QLineEdit* m_lineEdit;
};

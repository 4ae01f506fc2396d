#pragma once

#include "ui/grid/GridController.h"
#include "ui/grid/GridInplaceEditor.h"
#include "ui/grid/GridLayout.h"
#include "ui/grid/GridModel.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QMenu>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

class GridHandler;
class QLineEdit;

// The byte table: a grid of five columns of Windows-1251 texts with one header row and one header column, a
// current cell, a range selection, an in-place editor and two notifications (GridHandler).
//
// This class only turns Qt's events into calls on GridModel and paints; every entry from Qt runs inside
// guarded(), and an exception a handler throws from inside a grid operation reaches the guard through the
// grid's own frames only.
class ByteGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Interval of the scrolling while a range is dragged beyond the shown cells.
    static constexpr int AutoScrollInterval = 60;

    explicit ByteGrid(QWidget* parent = nullptr);
    ~ByteGrid() override;

    void setHandler(GridHandler* handler) { m_model.setHandler(handler); }
    // Hears what each operation changed once the grid has applied it: the current cell moved, texts changed. It
    // may not throw.
    using ChangeWatch = std::function<void(const GridChanges&)>;
    void watchChanges(ChangeWatch watch) { m_watch = std::move(watch); }
    // Where Tab and Shift+Tab go before the controls of the grid's window (see GridInplaceEditor).
    void setFocusBeyond(GridInplaceEditor::FocusBeyond beyond) { m_editor.setFocusBeyond(std::move(beyond)); }
    // The source of the texts not set on their cells (see GridModel::cellText); it must outlive the grid's use.
    void setSource(const GridSource* source);
    [[nodiscard]] std::string cell(std::int32_t col, std::int32_t row) const { return m_model.cell(col, row); }
    [[nodiscard]] std::string_view cellText(GridCell cell, GridSource::TextBuffer& buffer) const
    {
        return m_model.cellText(cell, buffer);
    }
    void rowTexts(std::int32_t row, GridSource::RowTexts& texts) const { m_model.rowTexts(row, texts); }
    void setCell(std::int32_t col, std::int32_t row, std::string text) { m_model.setCell(col, row, std::move(text)); }
    // The source's texts of rows first .. last changed in columns firstCol .. lastCol (see GridModel::sourceChanged).
    void sourceChanged(GridCell from, GridCell to) { m_model.sourceChanged(from, to); }
    [[nodiscard]] std::int32_t rowCount() const { return m_model.rowCount(); }
    void setRowCount(std::int32_t count) { m_model.setRowCount(count); }
    void resetRows(std::int32_t count) { m_model.resetRows(count); }
    [[nodiscard]] std::int32_t colWidth(std::int32_t col) const { return m_model.colWidth(col); }
    void setColWidth(std::int32_t col, std::int32_t width) { m_model.setColWidth(col, width); }
    [[nodiscard]] std::int32_t rowHeight(std::int32_t row) const { return m_model.rowHeight(row); }
    [[nodiscard]] bool editing() const { return m_model.editing(); }
    void setEditing(bool on) { m_model.setEditing(on); }
    void setPopupMenu(QMenu* menu) { m_popup = menu; }
    [[nodiscard]] QMenu* popupMenu() const { return m_popup; }

    // Makes cell the current cell, as a move by a key does (the select-cell notification first).
    void setCurrentCell(GridCell cell);
    // Selects the range from anchor to current, current being the current cell; both moves notify.
    void selectCells(GridCell current, GridCell anchor);
    [[nodiscard]] std::int32_t currentCol() const { return m_model.current().col; }
    [[nodiscard]] std::int32_t currentRow() const { return m_model.current().row; }
    [[nodiscard]] GridCell anchor() const { return m_model.anchor(); }
    [[nodiscard]] const GridCursor& cursor() const { return m_model.cursor(); }
    [[nodiscard]] bool editorMode() const { return m_model.editorMode(); }
    // The in-place editor is bound to a cell: the window's shortcuts on the grid leave their keys to it meanwhile.
    [[nodiscard]] bool editorBound() const { return m_model.boundCell().has_value(); }
    [[nodiscard]] std::int32_t topRow() const { return m_model.layout().topRow(); }
    [[nodiscard]] std::int32_t leftCol() const { return m_model.layout().leftCol(); }
    [[nodiscard]] std::int32_t maxTopRow() const { return m_model.layout().maxTopRow(); }
    [[nodiscard]] const GridLayout& gridLayout() const { return m_model.layout(); }
    [[nodiscard]] QLineEdit* inplaceEditor() const { return m_editor.lineEdit(); }
    // What the source says of a row it marks (see GridSource::rowNote).
    [[nodiscard]] std::string rowNote(std::int32_t row) const { return m_model.rowNote(row); }

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    [[nodiscard]] bool isActiveControl() const;
    // Redraws and tells assistive technology what an operation of the model changed.
    void applyChanges(const GridChanges& changes);
    // Redraws the cells of a range, as far as they show.
    void redraw(GridRange range);
    // Redraws from a row's top edge down (see GridLayout::yFromRow).
    void redrawFromRow(std::int32_t row);
    // The top row or left column changed from the given values: shifts the shown pixels.
    void scrollPixels(std::int32_t oldTopRow, std::int32_t oldLeftCol);
    // Brings the scroll bars' ranges and thumbs up to date at once. Whether a bar shows, the scroll area decides
    // once per turn of the event loop (it hears of a range change queued), so a reload that shrinks the grid to two
    // rows and grows it again before events run keeps its bar shown and the grid laid out as it was.
    void syncBars();
    bool routeWheel(QObject* target, QWheelEvent* event);
    void gridKey(QKeyEvent* event);
    void barAction(Qt::Orientation orientation, int action);
    void editorFocusChanged(QFocusEvent* event);
    void focusLost(QFocusEvent* event);
    void popupAt(QPoint globalPos);
    void dragTo(QPoint pos);
    void sizeTo(QPoint pos);
    void cancelMode();
    void updateCursor(QPoint pos);
    void updateBar(Qt::Orientation orientation);
    // Where the bar's thumb stands for the view as it is.
    [[nodiscard]] int thumbNow(Qt::Orientation orientation) const;

    // Built before the model, which sees it as its GridEditorView.
    GridInplaceEditor m_editor;
    GridModel m_model { m_editor };
    GridController m_controller { m_model };
    QPointer<QMenu> m_popup;
    ChangeWatch m_watch;
    QBasicTimer m_autoScroll;
    // While a mouse button is down on the grid, the editor stays hidden until the release.
    bool m_pressed = false;
};

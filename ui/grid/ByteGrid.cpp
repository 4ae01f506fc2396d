#include "ui/grid/ByteGrid.h"

#include "support/Cp1251.h"
#include "ui/Accessibility.h"
#include "ui/CancelMode.h"
#include "ui/EventGuard.h"
#include "ui/grid/GridAccessibility.h"
#include "ui/grid/GridPainter.h"
#include "ui/grid/GridWheelRouter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <array>

namespace {

// Where the grid's changes go while a screen reader or a test listens; null while nobody does.
GridAccessibility* listener(ByteGrid* grid)
{
    return accessibilityListening() ? accessibleEvents<GridAccessibility>(grid) : nullptr;
}
} // namespace

ByteGrid::ByteGrid(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_editor(*this, m_model, m_controller, [this](QFocusEvent* event) { editorFocusChanged(event); })
{
    m_model.setChangeSink([this](const GridChanges& changes) { applyChanges(changes); });
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    for (QScrollBar* bar : { verticalScrollBar(), horizontalScrollBar() }) {
        const Qt::Orientation orientation = bar->orientation();
        bar->setFocusPolicy(Qt::NoFocus);
        // The grid scrolls when the thumb is released, not while it is dragged.
        bar->setTracking(false);
        bar->setRange(0, 0);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->installEventFilter(this);
        connect(bar, &QAbstractSlider::actionTriggered, this,
            [this, orientation](int action) { guarded([&] { barAction(orientation, action); }); });
        // A value set from outside the bar's own actions (its menu's "scroll here", an assistive tool) moves the
        // view as a released drag does; the values the grid sets itself already match the view.
        connect(bar, &QAbstractSlider::valueChanged, this, [this, orientation, bar](int value) {
            guarded([&] {
                if (!bar->isSliderDown() && value != thumbNow(orientation)) {
                    barAction(orientation, QAbstractSlider::SliderMove);
                    updateBar(orientation);
                }
            });
        });
    }

    // The wheel acts on the grid wherever the pointer is while the grid has the focus.
    new GridWheelRouter([this](QObject* target, QWheelEvent* event) { return routeWheel(target, event); }, this);
    m_model.layout().setClientSize(viewport()->size());
}

ByteGrid::~ByteGrid()
{
    if (mouseCaptureOwner() == this)
        setMouseCaptureOwner(nullptr);
}

void ByteGrid::setCurrentCell(GridCell cell)
{
    if (cell != m_model.current())
        m_model.moveCurrent(cell, false);
}

void ByteGrid::selectCells(GridCell current, GridCell anchor)
{
    // To the anchor first, then on to the current cell with the anchor kept: the view ends on the current cell.
    setCurrentCell(anchor);
    if (current != anchor)
        m_model.moveCurrent(current, true);
}

void ByteGrid::setSource(const GridSource* source)
{
    m_model.setSource(source);
    viewport()->update();
}

bool ByteGrid::isActiveControl() const
{
    return hasFocus() || m_editor.lineEdit()->hasFocus();
}

void ByteGrid::applyChanges(const GridChanges& changes)
{
    const GridLayout& layout = m_model.layout();
    if (layout.topRow() != changes.topRowBefore || layout.leftCol() != changes.leftColBefore)
        scrollPixels(changes.topRowBefore, changes.leftColBefore);
    if (changes.all) {
        viewport()->update();
    } else {
        if (changes.rowsFrom)
            redrawFromRow(*changes.rowsFrom);
        for (const GridRange& range : changes.texts)
            redraw(range);
        for (const GridRange& range : changes.looks)
            redraw(range);
    }
    if (changes.ranges)
        syncBars();
    if (m_watch)
        m_watch(changes);
    GridAccessibility* heard = listener(this);
    if (!heard) [[likely]]
        return;
    // A listener hears of every cell whose text may have changed, in view or not; it tells a new text apart.
    for (const GridRange& range : changes.texts)
        for (std::int32_t row = range.first.row; row <= range.last.row; ++row)
            for (std::int32_t col = range.first.col; col <= range.last.col; ++col)
                heard->cellMayHaveChanged({ col, row });
    if (m_model.cursor() != changes.cursorBefore)
        heard->currentMoved(changes.cursorBefore.current, changes.cursorBefore.anchor);
    if (rowCount() != changes.rowCountBefore)
        heard->rowCountChanged(changes.rowCountBefore);
}

void ByteGrid::redraw(GridRange range)
{
    QRect rect = m_model.layout().rangeRect(range);
    if (rect.isEmpty())
        return;
    // Whole rows take the background beyond the last column along, as a redraw from a row down does: rows
    // changed together with those below then make one rectangle to repaint, not a region of several, within
    // which every cell paints several times faster.
    if (range.last.col >= GridLayout::ColCount - 1)
        rect.setRight(std::max(rect.right(), viewport()->width() - 1));
    viewport()->update(rect);
}

void ByteGrid::redrawFromRow(std::int32_t row)
{
    if (const auto y = m_model.layout().yFromRow(row))
        viewport()->update(0, *y, viewport()->width(), viewport()->height() - *y);
}

void ByteGrid::scrollPixels(std::int32_t oldTopRow, std::int32_t oldLeftCol)
{
    const GridLayout& layout = m_model.layout();
    const QSize client = viewport()->size();
    const std::int32_t fixedWidth = layout.fixedWidth();
    const std::int32_t fixedHeight = layout.fixedHeight();
    // A jump of more than a screen redraws everything; a shorter one shifts what stays visible.
    if (std::abs(layout.topRow() - oldTopRow) > client.height() || std::abs(layout.leftCol() - oldLeftCol) > 8) {
        viewport()->update();
        return;
    }
    const std::int32_t dy = layout.pixelsBetween(layout.topRow(), oldTopRow, true);
    const std::int32_t dx = layout.pixelsBetween(layout.leftCol(), oldLeftCol, false);
    if (std::abs(dy) >= client.height() || std::abs(dx) >= client.width()) {
        viewport()->update();
        return;
    }
    if (dy != 0)
        viewport()->scroll(0, dy, QRect(0, fixedHeight, client.width(), client.height() - fixedHeight));
    if (dx != 0)
        viewport()->scroll(dx, 0, QRect(fixedWidth, 0, client.width() - fixedWidth, client.height()));
}

void ByteGrid::syncBars()
{
    updateBar(Qt::Vertical);
    updateBar(Qt::Horizontal);
}

int ByteGrid::thumbNow(Qt::Orientation orientation) const
{
    const GridLayout& layout = m_model.layout();
    return orientation == Qt::Vertical
        ? GridLayout::thumbFor(layout.topRow(), layout.firstRow(), layout.maxTopRow())
        : GridLayout::thumbFor(layout.leftCol(), GridLayout::FixedCols, layout.maxLeftCol());
}

void ByteGrid::updateBar(Qt::Orientation orientation)
{
    const GridLayout& layout = m_model.layout();
    const bool vertical = orientation == Qt::Vertical;
    QScrollBar* bar = vertical ? verticalScrollBar() : horizontalScrollBar();
    const std::int32_t first = vertical ? layout.firstRow() : GridLayout::FixedCols;
    const std::int32_t max = vertical ? layout.maxTopRow() : layout.maxLeftCol();
    const int last = max > first ? GridLayout::ThumbPositions - 1 : 0;
    if (bar->maximum() != last)
        bar->setRange(0, last);
    const int thumb = thumbNow(orientation);
    if (!bar->isSliderDown() && bar->sliderPosition() != thumb)
        bar->setSliderPosition(thumb);
    if (bar->value() != bar->sliderPosition() && !bar->isSliderDown())
        bar->setValue(thumb);
}

// --- Events

bool ByteGrid::event(QEvent* event)
{
    if (event->type() == cancelModeEventType()) {
        guarded([&] { cancelMode(); });
        return true;
    }
    return QAbstractScrollArea::event(event);
}

bool ByteGrid::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(event);
    // A marked row's note, over its byte cells.
    const auto* help = static_cast<QHelpEvent*>(event);
    std::string note;
    guarded([&] {
        const GridCell cell = m_model.layout().cellAt(help->pos());
        if (cell.col >= GridLayout::FixedCols && cell.row >= m_model.layout().fixedRows() && cell.row < rowCount())
            note = m_model.rowNote(cell.row);
    });
    if (note.empty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), Cp1251::toQString(note), viewport());
    return true;
}

bool ByteGrid::eventFilter(QObject* watched, QEvent* event)
{
    // A press on a scroll bar: an open editor stays open and bound; the grid takes the focus from it.
    if (event->type() == QEvent::MouseButtonPress)
        guarded([&] { setFocus(Qt::MouseFocusReason); });
    return QAbstractScrollArea::eventFilter(watched, event);
}

bool ByteGrid::routeWheel(QObject* target, QWheelEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(target);
    if (!widget)
        return false;
    if (isActiveControl() && widget->window() == window()) {
        m_controller.wheel(event->angleDelta().y());
        return true;
    }
    // Without the focus the grid ignores the wheel, and its scroll bars do not scroll it on their own either.
    return widget == verticalScrollBar() || widget == horizontalScrollBar();
}

bool ByteGrid::focusNextPrevChild(bool next)
{
    guarded([&] { m_editor.moveFocusOut(next); });
    return true;
}

void ByteGrid::keyPressEvent(QKeyEvent* event)
{
    guarded([&] { gridKey(event); });
}

void ByteGrid::gridKey(QKeyEvent* event)
{
    if (m_editor.lineEdit()->hasFocus()) {
        // Passed up from the editor, which did not want it: not the grid's key.
        event->ignore();
        return;
    }
    const QString text = event->text();
    switch (m_controller.gridKey(event->key(), event->modifiers(), !text.isEmpty() && text.at(0).isPrint())) {
    case GridController::GridKey::NotUsed:
        event->ignore();
        break;
    case GridController::GridKey::Used:
        break;
    case GridController::GridKey::Popup:
        popupAt(mapToGlobal(QPoint(0, 0)));
        // Opened from the keyboard, its first item is current, as menus opened by a key are: a screen reader
        // hears it at once, and Enter takes it.
        if (m_popup && !m_popup->actions().isEmpty())
            m_popup->setActiveAction(m_popup->actions().constFirst());
        break;
    case GridController::GridKey::EditAtEnd:
        m_editor.caretToEnd();
        break;
    case GridController::GridKey::Type:
        QCoreApplication::sendEvent(m_editor.lineEdit(), event);
        break;
    }
}

void ByteGrid::popupAt(QPoint globalPos)
{
    if (m_popup)
        m_popup->popup(globalPos);
}

void ByteGrid::mousePressEvent(QMouseEvent* event)
{
    guarded([&] {
        // Until the release the press is held: an error box shown meanwhile cancels it (cancelMode()), so that
        // the editor can show again once the grid has the focus back.
        m_pressed = true;
        setMouseCaptureOwner(this);
        setFocus(Qt::MouseFocusReason);
        if (m_controller.press(event->position().toPoint(), event->button(), event->modifiers(), event->timestamp()))
            viewport()->update();
    });
}

void ByteGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    guarded([&] {
        Q_UNUSED(event);
        m_pressed = true;
        setMouseCaptureOwner(this);
        setFocus(Qt::MouseFocusReason);
        m_controller.doubleClick();
    });
}

void ByteGrid::mouseMoveEvent(QMouseEvent* event)
{
    guarded([&] {
        const QPoint pos = event->position().toPoint();
        if (m_controller.sizingLine())
            sizeTo(pos);
        else if (m_controller.dragging())
            dragTo(pos);
        else if (!(event->buttons() & Qt::LeftButton))
            updateCursor(pos);
    });
}

void ByteGrid::updateCursor(QPoint pos)
{
    const auto sizing = m_model.layout().sizingAt(pos);
    if (!sizing)
        viewport()->unsetCursor();
    else
        viewport()->setCursor(sizing->axis == GridLayout::SizingAxis::Column ? Qt::SplitHCursor : Qt::SplitVCursor);
}

void ByteGrid::dragTo(QPoint pos)
{
    if (!m_controller.dragTo(pos))
        m_autoScroll.stop();
    else if (!m_autoScroll.isActive())
        m_autoScroll.start(AutoScrollInterval, this);
}

void ByteGrid::timerEvent(QTimerEvent* event)
{
    guarded([&] {
        if (event->timerId() != m_autoScroll.timerId())
            return;
        if (!m_controller.dragging())
            m_autoScroll.stop();
        else
            m_controller.stepDrag();
    });
}

void ByteGrid::sizeTo(QPoint pos)
{
    const std::int32_t oldLine = m_controller.sizeTo(pos);
    const GridController::SizingLine line = *m_controller.sizingLine();
    const auto strip = [&](std::int32_t at) {
        return line.axis == GridLayout::SizingAxis::Column ? QRect(at, 0, 1, viewport()->height())
                                                           : QRect(0, at, viewport()->width(), 1);
    };
    viewport()->update(strip(oldLine));
    viewport()->update(strip(line.pos));
}

void ByteGrid::mouseReleaseEvent(QMouseEvent* event)
{
    guarded([&] {
        m_pressed = false;
        m_autoScroll.stop();
        if (mouseCaptureOwner() == this)
            setMouseCaptureOwner(nullptr);
        if (m_controller.release(event->position().toPoint(), event->button()))
            viewport()->update();
        if (event->button() == Qt::RightButton)
            popupAt(event->globalPosition().toPoint());
    });
}

void ByteGrid::cancelMode()
{
    m_pressed = false;
    m_autoScroll.stop();
    if (m_controller.cancelPress())
        viewport()->update();
}

void ByteGrid::wheelEvent(QWheelEvent* event)
{
    guarded([&] {
        if (!isActiveControl()) {
            event->ignore();
            return;
        }
        m_controller.wheel(event->angleDelta().y());
    });
}

void ByteGrid::focusInEvent(QFocusEvent* event)
{
    // The base class would redraw the whole grid; only the current cell's focus rectangle changes.
    Q_UNUSED(event);
    guarded([&] {
        redraw({ m_model.current(), m_model.current() });
        if (GridAccessibility* heard = listener(this))
            heard->focusEntered();
        // Back from another control or window with editor mode on: the editor shows again, unless a press is
        // being handled, after whose release it shows.
        if (!m_pressed && !m_editor.lineEdit()->isVisible())
            m_model.updateEditor();
    });
}

void ByteGrid::focusOutEvent(QFocusEvent* event)
{
    guarded([&] { focusLost(event); });
}

void ByteGrid::editorFocusChanged(QFocusEvent* event)
{
    if (event->lostFocus())
        focusLost(event);
    else
        redraw({ m_model.current(), m_model.current() });
}

void ByteGrid::focusLost(QFocusEvent* event)
{
    redraw({ m_model.current(), m_model.current() });
    QWidget* now = QApplication::focusWidget();
    if (now == this || now == m_editor.lineEdit())
        return;
    // Another window (a dialog, a menu) taking the focus for a while is not the focus leaving the grid.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return;
    if (m_model.editorMode() || m_model.boundCell())
        m_model.endEditorMode();
}

void ByteGrid::barAction(Qt::Orientation orientation, int action)
{
    QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    if (const auto thumb = m_controller.barAction(orientation, action, bar->sliderPosition(), bar->isSliderDown()))
        bar->setSliderPosition(*thumb);
}

void ByteGrid::resizeEvent(QResizeEvent* event)
{
    guarded([&] {
        QAbstractScrollArea::resizeEvent(event);
        m_model.layout().setClientSize(viewport()->size());
        m_model.scrollTo(topRow(), leftCol());
        syncBars();
        if (m_model.boundCell())
            m_editor.placeEditor(false);
        viewport()->update();
    });
}

// --- Painting

void ByteGrid::paintEvent(QPaintEvent* event)
{
    guarded([&] {
        QPainter painter(viewport());
        const QSize client = viewport()->size();
        const auto underEditor = m_editor.lineEdit()->isVisible() ? m_model.boundCell() : std::nullopt;
        GridPainter::paint(painter, m_model, palette(), event->rect(), client, { isActiveControl(), underEditor });
        if (const auto line = m_controller.sizingLine()) {
            painter.setCompositionMode(QPainter::RasterOp_NotDestination);
            painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
            if (line->axis == GridLayout::SizingAxis::Column)
                painter.drawLine(line->pos, 0, line->pos, client.height());
            else
                painter.drawLine(0, line->pos, client.width(), line->pos);
        }
    });
}

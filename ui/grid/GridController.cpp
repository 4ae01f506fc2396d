#include "ui/grid/GridController.h"

#include "ui/grid/GridModel.h"

#include <QAbstractSlider>

#include <cstdlib>
#include <utility>

namespace {
constexpr int WheelStep = 120;

bool isPlainOrShiftCtrl(Qt::KeyboardModifiers modifiers)
{
    return !(modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier | Qt::KeypadModifier));
}
} // namespace

GridController::GridController(GridModel& model)
    : m_model(model)
{
}

bool GridController::key(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier | Qt::KeypadModifier))
        return false;
    // The scroll and the move a key makes reach the widget as one change.
    const GridModel::Operation operation(m_model);
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const GridLayout& layout = m_model.layout();
    const std::int32_t pageRows = layout.pageRows();
    const std::int32_t pageCols = layout.pageCols();
    GridCell target = m_model.current();
    std::int32_t top = layout.topRow();
    std::int32_t left = layout.leftCol();
    switch (key) {
    case Qt::Key_Up:
        ctrl ? --top : --target.row;
        break;
    case Qt::Key_Down:
        ctrl ? ++top : ++target.row;
        break;
    case Qt::Key_Left:
        target.col -= ctrl ? pageCols : 1;
        left -= ctrl ? pageCols : 0;
        break;
    case Qt::Key_Right:
        target.col += ctrl ? pageCols : 1;
        left += ctrl ? pageCols : 0;
        break;
    case Qt::Key_PageUp:
        if (ctrl) {
            target.row = top;
        } else {
            target.row -= pageRows;
            top -= pageRows;
        }
        break;
    case Qt::Key_PageDown:
        if (ctrl) {
            target.row = layout.lastFullRow();
        } else {
            target.row += pageRows;
            top += pageRows;
        }
        break;
    case Qt::Key_Home:
        target = ctrl ? GridCell { GridLayout::FixedCols, layout.firstRow() } : GridCell { 1, target.row };
        break;
    case Qt::Key_End:
        target = ctrl ? GridCell { GridLayout::ColCount - 1, layout.lastRow() }
                      : GridCell { GridLayout::ColCount - 1, target.row };
        break;
    default:
        return false;
    }
    m_model.scrollTo(top, left);
    target = m_model.clamped(target);
    if (target != m_model.current())
        m_model.moveCurrent(target, shift);
    return true;
}

bool GridController::wheel(int delta)
{
    const GridLayout& layout = m_model.layout();
    m_wheelSum += delta;
    while (std::abs(m_wheelSum) >= WheelStep) {
        // The step is used up before the move, so a failing move does not repeat on the next wheel event.
        const bool up = m_wheelSum > 0;
        m_wheelSum += up ? -WheelStep : WheelStep;
        if (up && m_model.current().row > layout.firstRow())
            m_model.moveCurrent({ m_model.current().col, m_model.current().row - 1 }, false);
        else if (!up && m_model.current().row < layout.lastRow())
            m_model.moveCurrent({ m_model.current().col, m_model.current().row + 1 }, false);
    }
    return true;
}

bool GridController::press(QPoint pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, quint64 time)
{
    m_openingPress.reset();
    m_model.suspendEditor();
    if (button != Qt::LeftButton)
        return false;
    if (startSizing(pos))
        return true;
    const GridCell hit = m_model.layout().cellAt(pos);
    if (hit.col < GridLayout::FixedCols || hit.row < m_model.layout().firstRow())
        return false;
    const bool wasCurrent = hit == m_model.current();
    if (!leftPress(hit, modifiers & Qt::ShiftModifier) && wasCurrent && m_model.editorMode())
        m_openingPress = time;
    return false;
}

void GridController::doubleClick()
{
    m_model.suspendEditor();
}

bool GridController::release(QPoint pos, Qt::MouseButton button)
{
    m_drag.reset();
    if (m_sizing && button == Qt::LeftButton) {
        finishSizing(pos);
        return true;
    }
    if (m_model.editorMode())
        m_model.updateEditor();
    return false;
}

bool GridController::cancelPress()
{
    m_drag.reset();
    return std::exchange(m_sizing, std::nullopt).has_value();
}

bool GridController::editorPress(Qt::MouseButton button, quint64 time, quint64 interval)
{
    // The press that opened the editor went to the grid, so Qt cannot see the double click the user made.
    const auto openedAt = std::exchange(m_openingPress, std::nullopt);
    return button == Qt::LeftButton && openedAt && time - *openedAt <= interval;
}

bool GridController::leftPress(GridCell cell, bool shift)
{
    const GridModel::Operation operation(m_model);
    if (m_model.editing()) {
        if (cell == m_model.current())
            m_model.resumeEditor();
        else
            m_model.moveCurrent(cell, false);
        return false;
    }
    if (shift)
        m_model.setAnchor(cell);
    else if (!m_model.moveCurrent(cell, false))
        return false;
    m_drag = Drag {};
    return true;
}

std::optional<int> GridController::barAction(Qt::Orientation orientation, int action, int thumb, bool dragging)
{
    const bool vertical = orientation == Qt::Vertical;
    const GridLayout& layout = m_model.layout();
    const std::int32_t first = vertical ? layout.firstRow() : GridLayout::FixedCols;
    const std::int32_t max = vertical ? layout.maxTopRow() : layout.maxLeftCol();
    const std::int32_t value = vertical ? layout.topRow() : layout.leftCol();
    const std::int32_t page = vertical ? layout.pageRows() : layout.pageCols();
    std::int32_t target = value;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        target = value + 1;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        target = value - 1;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        target = value + page;
        break;
    case QAbstractSlider::SliderPageStepSub:
        target = value - page;
        break;
    case QAbstractSlider::SliderToMinimum:
        target = first;
        break;
    case QAbstractSlider::SliderToMaximum:
        target = max;
        break;
    case QAbstractSlider::SliderMove:
        // Nothing while the thumb is dragged; its release moves the view.
        if (dragging)
            return std::nullopt;
        target = GridLayout::valueForThumb(thumb, first, max);
        break;
    default:
        return std::nullopt;
    }
    if (vertical)
        m_model.scrollTo(target, layout.leftCol());
    else
        m_model.scrollTo(layout.topRow(), target);
    return GridLayout::thumbFor(vertical ? layout.topRow() : layout.leftCol(), first, max);
}

GridController::GridKey GridController::gridKey(int key, Qt::KeyboardModifiers modifiers, bool printable)
{
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && (modifiers & ~Qt::KeypadModifier) == Qt::ShiftModifier))
        return GridKey::Popup;
    if (this->key(key, modifiers))
        return GridKey::Used;
    if (key == Qt::Key_F2)
        return m_model.openEditor() ? GridKey::EditAtEnd : GridKey::Used;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        m_model.enterOnGrid();
        return GridKey::Used;
    }
    if (key == Qt::Key_Backspace
        || (printable && !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))))
        return m_model.openEditor() ? GridKey::Type : GridKey::Used;
    return GridKey::NotUsed;
}

bool GridController::editorTakes(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return isPlainOrShiftCtrl(modifiers);
    case Qt::Key_Insert:
        return !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier));
    case Qt::Key_Home:
    case Qt::Key_End:
        // The line edit leaves Ctrl+Home and Ctrl+End to a document; in a one-line box they go to its ends.
        return (modifiers & Qt::ControlModifier) && isPlainOrShiftCtrl(modifiers);
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

GridController::EditorKey GridController::editorKey(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        this->key(key, modifiers);
        return EditorKey::Done;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_model.endEditorMode();
        return EditorKey::Done;
    case Qt::Key_Home:
        return EditorKey::Home;
    case Qt::Key_End:
        return EditorKey::End;
    case Qt::Key_F2:
        return EditorKey::CaretToEnd;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier) ? EditorKey::FocusNext : EditorKey::FocusPrevious;
    default:
        return EditorKey::Done;
    }
}

bool GridController::startSizing(QPoint pos)
{
    const auto sizing = m_model.layout().sizingAt(pos);
    if (!sizing)
        return false;
    const std::int32_t along = sizing->axis == GridLayout::SizingAxis::Column ? pos.x() : pos.y();
    m_sizing = Sizing { *sizing, sizing->linePos - along, sizing->linePos };
    return true;
}

std::optional<GridController::SizingLine> GridController::sizingLine() const
{
    if (!m_sizing)
        return std::nullopt;
    return SizingLine { m_sizing->place.axis, m_sizing->linePos };
}

std::int32_t GridController::sizeTo(QPoint pos)
{
    const std::int32_t along = m_sizing->place.axis == GridLayout::SizingAxis::Column ? pos.x() : pos.y();
    return std::exchange(m_sizing->linePos, along + m_sizing->offset);
}

void GridController::finishSizing(QPoint pos)
{
    sizeTo(pos);
    const Sizing sizing = *std::exchange(m_sizing, std::nullopt);
    const std::int32_t size = sizing.linePos - sizing.place.cellStart;
    if (size < 2)
        return;
    const GridModel::Operation operation(m_model);
    if (sizing.place.axis == GridLayout::SizingAxis::Column)
        m_model.setColWidth(sizing.place.index, size);
    else
        m_model.setRowHeight(sizing.place.index, size);
    if (m_model.editorMode())
        m_model.updateEditor();
}

bool GridController::dragTo(QPoint pos)
{
    const GridLayout& layout = m_model.layout();
    const GridLayout::Hit hit = layout.cellAt(pos);
    const QRect lastFull = layout.cellRect({ layout.lastFullCol(), layout.lastFullRow() });
    const auto direction
        = [](std::int32_t p, std::int32_t before, std::int32_t after) { return p < before ? -1 : (p > after ? 1 : 0); };
    Drag drag { direction(pos.x(), layout.fixedWidth(), lastFull.right()),
        direction(pos.y(), layout.fixedHeight(), lastFull.bottom()) };
    GridCell anchor = m_model.anchor();
    if (hit.col >= GridLayout::FixedCols)
        anchor.col = hit.col;
    if (hit.row >= layout.firstRow())
        anchor.row = hit.row;
    m_drag = drag;
    m_model.setAnchor(anchor);
    return drag.dCol != 0 || drag.dRow != 0;
}

void GridController::stepDrag()
{
    if (m_drag)
        m_model.stepAnchor(m_drag->dCol, m_drag->dRow);
}

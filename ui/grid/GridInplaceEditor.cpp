#include "ui/grid/GridInplaceEditor.h"

#include "support/Cp1251.h"
#include "ui/EventGuard.h"
#include "ui/grid/GridController.h"
#include "ui/grid/GridModel.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <climits>
#include <utility>

GridInplaceEditor::GridInplaceEditor(
    QAbstractScrollArea& grid, GridModel& model, GridController& controller, FocusEvents focusEvents)
    : m_grid(grid)
    , m_model(model)
    , m_controller(controller)
    , m_focusEvents(std::move(focusEvents))
    , m_lineEdit(new QLineEdit(grid.viewport()))
{
    m_lineEdit->setFrame(false);
    m_lineEdit->setMaxLength(INT_MAX);
    m_lineEdit->setFocusPolicy(Qt::ClickFocus);
    m_lineEdit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // QLineEdit keeps 2 pixels left and right and 1 at the top itself; one more at the top makes the text
    // start exactly where a cell draws its own.
    m_lineEdit->setTextMargins(0, 1, 0, 0);
    m_lineEdit->hide();
    m_lineEdit->installEventFilter(this);
    connect(m_lineEdit, &QLineEdit::textEdited, this,
        [this](const QString& text) { guarded([&] { m_model.editorEdited(Cp1251::fromQString(text)); }); });
}

GridInplaceEditor::~GridInplaceEditor()
{
    // The line edit outlives the grid's logic by a moment; its events must not reach it.
    m_lineEdit->removeEventFilter(this);
}

std::string GridInplaceEditor::editorText() const
{
    return Cp1251::fromQString(m_lineEdit->text());
}

bool GridInplaceEditor::showEditor(const std::string* load, bool takeFocus)
{
    if (load)
        loadEditor(*load);
    return placeEditor(takeFocus);
}

void GridInplaceEditor::loadEditor(const std::string& text)
{
    m_lineEdit->setText(Cp1251::toQString(text));
    m_lineEdit->selectAll();
    // A screen reader names the editor when it takes the focus: after its cell, by column header and offset.
    const GridCell cell = m_model.current();
    m_lineEdit->setAccessibleName(Cp1251::toQString(m_model.cell(cell.col, 0)) + QStringLiteral(", ")
        + Cp1251::toQString(m_model.cell(0, cell.row)));
}

bool GridInplaceEditor::placeEditor(bool takeFocus)
{
    const QRect rect = m_model.layout().cellRect(m_model.current());
    if (rect.isEmpty()) {
        hideEditor();
        return false;
    }
    if (m_lineEdit->geometry() != rect) {
        m_grid.viewport()->update(m_lineEdit->geometry());
        m_lineEdit->setGeometry(rect);
    }
    m_lineEdit->show();
    if (takeFocus && m_grid.hasFocus())
        m_lineEdit->setFocus(Qt::OtherFocusReason);
    return m_lineEdit->isVisible();
}

void GridInplaceEditor::hideEditor()
{
    if (m_lineEdit->isHidden())
        return;
    // Hiding the window's focus widget would hand the focus to the next control of the window. hasFocus() is
    // not the question: while a dialog is active, or just closed and the window not yet active again, the
    // editor has no focus but is still the control that gets it back.
    if (m_grid.window()->focusWidget() == m_lineEdit)
        m_grid.setFocus(Qt::OtherFocusReason);
    m_lineEdit->hide();
    m_grid.viewport()->update(m_lineEdit->geometry());
}

bool GridInplaceEditor::editorMayShow() const
{
    return m_grid.hasFocus() || m_lineEdit->hasFocus();
}

void GridInplaceEditor::caretToEnd()
{
    m_lineEdit->deselect();
    m_lineEdit->end(false);
}

void GridInplaceEditor::moveFocusOut(bool next)
{
    if (m_beyond && m_beyond(next))
        return;
    // The editor is no Tab stop: Tab and Shift+Tab go to the control after or before the grid itself.
    for (QWidget* widget = next ? m_grid.nextInFocusChain() : m_grid.previousInFocusChain();
         widget && widget != &m_grid; widget = next ? widget->nextInFocusChain() : widget->previousInFocusChain()) {
        if (m_grid.isAncestorOf(widget) || widget->window() != m_grid.window())
            continue;
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && widget->isVisibleTo(m_grid.window())) {
            widget->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

bool GridInplaceEditor::eventFilter(QObject* watched, QEvent* event)
{
    bool eaten = false;
    guarded([&] {
        if (watched != m_lineEdit)
            return;
        if (event->type() == QEvent::KeyPress) {
            // Decided before acting, so a key whose handling fails is not passed on to the editor or the grid.
            const auto* key = static_cast<QKeyEvent*>(event);
            eaten = GridController::editorTakes(key->key(), key->modifiers());
            if (eaten)
                editorKey(key);
        } else if (event->type() == QEvent::MouseButtonPress)
            eaten = editorMousePress(static_cast<QMouseEvent*>(event));
        else if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
            m_focusEvents(static_cast<QFocusEvent*>(event));
    });
    return eaten || QObject::eventFilter(watched, event);
}

void GridInplaceEditor::editorKey(const QKeyEvent* event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const GridController::EditorKey action = m_controller.editorKey(event->key(), event->modifiers());
    switch (action) {
    case GridController::EditorKey::Done:
        break;
    case GridController::EditorKey::Home:
        m_lineEdit->home(shift);
        break;
    case GridController::EditorKey::End:
        m_lineEdit->end(shift);
        break;
    case GridController::EditorKey::CaretToEnd:
        caretToEnd();
        break;
    case GridController::EditorKey::FocusNext:
    case GridController::EditorKey::FocusPrevious:
        moveFocusOut(action == GridController::EditorKey::FocusNext);
        break;
    }
}

bool GridInplaceEditor::editorMousePress(QMouseEvent* event)
{
    if (!m_controller.editorPress(
            event->button(), event->timestamp(), static_cast<quint64>(QApplication::doubleClickInterval())))
        return false;
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, event->position(), event->scenePosition(),
        event->globalPosition(), event->button(), event->buttons(), event->modifiers());
    doubleClick.setTimestamp(event->timestamp());
    QCoreApplication::sendEvent(m_lineEdit, &doubleClick);
    return true;
}

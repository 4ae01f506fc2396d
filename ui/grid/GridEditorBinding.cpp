#include "ui/grid/GridEditorBinding.h"

#include "ui/grid/GridHandler.h"
#include "ui/grid/GridModel.h"
#include "ui/grid/GridView.h"

GridEditorBinding::GridEditorBinding(GridModel& model, GridView& view)
    : m_model(model)
    , m_view(view)
{
}

void GridEditorBinding::currentCellWritten()
{
    // The editor held the old text: it must not hand that back over the new one.
    m_bound.reset();
    if (editorWanted())
        updateEditor();
    else
        hideEditor();
}

bool GridEditorBinding::editorWanted() const
{
    return m_model.m_editing && m_editorMode && m_view.editorMayShow();
}

bool GridEditorBinding::openEditor()
{
    if (!m_model.m_editing)
        return false;
    const GridModel::Operation operation(m_model);
    // The user is about to type into the current cell: bring it back into view first, as typing blind into a
    // hidden editor would change a byte the user cannot see.
    m_model.showCell(m_model.m_cursor.current);
    resumeEditor();
    return m_bound.has_value() && m_editorShown;
}

void GridEditorBinding::resumeEditor()
{
    const GridModel::Operation operation(m_model);
    m_editorMode = true;
    updateEditor();
}

void GridEditorBinding::enterOnGrid()
{
    if (!m_model.m_editing)
        return;
    if (m_editorMode)
        endEditorMode();
    else
        openEditor();
}

void GridEditorBinding::endEditorMode()
{
    const GridModel::Operation operation(m_model);
    m_editorMode = false;
    handBack();
}

void GridEditorBinding::suspendEditor()
{
    const GridModel::Operation operation(m_model);
    handBack();
}

void GridEditorBinding::updateEditor()
{
    if (!editorWanted())
        return;
    const GridModel::Operation operation(m_model);
    if (m_bound != m_model.m_cursor.current) {
        m_bound = m_model.m_cursor.current;
        m_view.loadEditor(m_model.cell(m_model.m_cursor.current.col, m_model.m_cursor.current.row));
    }
    m_editorShown = m_view.showEditor(true);
}

void GridEditorBinding::placeEditor()
{
    if (m_bound && editorWanted())
        m_editorShown = m_view.showEditor(false);
}

void GridEditorBinding::editorEdited(std::string text)
{
    if (!m_bound)
        return;
    const GridModel::Operation operation(m_model);
    const GridCell cell = *m_bound;
    m_model.m_overrides.set(cell, text);
    m_model.m_changes.texts.push_back({ cell, cell });
    if (m_model.m_handler)
        m_model.m_handler->setEditText(cell.col, cell.row, text);
}

void GridEditorBinding::handBack()
{
    if (!m_bound) {
        hideEditor();
        return;
    }
    const GridCell cell = *m_bound;
    try {
        const std::string text = m_view.editorText();
        GridSource::TextBuffer buffer;
        if (text != m_model.cellText(cell, buffer)) {
            m_model.m_overrides.set(cell, text);
            m_model.m_changes.texts.push_back({ cell, cell });
        }
        if (m_model.m_handler)
            m_model.m_handler->setEditText(cell.col, cell.row, text);
    } catch (...) {
        unbindEditor();
        throw;
    }
    unbindEditor();
}

void GridEditorBinding::unbindEditor()
{
    m_bound.reset();
    hideEditor();
}

void GridEditorBinding::hideEditor()
{
    m_editorShown = false;
    m_view.hideEditor();
}

void GridEditorBinding::editingSwitched(bool on)
{
    // Switching editing off under an open editor keeps what was typed: the editor is handed back first.
    if (!on && m_editorMode)
        endEditorMode();
    if (!m_editorMode) {
        m_bound.reset();
        hideEditor();
    }
}

void GridEditorBinding::leaveCell()
{
    m_editorMode = false;
    handBack();
}

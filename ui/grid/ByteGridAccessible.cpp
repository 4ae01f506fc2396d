#include "ui/grid/ByteGridAccessible.h"

#include "support/Cp1251.h"
#include "ui/Accessibility.h"
#include "ui/EventGuard.h"
#include "ui/grid/ByteGrid.h"

#include <QLineEdit>
#include <QPointer>

#include <algorithm>
#include <climits>
#include <string>
#include <utility>
#include <vector>

// One cell of the grid. It reads everything from the grid when asked, so it is never out of date; what it keeps
// is the text assistive technology last read or was told, to announce real changes only.
class ByteGridCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    ByteGridCellAccessible(ByteGrid* grid, GridCell cell)
        : m_grid(grid)
        , m_cell(cell)
        , m_textHeard(grid->cell(cell.col, cell.row))
    {
    }

    [[nodiscard]] ByteGrid* grid() const { return m_grid; }
    [[nodiscard]] GridCell cell() const { return m_cell; }

    // True when the text differs from the one last heard, which it then becomes.
    [[nodiscard]] bool takeTextChange()
    {
        std::string text = m_grid->cell(m_cell.col, m_cell.row);
        if (text == m_textHeard)
            return false;
        m_textHeard = std::move(text);
        return true;
    }

    // QAccessibleInterface
    [[nodiscard]] bool isValid() const override
    {
        return m_grid && m_cell.row >= 0 && m_cell.row < m_grid->rowCount() && m_cell.col >= 0
            && m_cell.col < GridLayout::ColCount;
    }
    // Cells share their grid's object; Qt keys its cache by object, so they must not claim it.
    [[nodiscard]] QObject* object() const override { return nullptr; }
    [[nodiscard]] QWindow* window() const override
    {
        const QAccessibleInterface* table = parent();
        return table ? table->window() : nullptr;
    }
    [[nodiscard]] QAccessibleInterface* parent() const override
    {
        return m_grid ? QAccessible::queryAccessibleInterface(m_grid.data()) : nullptr;
    }
    [[nodiscard]] QAccessibleInterface* child(int) const override { return nullptr; }
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    [[nodiscard]] QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    [[nodiscard]] QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description && m_grid && m_cell.col >= GridLayout::FixedCols)
            return Cp1251::toQString(m_grid->rowNote(m_cell.row));
        if (t != QAccessible::Name || !m_grid)
            return {};
        m_textHeard = m_grid->cell(m_cell.col, m_cell.row);
        return Cp1251::toQString(m_textHeard);
    }
    // Texts change through the in-place editor only, where the user's edits are seen and committed.
    void setText(QAccessible::Text, const QString&) override { }
    [[nodiscard]] QRect rect() const override
    {
        if (!m_grid)
            return {};
        const QRect rect = m_grid->gridLayout().cellRect(m_cell);
        return rect.isEmpty() ? QRect() : QRect(m_grid->viewport()->mapToGlobal(rect.topLeft()), rect.size());
    }
    [[nodiscard]] QAccessible::Role role() const override
    {
        if (columnHeader())
            return QAccessible::ColumnHeader;
        return m_cell.col < GridLayout::FixedCols ? QAccessible::RowHeader : QAccessible::Cell;
    }
    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        if (rect().isEmpty())
            state.offscreen = true;
        if (scrollable()) {
            state.selectable = true;
            state.selected = isSelected();
            state.focusable = true;
            state.focused = m_grid->hasFocus() && m_cell == m_grid->cursor().current;
        }
        return state;
    }
    [[nodiscard]] void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface*>(this) : nullptr;
    }

    // QAccessibleTableCellInterface
    [[nodiscard]] bool isSelected() const override
    {
        if (!m_grid || !scrollable())
            return false;
        return m_grid->cursor().isSelected(m_cell);
    }
    // Row 0 names the columns, column 0 (the offsets) the rows; the corner cell heads the offset column. A header
    // cell heads its own column (row): screen reader bridges find a column's header through the cell of row 0
    // and a row's through the cell of column 0.
    [[nodiscard]] QList<QAccessibleInterface*> columnHeaderCells() const override { return header(0, m_cell.col); }
    [[nodiscard]] QList<QAccessibleInterface*> rowHeaderCells() const override
    {
        return columnHeader() ? QList<QAccessibleInterface*>() : header(m_cell.row, 0);
    }
    [[nodiscard]] int columnIndex() const override { return m_cell.col; }
    [[nodiscard]] int rowIndex() const override { return m_cell.row; }
    [[nodiscard]] int columnExtent() const override { return 1; }
    [[nodiscard]] int rowExtent() const override { return 1; }
    [[nodiscard]] QAccessibleInterface* table() const override { return parent(); }

private:
    [[nodiscard]] bool columnHeader() const { return m_grid && m_cell.row < m_grid->gridLayout().fixedRows(); }
    [[nodiscard]] bool scrollable() const { return !columnHeader() && m_cell.col >= GridLayout::FixedCols; }
    [[nodiscard]] QList<QAccessibleInterface*> header(int row, int column) const
    {
        QAccessibleInterface* table = parent();
        QAccessibleInterface* cell = table ? table->tableInterface()->cellAt(row, column) : nullptr;
        return cell ? QList<QAccessibleInterface*> { cell } : QList<QAccessibleInterface*>();
    }

    QPointer<ByteGrid> m_grid;
    GridCell m_cell;
    mutable std::string m_textHeard;
};

// --- The table

ByteGridAccessible::ByteGridAccessible(ByteGrid* grid)
    : QAccessibleWidget(grid, QAccessible::Table)
{
}

ByteGridAccessible::~ByteGridAccessible()
{
    for (const auto& [index, id] : m_cells)
        QAccessible::deleteAccessibleInterface(id);
}

ByteGrid* ByteGridAccessible::grid() const
{
    return static_cast<ByteGrid*>(widget());
}

std::int64_t ByteGridAccessible::childIndex(GridCell cell)
{
    return std::int64_t(cell.row) * GridLayout::ColCount + cell.col;
}

void* ByteGridAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TableInterface)
        return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

int ByteGridAccessible::childCount() const
{
    // Child indexes are ints: a grid of more rows than they can count shows its first ones.
    const std::int64_t cells = std::min<std::int64_t>(childIndex({ 0, grid()->rowCount() }), INT_MAX - 1);
    return static_cast<int>(cells) + (editorInterface() ? 1 : 0);
}

QAccessibleInterface* ByteGridAccessible::child(int index) const
{
    if (index < 0)
        return nullptr;
    const GridCell cell { index % GridLayout::ColCount, index / GridLayout::ColCount };
    if (inGrid(cell))
        return cellInterface(cell);
    return index == childCount() - 1 ? editorInterface() : nullptr;
}

int ByteGridAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child)
        return -1;
    if (const auto* cell = dynamic_cast<const ByteGridCellAccessible*>(child)) {
        const std::int64_t index = childIndex(cell->cell());
        return cell->grid() == grid() && inGrid(cell->cell()) && index < INT_MAX - 1 ? static_cast<int>(index) : -1;
    }
    if (child->object() && child->object() == grid()->inplaceEditor() && editorInterface())
        return childCount() - 1;
    return -1;
}

QAccessibleInterface* ByteGridAccessible::childAt(int x, int y) const
{
    const QWidget* viewport = grid()->viewport();
    const QPoint pos = viewport->mapFromGlobal(QPoint(x, y));
    if (!viewport->rect().contains(pos))
        return nullptr;
    if (editorInterface() && grid()->inplaceEditor()->geometry().contains(pos))
        return editorInterface();
    const GridCell hit = grid()->gridLayout().cellAt(pos);
    return hit.col >= 0 && hit.row >= 0 ? cellInterface(hit) : nullptr;
}

QAccessibleInterface* ByteGridAccessible::focusChild() const
{
    if (grid()->inplaceEditor()->hasFocus())
        return editorInterface();
    if (grid()->hasFocus())
        return cellInterface(grid()->cursor().current);
    return nullptr;
}

QAccessibleInterface* ByteGridAccessible::cellAt(int row, int column) const
{
    return inGrid({ column, row }) ? cellInterface({ column, row }) : nullptr;
}

int ByteGridAccessible::selectedCellCount() const
{
    const GridRange range = selection();
    const std::int64_t count
        = std::int64_t(range.last.col - range.first.col + 1) * (std::int64_t(range.last.row) - range.first.row + 1);
    return static_cast<int>(std::min<std::int64_t>(count, INT_MAX));
}

QList<QAccessibleInterface*> ByteGridAccessible::selectedCells() const
{
    const GridRange range = selection();
    QList<QAccessibleInterface*> cells;
    for (std::int32_t row = range.first.row; row <= range.last.row; ++row)
        for (std::int32_t col = range.first.col; col <= range.last.col; ++col)
            cells.append(cellInterface({ col, row }));
    return cells;
}

QString ByteGridAccessible::columnDescription(int column) const
{
    return inGrid({ column, 0 }) ? Cp1251::toQString(grid()->cell(column, 0)) : QString();
}

QString ByteGridAccessible::rowDescription(int row) const
{
    return inGrid({ 0, row }) ? Cp1251::toQString(grid()->cell(0, row)) : QString();
}

int ByteGridAccessible::selectedColumnCount() const
{
    return static_cast<int>(selectedColumns().size());
}

int ByteGridAccessible::selectedRowCount() const
{
    return static_cast<int>(selectedRows().size());
}

int ByteGridAccessible::columnCount() const
{
    return GridLayout::ColCount;
}

int ByteGridAccessible::rowCount() const
{
    return grid()->rowCount();
}

// A row (column) counts as selected when the selection spans all its scrollable cells.
QList<int> ByteGridAccessible::selectedColumns() const
{
    const GridRange range = selection();
    QList<int> columns;
    for (std::int32_t col = range.first.col; col <= range.last.col; ++col)
        if (isColumnSelected(col))
            columns.append(col);
    return columns;
}

QList<int> ByteGridAccessible::selectedRows() const
{
    const GridRange range = selection();
    QList<int> rows;
    if (isRowSelected(range.first.row))
        for (std::int32_t row = range.first.row; row <= range.last.row; ++row)
            rows.append(row);
    return rows;
}

bool ByteGridAccessible::isColumnSelected(int column) const
{
    const GridRange range = selection();
    const GridLayout& layout = grid()->gridLayout();
    return column >= range.first.col && column <= range.last.col && range.first.row == layout.firstRow()
        && range.last.row == layout.lastRow();
}

bool ByteGridAccessible::isRowSelected(int row) const
{
    const GridRange range = selection();
    return row >= range.first.row && row <= range.last.row && range.first.col == GridLayout::FixedCols
        && range.last.col == GridLayout::ColCount - 1;
}

void ByteGridAccessible::modelChange(QAccessibleTableModelChangeEvent* event)
{
    if (event->modelChangeType() == QAccessibleTableModelChangeEvent::RowsRemoved)
        dropCellsFrom(event->firstRow());
    else if (event->modelChangeType() == QAccessibleTableModelChangeEvent::ModelReset)
        dropCellsFrom(0);
}

// --- What the grid reports

void ByteGridAccessible::cellMayHaveChanged(GridCell cell)
{
    // Only cells a screen reader was given can have been heard; the others it reads afresh when it gets them.
    ByteGridCellAccessible* known = knownCell(cell);
    if (known && known->takeTextChange())
        send(QAccessible::NameChanged, cell);
}

void ByteGridAccessible::currentMoved(GridCell oldCurrent, GridCell oldAnchor)
{
    // Rows added since the last announcement come first: the cell that follows may be in one of them.
    announceRowCount();
    const GridRange before = GridRange::spanning(oldCurrent, oldAnchor);
    if (before != selection()) {
        announceSelectedStates(before, selection());
        send(QAccessible::SelectionWithin, std::nullopt);
    }
    ByteGrid* shown = grid();
    const GridCell current = shown->cursor().current;
    if (current != oldCurrent && (shown->hasFocus() || shown->inplaceEditor()->hasFocus())) {
        m_focusPending = false;
        send(QAccessible::Focus, current);
    }
}

void ByteGridAccessible::rowCountChanged(std::int32_t oldCount)
{
    if (!m_rowCountHeard)
        m_rowCountHeard = oldCount;
    scheduleAnnouncements();
}

void ByteGridAccessible::focusEntered()
{
    // Qt announces the grid itself as focused right after this; the current cell follows it.
    m_focusPending = true;
    scheduleAnnouncements();
}

void ByteGridAccessible::scheduleAnnouncements()
{
    if (std::exchange(m_announcementScheduled, true))
        return;
    ByteGrid* target = grid();
    QMetaObject::invokeMethod(
        target,
        [target] {
            guarded([target] {
                if (auto* table = dynamic_cast<ByteGridAccessible*>(QAccessible::queryAccessibleInterface(target)))
                    table->announcePending();
            });
        },
        Qt::QueuedConnection);
}

void ByteGridAccessible::announcePending()
{
    m_announcementScheduled = false;
    announceRowCount();
    if (std::exchange(m_focusPending, false) && grid()->hasFocus())
        send(QAccessible::Focus, grid()->cursor().current);
}

void ByteGridAccessible::announceRowCount()
{
    if (!m_rowCountHeard)
        return;
    const std::int32_t before = *std::exchange(m_rowCountHeard, std::nullopt);
    const std::int32_t now = grid()->rowCount();
    if (now == before)
        return;
    QAccessibleTableModelChangeEvent event(grid(),
        now < before ? QAccessibleTableModelChangeEvent::RowsRemoved : QAccessibleTableModelChangeEvent::RowsInserted);
    event.setFirstRow(std::min(now, before));
    event.setLastRow(std::max(now, before) - 1);
    event.setFirstColumn(0);
    event.setLastColumn(GridLayout::ColCount - 1);
    // Qt hands the event to modelChange() only while a screen reader listens.
    if (now < before)
        dropCellsFrom(now);
    sendAccessibilityEvent(event);
}

// --- Helpers

GridRange ByteGridAccessible::selection() const
{
    return grid()->cursor().selection();
}

bool ByteGridAccessible::inGrid(GridCell cell) const
{
    return cell.col >= 0 && cell.col < GridLayout::ColCount && cell.row >= 0 && cell.row < grid()->rowCount()
        && childIndex(cell) < INT_MAX - 1;
}

ByteGridCellAccessible* ByteGridAccessible::cellInterface(GridCell cell) const
{
    if (!inGrid(cell))
        return nullptr;
    if (ByteGridCellAccessible* known = knownCell(cell))
        return known;
    auto* made = new ByteGridCellAccessible(grid(), cell);
    m_cells[childIndex(cell)] = QAccessible::registerAccessibleInterface(made);
    return made;
}

ByteGridCellAccessible* ByteGridAccessible::knownCell(GridCell cell) const
{
    if (!inGrid(cell))
        return nullptr;
    const auto found = m_cells.find(childIndex(cell));
    if (found == m_cells.end())
        return nullptr;
    return dynamic_cast<ByteGridCellAccessible*>(QAccessible::accessibleInterface(found->second));
}

QAccessibleInterface* ByteGridAccessible::editorInterface() const
{
    QLineEdit* editor = grid()->inplaceEditor();
    return editor->isVisible() ? QAccessible::queryAccessibleInterface(editor) : nullptr;
}

void ByteGridAccessible::send(QAccessible::Event type, std::optional<GridCell> cell)
{
    QAccessibleEvent event(grid(), type);
    if (cell) {
        // The cell is made now, so that what happens to it later is announced too.
        if (!cellInterface(*cell))
            return;
        event.setChild(static_cast<int>(childIndex(*cell)));
    }
    sendAccessibilityEvent(event);
}

void ByteGridAccessible::announceSelectedStates(GridRange before, GridRange after)
{
    // A screen reader keeps the states of the cells it was given, and only those: each of them whose selection
    // changed says so. A range of the whole block costs nothing more, as the others were never made.
    std::vector<std::pair<GridCell, bool>> changed;
    for (const auto& [index, id] : m_cells) {
        const GridCell cell { static_cast<std::int32_t>(index % GridLayout::ColCount),
            static_cast<std::int32_t>(index / GridLayout::ColCount) };
        if (before.contains(cell) != after.contains(cell))
            changed.emplace_back(cell, after.contains(cell));
    }
    std::sort(changed.begin(), changed.end(),
        [](const auto& a, const auto& b) { return childIndex(a.first) < childIndex(b.first); });
    for (const auto& [cell, selected] : changed)
        send(selected ? QAccessible::SelectionAdd : QAccessible::SelectionRemove, cell);
}

void ByteGridAccessible::dropCellsFrom(std::int32_t row)
{
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        if (it->first >= childIndex({ 0, row })) {
            QAccessible::deleteAccessibleInterface(it->second);
            it = m_cells.erase(it);
        } else {
            ++it;
        }
    }
}

#include "ui/table/KeyboardTableAccessible.h"

#include <QApplication>
#include <QHeaderView>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

namespace {

const char* const WantedProperty = "keyboardTableAccessible";

QString modelText(const QVariant& accessible, const QVariant& display)
{
    const QString text = accessible.toString();
    return text.isEmpty() ? display.toString() : text;
}

QHeaderView* headerOf(const QTableView* view, Qt::Orientation orientation)
{
    if (!view)
        return nullptr;
    return orientation == Qt::Horizontal ? view->horizontalHeader() : view->verticalHeader();
}

KeyboardTableAccessible* tableOf(QTableView* view)
{
    return view ? dynamic_cast<KeyboardTableAccessible*>(QAccessible::queryAccessibleInterface(view)) : nullptr;
}

// The view a child speaks for: none once the view is going, for while its destructors run it is a table view no
// more, and nothing of it may be read.
class ViewRef {
public:
    explicit ViewRef(QTableView* view)
        : m_object(view)
    {
    }
    [[nodiscard]] QTableView* data() const { return qobject_cast<QTableView*>(m_object.data()); }
    QTableView* operator->() const { return data(); }
    explicit operator bool() const { return data() != nullptr; }

private:
    QPointer<QObject> m_object;
};

// What every child of the table shares: a leaf of it, with no object of its own, whose text is the program's to
// say (a text set from outside would show a value no one entered).
class TableChild : public QAccessibleInterface {
public:
    explicit TableChild(QTableView* view)
        : m_view(view)
    {
    }

    [[nodiscard]] QObject* object() const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface* parent() const override
    {
        return QAccessible::queryAccessibleInterface(m_view.data());
    }
    [[nodiscard]] QAccessibleInterface* child(int) const override { return nullptr; }
    [[nodiscard]] int childCount() const override { return 0; }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    [[nodiscard]] QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override { }

protected:
    ViewRef m_view;
};

// One model cell of the view.
class CellAccessible : public TableChild, public QAccessibleTableCellInterface, public QAccessibleActionInterface {
public:
    CellAccessible(QTableView* view, const QModelIndex& index)
        : TableChild(view)
        , m_index(index)
    {
    }

    [[nodiscard]] const QPersistentModelIndex& index() const { return m_index; }

    // QAccessibleInterface
    [[nodiscard]] bool isValid() const override { return m_view && m_view->model() && m_index.isValid(); }
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::Cell; }
    [[nodiscard]] void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface*>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    [[nodiscard]] QString text(QAccessible::Text kind) const override
    {
        if (!isValid())
            return {};
        if (kind == QAccessible::Name)
            return modelText(m_index.data(Qt::AccessibleTextRole), m_index.data(Qt::DisplayRole));
        if (kind == QAccessible::Description)
            return m_index.data(Qt::AccessibleDescriptionRole).toString();
        return {};
    }

    [[nodiscard]] QRect rect() const override
    {
        if (!isValid())
            return {};
        QRect area = m_view->visualRect(m_index);
        if (!area.isNull())
            area.translate(m_view->viewport()->mapToGlobal(QPoint(0, 0)));
        return area;
    }

    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid())
            return state;
        const QRect shown(m_view->mapToGlobal(QPoint(0, 0)), m_view->size());
        state.invisible = !shown.intersects(rect());
        const QItemSelectionModel* selection = m_view->selectionModel();
        state.selected = selection && selection->isSelected(m_index);
        // The one difference from Qt's cell: the current cell is the focused object only while the keyboard is
        // in the view, not in another window nor in the cell's own editor.
        state.focused = selection && selection->currentIndex() == m_index && m_view->hasFocus();
        const QVariant check = m_index.data(Qt::CheckStateRole);
        state.checked = check.toInt() == Qt::Checked;
        const Qt::ItemFlags flags = m_index.flags();
        state.checkable = (flags & Qt::ItemIsUserCheckable) && check.isValid();
        if (flags & Qt::ItemIsSelectable) {
            state.selectable = true;
            state.focusable = true;
            state.multiSelectable = m_view->selectionMode() == QAbstractItemView::MultiSelection;
            state.extSelectable = m_view->selectionMode() == QAbstractItemView::ExtendedSelection;
        }
        return state;
    }

    // QAccessibleTableCellInterface
    [[nodiscard]] bool isSelected() const override
    {
        return isValid() && m_view->selectionModel() && m_view->selectionModel()->isSelected(m_index);
    }
    [[nodiscard]] QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        return header(Qt::Horizontal, m_index.column());
    }
    [[nodiscard]] QList<QAccessibleInterface*> rowHeaderCells() const override
    {
        return header(Qt::Vertical, m_index.row());
    }
    [[nodiscard]] int columnIndex() const override { return isValid() ? m_index.column() : -1; }
    [[nodiscard]] int rowIndex() const override { return isValid() ? m_index.row() : -1; }
    [[nodiscard]] int columnExtent() const override { return 1; }
    [[nodiscard]] int rowExtent() const override { return 1; }
    [[nodiscard]] QAccessibleInterface* table() const override { return parent(); }

    // QAccessibleActionInterface
    [[nodiscard]] QStringList actionNames() const override { return { toggleAction() }; }
    [[nodiscard]] QStringList keyBindingsForAction(const QString&) const override { return {}; }
    void doAction(const QString& name) override
    {
        if (name != toggleAction() || !isValid() || !m_view->selectionModel())
            return;
        const QAbstractItemView::SelectionMode mode = m_view->selectionMode();
        QItemSelectionModel* selection = m_view->selectionModel();
        if (mode == QAbstractItemView::NoSelection)
            return;
        // As the user's own click would: a single selection is moved, never emptied.
        if (selection->isSelected(m_index)) {
            if (mode == QAbstractItemView::MultiSelection || mode == QAbstractItemView::ExtendedSelection)
                selection->select(m_index, QItemSelectionModel::Deselect | selectionFlags());
            return;
        }
        if (mode == QAbstractItemView::SingleSelection)
            selection->clearSelection();
        selection->select(m_index, QItemSelectionModel::Select | selectionFlags());
    }

private:
    [[nodiscard]] QItemSelectionModel::SelectionFlags selectionFlags() const
    {
        switch (m_view->selectionBehavior()) {
        case QAbstractItemView::SelectRows:
            return QItemSelectionModel::Rows;
        case QAbstractItemView::SelectColumns:
            return QItemSelectionModel::Columns;
        default:
            return QItemSelectionModel::NoUpdate;
        }
    }

    [[nodiscard]] QList<QAccessibleInterface*> header(Qt::Orientation orientation, int section) const
    {
        KeyboardTableAccessible* owner = tableOf(m_view.data());
        if (!isValid() || !owner)
            return {};
        QAccessibleInterface* cell = owner->child(owner->headerIndex(orientation, section));
        return cell ? QList<QAccessibleInterface*> { cell } : QList<QAccessibleInterface*> {};
    }

    QPersistentModelIndex m_index;
};

// A column's or a row's header.
class HeaderAccessible : public TableChild {
public:
    HeaderAccessible(QTableView* view, Qt::Orientation orientation, int section)
        : TableChild(view)
        , m_orientation(orientation)
        , m_section(section)
    {
    }

    [[nodiscard]] Qt::Orientation orientation() const { return m_orientation; }
    [[nodiscard]] int section() const { return m_section; }

    [[nodiscard]] bool isValid() const override
    {
        const QAbstractItemModel* model = m_view ? m_view->model() : nullptr;
        return model && m_section >= 0
            && m_section < (m_orientation == Qt::Horizontal ? model->columnCount(m_view->rootIndex())
                                                            : model->rowCount(m_view->rootIndex()));
    }
    [[nodiscard]] QAccessible::Role role() const override
    {
        return m_orientation == Qt::Horizontal ? QAccessible::ColumnHeader : QAccessible::RowHeader;
    }
    [[nodiscard]] QString text(QAccessible::Text kind) const override
    {
        if (!isValid())
            return {};
        const QAbstractItemModel* model = m_view->model();
        if (kind == QAccessible::Name)
            return modelText(model->headerData(m_section, m_orientation, Qt::AccessibleTextRole),
                model->headerData(m_section, m_orientation, Qt::DisplayRole));
        if (kind == QAccessible::Description)
            return model->headerData(m_section, m_orientation, Qt::AccessibleDescriptionRole).toString();
        return {};
    }
    [[nodiscard]] QRect rect() const override
    {
        const QHeaderView* header = headerOf(m_view.data(), m_orientation);
        if (!header)
            return {};
        const QPoint origin = header->mapToGlobal(QPoint(0, 0));
        const int position = header->sectionPosition(m_section);
        const int size = header->sectionSize(m_section);
        return m_orientation == Qt::Horizontal ? QRect(origin.x() + position, origin.y(), size, header->height())
                                               : QRect(origin.x(), origin.y() + position, header->width(), size);
    }
    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State state;
        if (const QHeaderView* header = headerOf(m_view.data(), m_orientation)) {
            state.invisible = !header->testAttribute(Qt::WA_WState_Visible);
            state.disabled = !header->isEnabled();
        }
        return state;
    }

private:
    Qt::Orientation m_orientation;
    int m_section;
};

// The corner between the two headers.
class CornerAccessible : public TableChild {
public:
    explicit CornerAccessible(QTableView* view)
        : TableChild(view)
    {
    }

    [[nodiscard]] bool isValid() const override { return bool(m_view); }
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::Pane; }
    [[nodiscard]] QAccessible::State state() const override { return {}; }
    [[nodiscard]] QRect rect() const override { return {}; }
    [[nodiscard]] QString text(QAccessible::Text) const override { return {}; }
};

} // namespace

KeyboardTableAccessible::KeyboardTableAccessible(QTableView* view)
    : QAccessibleObject(view)
{
}

KeyboardTableAccessible::~KeyboardTableAccessible()
{
    dropChildren();
}

void KeyboardTableAccessible::wantFor(QTableView* view)
{
    view->setProperty(WantedProperty, true);
    // While a screen reader listens, the view's own construction already had Qt make it an interface of Qt's; it
    // goes, so that the next question gets this one. The view is not shown yet: no reader holds it.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(view);
    if (made && !dynamic_cast<KeyboardTableAccessible*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

bool KeyboardTableAccessible::isWanted(const QObject* object)
{
    return qobject_cast<const QTableView*>(object) && object->property(WantedProperty).toBool();
}

QTableView* KeyboardTableAccessible::view() const
{
    return qobject_cast<QTableView*>(object());
}

bool KeyboardTableAccessible::isValid() const
{
    return view() != nullptr;
}

void* KeyboardTableAccessible::interface_cast(QAccessible::InterfaceType type)
{
    return type == QAccessible::TableInterface ? static_cast<QAccessibleTableInterface*>(this) : nullptr;
}

QAccessible::State KeyboardTableAccessible::state() const
{
    QAccessible::State state;
    const QTableView* table = view();
    if (!table)
        return state;
    state.invisible = !table->testAttribute(Qt::WA_WState_Visible);
    state.focusable = table->focusPolicy() != Qt::NoFocus;
    state.focused = table->hasFocus();
    state.disabled = !table->isEnabled();
    return state;
}

QString KeyboardTableAccessible::text(QAccessible::Text kind) const
{
    const QTableView* table = view();
    if (!table)
        return {};
    return kind == QAccessible::Description ? table->accessibleDescription() : table->accessibleName();
}

QRect KeyboardTableAccessible::rect() const
{
    const QTableView* table = view();
    if (!table || !table->isVisible())
        return {};
    return { table->mapToGlobal(QPoint(0, 0)), table->size() };
}

QAccessibleInterface* KeyboardTableAccessible::parent() const
{
    const QTableView* table = view();
    if (table && table->parent())
        return QAccessible::queryAccessibleInterface(table->parent());
    return QAccessible::queryAccessibleInterface(qApp);
}

int KeyboardTableAccessible::columnCount() const
{
    const QTableView* table = view();
    return table && table->model() ? table->model()->columnCount(table->rootIndex()) : 0;
}

int KeyboardTableAccessible::rowCount() const
{
    const QTableView* table = view();
    return table && table->model() ? table->model()->rowCount(table->rootIndex()) : 0;
}

// A table view always has both headers, shown or not: row 0 is the column headers, column 0 the row headers.
int KeyboardTableAccessible::childCount() const
{
    const QTableView* table = view();
    return table && table->model() ? (rowCount() + 1) * (columnCount() + 1) : 0;
}

int KeyboardTableAccessible::cellIndex(int row, int column) const
{
    return (row + 1) * (columnCount() + 1) + column + 1;
}

int KeyboardTableAccessible::headerIndex(Qt::Orientation orientation, int section) const
{
    return orientation == Qt::Horizontal ? section + 1 : (section + 1) * (columnCount() + 1);
}

QAccessibleInterface* KeyboardTableAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    const auto known = m_children.find(index);
    if (known != m_children.end()) {
        QAccessibleInterface* kept = QAccessible::accessibleInterface(known->second);
        if (kept && speaksFor(kept, index))
            return kept;
        // Rows or columns moved while nobody listened, so no change reached us: the cell now speaks for another
        // place. Gone it is, as when a listener hears the change.
        if (kept)
            QAccessible::deleteAccessibleInterface(known->second);
        m_children.erase(known);
    }
    QAccessibleInterface* made = this->made(index);
    if (!made)
        return nullptr;
    m_children.emplace(index, QAccessible::registerAccessibleInterface(made));
    return made;
}

bool KeyboardTableAccessible::speaksFor(QAccessibleInterface* child, int index) const
{
    const auto* cell = dynamic_cast<const CellAccessible*>(child);
    return !cell || (cell->index().isValid() && cellIndex(cell->index().row(), cell->index().column()) == index);
}

QAccessibleInterface* KeyboardTableAccessible::made(int index) const
{
    QTableView* table = view();
    const int columns = columnCount() + 1;
    const int row = index / columns - 1;
    const int column = index % columns - 1;
    if (row < 0 && column < 0)
        return new CornerAccessible(table);
    if (row < 0)
        return new HeaderAccessible(table, Qt::Horizontal, column);
    if (column < 0)
        return new HeaderAccessible(table, Qt::Vertical, row);
    const QModelIndex cell = table->model()->index(row, column, table->rootIndex());
    return cell.isValid() ? new CellAccessible(table, cell) : nullptr;
}

int KeyboardTableAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (!child || !isValid())
        return -1;
    for (const auto& [index, id] : m_children)
        if (QAccessible::accessibleInterface(id) == child)
            return index;
    return -1;
}

QAccessibleInterface* KeyboardTableAccessible::childAt(int x, int y) const
{
    const QTableView* table = view();
    if (!table)
        return nullptr;
    const QModelIndex index = table->indexAt(table->viewport()->mapFromGlobal(QPoint(x, y)));
    return index.isValid() ? cellAt(index.row(), index.column()) : nullptr;
}

QAccessibleInterface* KeyboardTableAccessible::focusChild() const
{
    const QTableView* table = view();
    if (!table || !table->hasFocus() || !table->currentIndex().isValid())
        return nullptr;
    return cellAt(table->currentIndex().row(), table->currentIndex().column());
}

QAccessibleInterface* KeyboardTableAccessible::cellAt(int row, int column) const
{
    if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return nullptr;
    return child(cellIndex(row, column));
}

int KeyboardTableAccessible::selectedCellCount() const
{
    const QTableView* table = view();
    return table && table->selectionModel() ? static_cast<int>(table->selectionModel()->selectedIndexes().size()) : 0;
}

QList<QAccessibleInterface*> KeyboardTableAccessible::selectedCells() const
{
    QList<QAccessibleInterface*> cells;
    const QTableView* table = view();
    if (!table || !table->selectionModel())
        return cells;
    for (const QModelIndex& index : table->selectionModel()->selectedIndexes())
        if (QAccessibleInterface* cell = cellAt(index.row(), index.column()))
            cells.append(cell);
    return cells;
}

QString KeyboardTableAccessible::columnDescription(int column) const
{
    const QTableView* table = view();
    return table && table->model() ? table->model()->headerData(column, Qt::Horizontal).toString() : QString();
}

QString KeyboardTableAccessible::rowDescription(int row) const
{
    const QTableView* table = view();
    return table && table->model() ? table->model()->headerData(row, Qt::Vertical).toString() : QString();
}

int KeyboardTableAccessible::selectedColumnCount() const
{
    return static_cast<int>(selectedColumns().size());
}

int KeyboardTableAccessible::selectedRowCount() const
{
    return static_cast<int>(selectedRows().size());
}

QList<int> KeyboardTableAccessible::selectedColumns() const
{
    QList<int> columns;
    const QTableView* table = view();
    if (table && table->selectionModel())
        for (const QModelIndex& index : table->selectionModel()->selectedColumns())
            columns.append(index.column());
    return columns;
}

QList<int> KeyboardTableAccessible::selectedRows() const
{
    QList<int> rows;
    const QTableView* table = view();
    if (table && table->selectionModel())
        for (const QModelIndex& index : table->selectionModel()->selectedRows())
            rows.append(index.row());
    return rows;
}

bool KeyboardTableAccessible::isColumnSelected(int column) const
{
    const QTableView* table = view();
    return table && table->selectionModel() && table->selectionModel()->isColumnSelected(column, table->rootIndex());
}

bool KeyboardTableAccessible::isRowSelected(int row) const
{
    const QTableView* table = view();
    return table && table->selectionModel() && table->selectionModel()->isRowSelected(row, table->rootIndex());
}

// Rows or columns come or go: every child index after them moves, so the children are made anew as asked for.
void KeyboardTableAccessible::modelChange(QAccessibleTableModelChangeEvent* event)
{
    if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
        dropChildren();
}

void KeyboardTableAccessible::dropChildren()
{
    const std::map<int, QAccessible::Id> children = std::exchange(m_children, {});
    for (const auto& [index, id] : children)
        QAccessible::deleteAccessibleInterface(id);
}

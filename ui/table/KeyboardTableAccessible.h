#pragma once

#include <QAccessibleObject>

#include <map>

class QHeaderView;
class QTableView;

// A table view as assistive technology sees it, the same as Qt's own table but for one thing: its current cell
// reports the focused state only while the view has the keyboard. Qt's cell reports it for the view's current cell
// wherever the keyboard is, so a tool window beside the main window would have a second object heard as focused.
//
// The children are Qt's in Qt's order: a corner, a header cell per column, then row by row a row header and the
// row's cells. Their interfaces are made on demand and kept by child index, registered with Qt's cache, until the
// view goes or the model's shape changes; each holds the view by a guarded pointer and its cell by a persistent
// index, so none outlives what it speaks for.
class KeyboardTableAccessible : public QAccessibleObject, public QAccessibleTableInterface {
public:
    explicit KeyboardTableAccessible(QTableView* view);
    ~KeyboardTableAccessible() override;

    // Makes the view's accessible interface this one (the factory asks isWanted()); call before the view shows.
    static void wantFor(QTableView* view);
    [[nodiscard]] static bool isWanted(const QObject* object);

    [[nodiscard]] QTableView* view() const;
    // The child index of the header cell of a column (Horizontal) or a row.
    [[nodiscard]] int headerIndex(Qt::Orientation orientation, int section) const;

    // QAccessibleInterface
    [[nodiscard]] bool isValid() const override;
    [[nodiscard]] void* interface_cast(QAccessible::InterfaceType type) override;
    [[nodiscard]] QAccessible::Role role() const override { return QAccessible::Table; }
    [[nodiscard]] QAccessible::State state() const override;
    [[nodiscard]] QString text(QAccessible::Text kind) const override;
    [[nodiscard]] QRect rect() const override;
    [[nodiscard]] QAccessibleInterface* parent() const override;
    [[nodiscard]] int childCount() const override;
    [[nodiscard]] QAccessibleInterface* child(int index) const override;
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override;
    [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override;
    [[nodiscard]] QAccessibleInterface* focusChild() const override;

    // QAccessibleTableInterface
    [[nodiscard]] QAccessibleInterface* caption() const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface* summary() const override { return nullptr; }
    [[nodiscard]] QAccessibleInterface* cellAt(int row, int column) const override;
    [[nodiscard]] int selectedCellCount() const override;
    [[nodiscard]] QList<QAccessibleInterface*> selectedCells() const override;
    [[nodiscard]] QString columnDescription(int column) const override;
    [[nodiscard]] QString rowDescription(int row) const override;
    [[nodiscard]] int selectedColumnCount() const override;
    [[nodiscard]] int selectedRowCount() const override;
    [[nodiscard]] int columnCount() const override;
    [[nodiscard]] int rowCount() const override;
    [[nodiscard]] QList<int> selectedColumns() const override;
    [[nodiscard]] QList<int> selectedRows() const override;
    [[nodiscard]] bool isColumnSelected(int column) const override;
    [[nodiscard]] bool isRowSelected(int row) const override;
    // Whole rows or columns are never selected from outside: the tables this serves select one cell at a time,
    // and a selection made behind the user's back would move what Enter writes to.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

private:
    [[nodiscard]] int cellIndex(int row, int column) const;
    [[nodiscard]] QAccessibleInterface* made(int index) const;
    [[nodiscard]] bool speaksFor(QAccessibleInterface* child, int index) const;
    void dropChildren();

    mutable std::map<int, QAccessible::Id> m_children;
};

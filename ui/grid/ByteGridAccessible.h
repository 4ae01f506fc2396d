#pragma once

#include "ui/grid/GridAccessibility.h"
#include "ui/grid/GridCell.h"
#include "ui/grid/GridCursor.h"

#include <QAccessibleWidget>

#include <cstdint>
#include <optional>
#include <unordered_map>

class ByteGrid;
class ByteGridCellAccessible;

// The byte grid as assistive technology sees it: a table of the grid's rows and five columns whose row 0 holds
// the column headers and column 0 the row headers, the current cell as the focused cell, the range between the
// anchor and the current cell as the selection, and, while it shows, the in-place editor as the last child.
//
// Cells are no QObjects, so their interfaces are made on demand, registered with Qt's cache and kept, by child
// index, until their row leaves the grid or the grid goes: a screen reader holds on to the cells it was given,
// and only those it was given are ever made, never one per row of a block.
//
// The grid reports its changes through GridAccessibility, only while accessibilityListening(). Row count changes
// are announced once the toolkit is free again, as one change: a block load adds its rows one at a time.
class ByteGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface, public GridAccessibility {
public:
    explicit ByteGridAccessible(ByteGrid* grid);
    ~ByteGridAccessible() override;

    [[nodiscard]] ByteGrid* grid() const;
    // Cells are the children in reading order, row by row.
    [[nodiscard]] static std::int64_t childIndex(GridCell cell);

    // QAccessibleInterface
    [[nodiscard]] void* interface_cast(QAccessible::InterfaceType type) override;
    [[nodiscard]] int childCount() const override;
    [[nodiscard]] QAccessibleInterface* child(int index) const override;
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override;
    [[nodiscard]] QAccessibleInterface* childAt(int x, int y) const override;
    [[nodiscard]] QAccessibleInterface* focusChild() const override;

    // QAccessibleTableInterface; rows and columns are the grid's own, headers included.
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
    // The selection follows the user's keys and mouse only: moving the current cell for a screen reader would
    // commit the user's pending edit behind their back.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

    // GridAccessibility
    void cellMayHaveChanged(GridCell cell) override;
    void currentMoved(GridCell oldCurrent, GridCell oldAnchor) override;
    void rowCountChanged(std::int32_t oldCount) override;
    void focusEntered() override;

private:
    [[nodiscard]] GridRange selection() const;
    [[nodiscard]] bool inGrid(GridCell cell) const;
    [[nodiscard]] ByteGridCellAccessible* cellInterface(GridCell cell) const;
    [[nodiscard]] ByteGridCellAccessible* knownCell(GridCell cell) const;
    [[nodiscard]] QAccessibleInterface* editorInterface() const;
    void send(QAccessible::Event type, std::optional<GridCell> cell);
    void announceSelectedStates(GridRange before, GridRange after);
    void scheduleAnnouncements();
    void announcePending();
    void announceRowCount();
    void dropCellsFrom(std::int32_t row);

    mutable std::unordered_map<std::int64_t, QAccessible::Id> m_cells;
    // The row count before the changes not yet announced.
    std::optional<std::int32_t> m_rowCountHeard;
    bool m_focusPending = false;
    bool m_announcementScheduled = false;
};

#include "ui/grid/ByteGridAccessible.h"

#include "tests/ui/grid/GridRecorder.h"
#include "ui/Accessibility.h"
#include "ui/AccessibilityFactory.h"
#include "ui/grid/ByteGrid.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <array>
#include <memory>
#include <utility>

namespace {
// What a screen reader hears of one event: its kind, the cell it is about and that cell's text as read then.
QString heard(QAccessibleEvent& event)
{
    const auto cellPart = [&event] {
        const int index = event.child();
        QAccessibleInterface* cell = event.accessibleInterface();
        return QStringLiteral("%1,%2 \"%3\"")
            .arg(index % 5)
            .arg(index / 5)
            .arg(cell ? cell->text(QAccessible::Name) : QStringLiteral("<none>"));
    };
    switch (event.type()) {
    case QAccessible::Focus:
        return QStringLiteral("focus ") + cellPart();
    case QAccessible::NameChanged:
        return QStringLiteral("name ") + cellPart();
    case QAccessible::SelectionWithin:
        return QStringLiteral("selection");
    case QAccessible::SelectionAdd:
        return QStringLiteral("selected ") + cellPart();
    case QAccessible::SelectionRemove:
        return QStringLiteral("unselected ") + cellPart();
    case QAccessible::TableModelChanged: {
        const auto& change = static_cast<QAccessibleTableModelChangeEvent&>(event);
        const bool inserted = change.modelChangeType() == QAccessibleTableModelChangeEvent::RowsInserted;
        return QStringLiteral("rows %1 %2..%3 cols %4..%5")
            .arg(QLatin1String(inserted ? "inserted" : "removed"))
            .arg(change.firstRow())
            .arg(change.lastRow())
            .arg(change.firstColumn())
            .arg(change.lastColumn());
    }
    default:
        return QStringLiteral("event %1").arg(event.type());
    }
}

struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};
} // namespace

Q_DECLARE_METATYPE(QList<Key>)

// The grid inside a window after a check box, with row texts "r<row>c<col>", listened to through a recording
// sink (the offscreen platform has no screen reader bridge).
class tst_ByteGridAccessible : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void isATableOfTheGridsRowsAndFiveColumns();
    void cellsReadTheirTextAsShownWithTheirHeaders_data();
    void cellsReadTheirTextAsShownWithTheirHeaders();
    void cellInterfacesAreMadeOnDemandAndKeptUntilTheirRowLeaves();
    void theCurrentCellIsFocusedAndTheRangeIsSelected_data();
    void theCurrentCellIsFocusedAndTheRangeIsSelected();
    void aMoveIsAnnouncedAsSelectionThenFocus_data();
    void aMoveIsAnnouncedAsSelectionThenFocus();
    void aMoveWhileTheFocusIsElsewhereChangesOnlyTheSelection();
    void anEditIsAnnouncedOnTheCellItChanged();
    void onlyRealChangesOfHeardCellsAreAnnounced();
    void rowCountChangesAreAnnouncedAsOneOnceTheToolkitIsFree();
    void aBlockLoadMakesNoCellsAndAnnouncesNoTexts();
    void theEditorIsTheLastChildWhileItShows();
    void takingTheFocusAnnouncesTheCurrentCellAfterTheGrid();
    void cellsAndTheEditorAreFoundWhereTheyShow();
    void cellsAReaderHoldsHearTheirSelectionChange_data();
    void cellsAReaderHoldsHearTheirSelectionChange();
    void theHeadersAreFoundFromTheTable();
    void theEditorIsNamedAfterItsCell();

private:
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void typeOnGrid(const QString& text);
    [[nodiscard]] QAccessibleInterface* table() const { return QAccessible::queryAccessibleInterface(m_grid); }
    [[nodiscard]] QAccessibleInterface* cell(int col, int row) const
    {
        return table()->tableInterface()->cellAt(row, col);
    }
    [[nodiscard]] QStringList takeHeard() { return std::exchange(m_heard, {}); }

    std::unique_ptr<QWidget> m_window;
    QCheckBox* m_before = nullptr;
    ByteGrid* m_grid = nullptr;
    std::unique_ptr<GridRecorder> m_recorder;
    QStringList m_heard;
    QStringList m_cellSelection;
};

void tst_ByteGridAccessible::init()
{
    installAccessibility();
    m_window = std::make_unique<QWidget>();
    m_before = new QCheckBox(QStringLiteral("write"), m_window.get());
    m_before->setGeometry(0, 0, 100, 24);
    m_grid = new ByteGrid(m_window.get());
    m_grid->setGeometry(0, 30, 520, 380);
    m_window->resize(540, 420);
    m_recorder = std::make_unique<GridRecorder>(*m_grid);
    const std::array<const char*, 5> headers { "N\xE1\xE0\xE9\xF2\xE0", "Hex", "Dec", "Bin", "Ascii" };
    for (int col = 0; col < 5; ++col)
        m_grid->setCell(col, 0, headers[std::size_t(col)]);
    m_grid->setRowCount(4);
    for (int row = 1; row < 4; ++row)
        for (int col = 0; col < 5; ++col)
            m_grid->setCell(col, row, QStringLiteral("r%1c%2").arg(row).arg(col).toStdString());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QApplication::setActiveWindow(m_window.get());
    m_grid->setFocus();
    QVERIFY(m_grid->hasFocus());
    QCoreApplication::processEvents();
    m_heard.clear();
    m_cellSelection.clear();
    // Per-cell selection changes are kept apart: they come for cells a reader holds, which tests make at will.
    setAccessibilityEventSink([this](QAccessibleEvent& event) {
        if (event.type() == QAccessible::SelectionAdd || event.type() == QAccessible::SelectionRemove)
            m_cellSelection << heard(event);
        else
            m_heard << heard(event);
    });
}

void tst_ByteGridAccessible::cleanup()
{
    setAccessibilityEventSink({});
    m_recorder.reset();
    m_window.reset();
}

void tst_ByteGridAccessible::press(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

void tst_ByteGridAccessible::typeOnGrid(const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), static_cast<Qt::Key>(ch.toUpper().unicode()),
            QString(ch), Qt::NoModifier);
}

void tst_ByteGridAccessible::isATableOfTheGridsRowsAndFiveColumns()
{
    QAccessibleInterface* grid = table();
    QVERIFY(grid);
    QCOMPARE(grid->role(), QAccessible::Table);
    QAccessibleTableInterface* cells = grid->tableInterface();
    QVERIFY(cells);
    QCOMPARE(cells->rowCount(), 4);
    QCOMPARE(cells->columnCount(), 5);
    QCOMPARE(grid->childCount(), 20);
    QCOMPARE(cells->columnDescription(3), QStringLiteral("Bin"));
    QCOMPARE(cells->rowDescription(2), QStringLiteral("r2c0"));
    // Children in reading order, each knowing its place and its table.
    for (int i = 0; i < grid->childCount(); ++i) {
        QAccessibleInterface* child = grid->child(i);
        QVERIFY2(child && child->isValid(), qPrintable(QString::number(i)));
        QCOMPARE(grid->indexOfChild(child), i);
        QCOMPARE(child->parent(), grid);
        QCOMPARE(child->tableCellInterface()->rowIndex(), i / 5);
        QCOMPARE(child->tableCellInterface()->columnIndex(), i % 5);
        QCOMPARE(child->tableCellInterface()->table(), grid);
        QCOMPARE(cells->cellAt(i / 5, i % 5), child);
    }
    QVERIFY(!grid->child(20));
    QVERIFY(!grid->child(-1));
    QVERIFY(!cells->cellAt(4, 0));
    QVERIFY(!cells->cellAt(0, 5));
    QVERIFY(!cells->cellAt(-1, 1));
}

void tst_ByteGridAccessible::cellsReadTheirTextAsShownWithTheirHeaders_data()
{
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("columnHeader");
    QTest::addColumn<QStringList>("rowHeader");
    // A header heads its own column (row): bridges ask the cell of row 0 (column 0) for a column's (row's) header.
    QTest::newRow("the corner heads the offset column")
        << 0 << 0 << QByteArray() << int(QAccessible::ColumnHeader) << QStringLiteral("Nбайта")
        << QStringList { QStringLiteral("Nбайта") } << QStringList();
    QTest::newRow("a column header") << 2 << 0 << QByteArray() << int(QAccessible::ColumnHeader)
                                     << QStringLiteral("Dec") << QStringList { QStringLiteral("Dec") } << QStringList();
    QTest::newRow("an offset heads its row")
        << 0 << 3 << QByteArray() << int(QAccessible::RowHeader) << QStringLiteral("r3c0")
        << QStringList { QStringLiteral("Nбайта") } << QStringList { QStringLiteral("r3c0") };
    QTest::newRow("a value cell has both headers")
        << 3 << 2 << QByteArray() << int(QAccessible::Cell) << QStringLiteral("r2c3")
        << QStringList { QStringLiteral("Bin") } << QStringList { QStringLiteral("r2c0") };
    QTest::newRow("a Cyrillic byte reads as its letter")
        << 4 << 1 << QByteArray("\xDF") << int(QAccessible::Cell) << QStringLiteral("Я")
        << QStringList { QStringLiteral("Ascii") } << QStringList { QStringLiteral("r1c0") };
    QTest::newRow("the byte the code page leaves out keeps its place")
        << 4 << 2 << QByteArray("\x98") << int(QAccessible::Cell) << QString(QChar(0x98))
        << QStringList { QStringLiteral("Ascii") } << QStringList { QStringLiteral("r2c0") };
    QTest::newRow("an empty cell reads empty")
        << 1 << 3 << QByteArray("") << int(QAccessible::Cell) << QString() << QStringList { QStringLiteral("Hex") }
        << QStringList { QStringLiteral("r3c0") };
}

void tst_ByteGridAccessible::cellsReadTheirTextAsShownWithTheirHeaders()
{
    QFETCH(int, col);
    QFETCH(int, row);
    QFETCH(QByteArray, stored);
    QFETCH(int, role);
    QFETCH(QString, text);
    QFETCH(QStringList, columnHeader);
    QFETCH(QStringList, rowHeader);
    if (!stored.isNull())
        m_grid->setCell(col, row, stored.toStdString());
    QAccessibleInterface* subject = cell(col, row);
    QVERIFY(subject);
    QCOMPARE(int(subject->role()), role);
    QCOMPARE(subject->text(QAccessible::Name), text);
    const auto texts = [](const QList<QAccessibleInterface*>& cells) {
        QStringList result;
        for (QAccessibleInterface* c : cells)
            result << c->text(QAccessible::Name);
        return result;
    };
    QCOMPARE(texts(subject->tableCellInterface()->columnHeaderCells()), columnHeader);
    QCOMPARE(texts(subject->tableCellInterface()->rowHeaderCells()), rowHeader);
    // Only value cells take the focus and the selection.
    QCOMPARE(bool(subject->state().focusable), role == QAccessible::Cell);
    QCOMPARE(bool(subject->state().selectable), role == QAccessible::Cell);
}

void tst_ByteGridAccessible::cellInterfacesAreMadeOnDemandAndKeptUntilTheirRowLeaves()
{
    m_grid->setRowCount(8194);
    QCOMPARE(table()->childCount(), 8194 * 5);
    QAccessibleInterface* far = table()->child(8000 * 5 + 3);
    QVERIFY(far);
    const QAccessible::Id farId = QAccessible::uniqueId(far);
    QAccessibleInterface* near = cell(2, 1);
    QCOMPARE(table()->child(8000 * 5 + 3), far);
    QCOMPARE(far->tableCellInterface()->rowIndex(), 8000);
    QCOMPARE(far->tableCellInterface()->columnIndex(), 3);

    m_grid->setRowCount(2);
    QVERIFY2(!far->isValid(), "a cell whose row left is no longer valid at once");
    QCOMPARE(table()->childCount(), 10);
    QVERIFY(!table()->child(8000 * 5 + 3));
    QCoreApplication::processEvents();
    QVERIFY2(!QAccessible::accessibleInterface(farId), "the cell is deleted once the change is announced");
    QCOMPARE(cell(2, 1), near);
    m_grid->setRowCount(8194);
    QAccessibleInterface* again = table()->child(8000 * 5 + 3);
    QVERIFY(again && again->isValid());
    QCOMPARE(again->text(QAccessible::Name), QStringLiteral(""));
}

void tst_ByteGridAccessible::theCurrentCellIsFocusedAndTheRangeIsSelected_data()
{
    QTest::addColumn<QList<Key>>("keys");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QList<int>>("selectedRows");
    QTest::addColumn<QList<int>>("selectedColumns");
    QTest::newRow("at start the first value cell")
        << QList<Key> {} << QStringLiteral("r1c1") << QStringList { QStringLiteral("r1c1") } << QList<int> {}
        << QList<int> {};
    QTest::newRow("down") << QList<Key> { { Qt::Key_Down } } << QStringLiteral("r2c1")
                          << QStringList { QStringLiteral("r2c1") } << QList<int> {} << QList<int> {};
    QTest::newRow("shift extends from the anchor")
        << QList<Key> { { Qt::Key_Right }, { Qt::Key_Down, Qt::ShiftModifier }, { Qt::Key_Right, Qt::ShiftModifier } }
        << QStringLiteral("r2c3")
        << QStringList { QStringLiteral("r1c2"), QStringLiteral("r1c3"), QStringLiteral("r2c2"),
               QStringLiteral("r2c3") }
        << QList<int> {} << QList<int> {};
    QTest::newRow("shift+end spans a whole row")
        << QList<Key> { { Qt::Key_End, Qt::ShiftModifier } } << QStringLiteral("r1c4")
        << QStringList { QStringLiteral("r1c1"), QStringLiteral("r1c2"), QStringLiteral("r1c3"),
               QStringLiteral("r1c4") }
        << QList<int> { 1 } << QList<int> {};
    QTest::newRow("shift+down to the last row spans a whole column")
        << QList<Key> { { Qt::Key_Down, Qt::ShiftModifier }, { Qt::Key_Down, Qt::ShiftModifier } }
        << QStringLiteral("r3c1")
        << QStringList { QStringLiteral("r1c1"), QStringLiteral("r2c1"), QStringLiteral("r3c1") } << QList<int> {}
        << QList<int> { 1 };
    QTest::newRow("shift+ctrl+end spans everything")
        << QList<Key> { { Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier } } << QStringLiteral("r3c4")
        << QStringList { QStringLiteral("r1c1"), QStringLiteral("r1c2"), QStringLiteral("r1c3"), QStringLiteral("r1c4"),
               QStringLiteral("r2c1"), QStringLiteral("r2c2"), QStringLiteral("r2c3"), QStringLiteral("r2c4"),
               QStringLiteral("r3c1"), QStringLiteral("r3c2"), QStringLiteral("r3c3"), QStringLiteral("r3c4") }
        << QList<int> { 1, 2, 3 } << QList<int> { 1, 2, 3, 4 };
}

void tst_ByteGridAccessible::theCurrentCellIsFocusedAndTheRangeIsSelected()
{
    QFETCH(QList<Key>, keys);
    QFETCH(QString, focused);
    QFETCH(QStringList, selected);
    QFETCH(QList<int>, selectedRows);
    QFETCH(QList<int>, selectedColumns);
    for (const Key& key : keys)
        press(key.key, key.modifiers);
    QAccessibleInterface* focus = table()->focusChild();
    QVERIFY(focus);
    QCOMPARE(focus->text(QAccessible::Name), focused);
    QVERIFY(focus->state().focused);
    QAccessibleTableInterface* cells = table()->tableInterface();
    QStringList texts;
    for (QAccessibleInterface* c : cells->selectedCells()) {
        texts << c->text(QAccessible::Name);
        QVERIFY(c->state().selected && c->tableCellInterface()->isSelected());
    }
    QCOMPARE(texts, selected);
    QCOMPARE(cells->selectedCellCount(), selected.size());
    QCOMPARE(cells->selectedRows(), selectedRows);
    QCOMPARE(cells->selectedRowCount(), selectedRows.size());
    QCOMPARE(cells->selectedColumns(), selectedColumns);
    QCOMPARE(cells->selectedColumnCount(), selectedColumns.size());
    // Every other cell is neither focused nor selected.
    int focusedCells = 0;
    int selectedCells = 0;
    for (int i = 0; i < table()->childCount(); ++i) {
        focusedCells += table()->child(i)->state().focused ? 1 : 0;
        selectedCells += table()->child(i)->state().selected ? 1 : 0;
    }
    QCOMPARE(focusedCells, 1);
    QCOMPARE(selectedCells, selected.size());
    // The selection is the user's: a screen reader cannot move it behind the grid's notifications.
    QVERIFY(!cells->selectRow(2));
    QVERIFY(!cells->selectColumn(2));
    QCOMPARE(cells->selectedCellCount(), selected.size());
}

void tst_ByteGridAccessible::aMoveIsAnnouncedAsSelectionThenFocus_data()
{
    QTest::addColumn<QList<Key>>("keys");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("down") << QList<Key> { { Qt::Key_Down } } << false
                          << QStringList { QStringLiteral("selection"), QStringLiteral("focus 1,2 \"r2c1\"") };
    QTest::newRow("shift+right") << QList<Key> { { Qt::Key_Right, Qt::ShiftModifier } } << false
                                 << QStringList { QStringLiteral("selection"), QStringLiteral("focus 2,1 \"r1c2\"") };
    QTest::newRow("ctrl+end") << QList<Key> { { Qt::Key_End, Qt::ControlModifier } } << false
                              << QStringList { QStringLiteral("selection"), QStringLiteral("focus 4,3 \"r3c4\"") };
    QTest::newRow("up in the first row is no move") << QList<Key> { { Qt::Key_Up } } << false << QStringList {};
    QTest::newRow("ctrl+down only scrolls")
        << QList<Key> { { Qt::Key_Down, Qt::ControlModifier } } << false << QStringList {};
    QTest::newRow("a move the window refuses") << QList<Key> { { Qt::Key_Down } } << true << QStringList {};
}

void tst_ByteGridAccessible::aMoveIsAnnouncedAsSelectionThenFocus()
{
    QFETCH(QList<Key>, keys);
    QFETCH(bool, refused);
    QFETCH(QStringList, expected);
    m_recorder->refuse = refused;
    for (const Key& key : keys)
        press(key.key, key.modifiers);
    QCoreApplication::processEvents();
    QCOMPARE(takeHeard(), expected);
}

void tst_ByteGridAccessible::aMoveWhileTheFocusIsElsewhereChangesOnlyTheSelection()
{
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    m_before->setFocus();
    QCoreApplication::processEvents();
    m_heard.clear();
    // A reload to two rows moves the current cell to row 1 without taking the focus.
    m_grid->setRowCount(2);
    QCoreApplication::processEvents();
    QCOMPARE(takeHeard(), QStringList({ QStringLiteral("selection"), QStringLiteral("rows removed 2..3 cols 0..4") }));
    QVERIFY(!table()->focusChild());
    QVERIFY(!cell(1, 1)->state().focused);
}

void tst_ByteGridAccessible::anEditIsAnnouncedOnTheCellItChanged()
{
    m_grid->setEditing(true);
    press(Qt::Key_Down);
    QCOMPARE(takeHeard(), QStringList({ QStringLiteral("selection"), QStringLiteral("focus 1,2 \"r2c1\"") }));

    typeOnGrid(QStringLiteral("7Я"));
    QCOMPARE(takeHeard(), QStringList({ QStringLiteral("name 1,2 \"7\""), QStringLiteral("name 1,2 \"7Я\"") }));
    QCOMPARE(m_grid->cell(1, 2), std::string("7\xDF"));

    // Enter closes the editor; the grid, focused again, says where it is.
    press(Qt::Key_Return);
    QCOMPARE(takeHeard(), QStringList());
    QCoreApplication::processEvents();
    QCOMPARE(takeHeard(), QStringList({ QStringLiteral("focus 1,2 \"7Я\"") }));

    // Down in the open editor: the move comes after the hand-back, which changes nothing more.
    press(Qt::Key_Return);
    typeOnGrid(QStringLiteral("8"));
    press(Qt::Key_Down);
    QCoreApplication::processEvents();
    QCOMPARE(takeHeard(),
        QStringList(
            { QStringLiteral("name 1,2 \"8\""), QStringLiteral("selection"), QStringLiteral("focus 1,3 \"r3c1\"") }));
}

void tst_ByteGridAccessible::onlyRealChangesOfHeardCellsAreAnnounced()
{
    QAccessibleInterface* heardCell = cell(2, 2);
    QCOMPARE(heardCell->text(QAccessible::Name), QStringLiteral("r2c2"));
    m_grid->setCell(2, 2, "r2c2");
    m_grid->setCell(3, 2, "never heard");
    m_grid->setCell(2, 2, "\xC0\xC1");
    m_grid->setCell(2, 2, "\xC0\xC1");
    m_grid->setCell(9, 2, "beyond the columns");
    m_grid->setCell(2, 50, "beyond the rows");
    // Focus changes redraw the current cell, which says nothing new.
    m_before->setFocus();
    m_grid->setFocus();
    QCOMPARE(takeHeard(), QStringList({ QStringLiteral("name 2,2 \"АБ\"") }));
}

void tst_ByteGridAccessible::rowCountChangesAreAnnouncedAsOneOnceTheToolkitIsFree()
{
    m_grid->setRowCount(5);
    m_grid->setRowCount(6);
    m_grid->setRowCount(7);
    QCOMPARE(takeHeard(), QStringList());
    QCoreApplication::processEvents();
    QCOMPARE(takeHeard(), QStringList({ QStringLiteral("rows inserted 4..6 cols 0..4") }));

    // A move into the new rows announces them first.
    m_grid->setRowCount(10);
    press(Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(takeHeard(),
        QStringList({ QStringLiteral("rows inserted 7..9 cols 0..4"), QStringLiteral("selection"),
            QStringLiteral("focus 4,9 \"\"") }));

    // Growing back to where it started is no change at all.
    m_grid->setRowCount(12);
    m_grid->setRowCount(10);
    QCoreApplication::processEvents();
    QCOMPARE(takeHeard(), QStringList());
}

void tst_ByteGridAccessible::aBlockLoadMakesNoCellsAndAnnouncesNoTexts()
{
    // As the window loads a block: two rows, then a row more at a time with its five texts, letting events run after
    // every 256 rows.
    QAccessibleInterface* heardCell = cell(1, 1);
    QVERIFY(heardCell);
    int known = m_grid->rowCount();
    QStringList expectedRows;
    QStringList heardRows;
    QStringList heardTexts;
    const auto letEventsRun = [&] {
        QCoreApplication::processEvents();
        // Each pass announces the rows added since the pass before as one range, or nothing when none were added.
        const int count = m_grid->rowCount();
        if (count != known)
            expectedRows << QStringLiteral("rows inserted %1..%2 cols 0..4").arg(known).arg(count - 1);
        known = count;
        for (const QString& line : takeHeard())
            (line.startsWith(QLatin1String("rows ")) ? heardRows : heardTexts) << line;
    };
    m_grid->setRowCount(2);
    for (int row = 1; row <= 8193; ++row) {
        if (m_grid->rowCount() < row + 1)
            m_grid->setRowCount(row + 1);
        for (int col = 0; col < 5; ++col)
            m_grid->setCell(col, row, "x");
        if (row % 256 == 0)
            letEventsRun();
    }
    letEventsRun();
    QCOMPARE(known, 8194);
    QCOMPARE(heardRows, expectedRows);
    // Only the cell a reader was given speaks.
    QCOMPARE(heardTexts, QStringList { QStringLiteral("name 1,1 \"x\"") });
    QCOMPARE(heardCell->text(QAccessible::Name), QStringLiteral("x"));
}

void tst_ByteGridAccessible::theEditorIsTheLastChildWhileItShows()
{
    m_grid->setEditing(true);
    QCOMPARE(table()->childCount(), 20);
    press(Qt::Key_F2);
    QLineEdit* editor = m_grid->inplaceEditor();
    QVERIFY(editor->isVisible() && editor->hasFocus());
    QCOMPARE(table()->childCount(), 21);
    QAccessibleInterface* edit = table()->child(20);
    QVERIFY(edit);
    QCOMPARE(edit->object(), editor);
    QCOMPARE(edit->role(), QAccessible::EditableText);
    QVERIFY(edit->editableTextInterface());
    QCOMPARE(edit->text(QAccessible::Value), QStringLiteral("r1c1"));
    QCOMPARE(table()->indexOfChild(edit), 20);
    QCOMPARE(table()->focusChild(), edit);
    QVERIFY2(!cell(1, 1)->state().focused, "the editor has the focus, not the cell under it");
    // Upwards the editor leads to the table through the viewport it lives on.
    QAccessibleInterface* above = edit->parent();
    while (above && above != table())
        above = above->parent();
    QCOMPARE(above, table());

    press(Qt::Key_Return);
    QCOMPARE(table()->childCount(), 20);
    QVERIFY(!table()->child(20));
    QCOMPARE(table()->indexOfChild(edit), -1);
    QCOMPARE(table()->focusChild(), cell(1, 1));
}

void tst_ByteGridAccessible::takingTheFocusAnnouncesTheCurrentCellAfterTheGrid()
{
    press(Qt::Key_Right);
    m_before->setFocus();
    QCoreApplication::processEvents();
    QVERIFY(!table()->focusChild());
    m_heard.clear();
    QTest::keyClick(m_before, Qt::Key_Tab);
    QVERIFY(m_grid->hasFocus());
    QCOMPARE(takeHeard(), QStringList());
    QCoreApplication::processEvents();
    QCOMPARE(takeHeard(), QStringList({ QStringLiteral("focus 2,1 \"r1c2\"") }));
}

void tst_ByteGridAccessible::cellsAndTheEditorAreFoundWhereTheyShow()
{
    const QRect shown = m_grid->gridLayout().cellRect({ 3, 2 });
    const QRect global(m_grid->viewport()->mapToGlobal(shown.topLeft()), shown.size());
    QCOMPARE(cell(3, 2)->rect(), global);
    QCOMPARE(table()->childAt(global.center().x(), global.center().y()), cell(3, 2));
    const QPoint header = m_grid->viewport()->mapToGlobal(m_grid->gridLayout().cellRect({ 0, 0 }).center());
    QCOMPARE(table()->childAt(header.x(), header.y()), cell(0, 0));
    const QPoint beyond = m_grid->viewport()->mapToGlobal(QPoint(5, m_grid->viewport()->height() - 2));
    QVERIFY2(!table()->childAt(beyond.x(), beyond.y()), "below the last row");

    m_grid->setEditing(true);
    press(Qt::Key_F2);
    const QPoint onEditor = m_grid->viewport()->mapToGlobal(m_grid->inplaceEditor()->geometry().center());
    QCOMPARE(table()->childAt(onEditor.x(), onEditor.y()), table()->child(20));

    // A cell scrolled out of view has no place on screen.
    m_grid->setRowCount(200);
    QVERIFY(cell(1, 190)->rect().isNull());
    QVERIFY(cell(1, 190)->state().offscreen);
}

void tst_ByteGridAccessible::cellsAReaderHoldsHearTheirSelectionChange_data()
{
    QTest::addColumn<QList<Key>>("keys");
    QTest::addColumn<QStringList>("expected");
    // The reader holds r1c1, r1c2, r2c1 and r2c2; r3c3 and the others it never got.
    QTest::newRow("shift+down adds the cell below") << QList<Key> { { Qt::Key_Down, Qt::ShiftModifier } }
                                                    << QStringList { QStringLiteral("selected 1,2 \"r2c1\"") };
    QTest::newRow("shift+right, shift+down add three")
        << QList<Key> { { Qt::Key_Right, Qt::ShiftModifier }, { Qt::Key_Down, Qt::ShiftModifier } }
        << QStringList { QStringLiteral("selected 2,1 \"r1c2\""), QStringLiteral("selected 1,2 \"r2c1\""),
               QStringLiteral("selected 2,2 \"r2c2\"") };
    QTest::newRow("a plain move drops the range")
        << QList<Key> { { Qt::Key_Right, Qt::ShiftModifier }, { Qt::Key_Down, Qt::ShiftModifier }, { Qt::Key_Up } }
        << QStringList { QStringLiteral("selected 2,1 \"r1c2\""), QStringLiteral("selected 1,2 \"r2c1\""),
               QStringLiteral("selected 2,2 \"r2c2\""), QStringLiteral("unselected 1,1 \"r1c1\""),
               QStringLiteral("unselected 1,2 \"r2c1\""), QStringLiteral("unselected 2,2 \"r2c2\"") };
    QTest::newRow("far cells cost nothing")
        << QList<Key> { { Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier } }
        << QStringList { QStringLiteral("selected 2,1 \"r1c2\""), QStringLiteral("selected 1,2 \"r2c1\""),
               QStringLiteral("selected 2,2 \"r2c2\"") };
}

void tst_ByteGridAccessible::cellsAReaderHoldsHearTheirSelectionChange()
{
    QFETCH(QList<Key>, keys);
    QFETCH(QStringList, expected);
    const std::array<std::pair<int, int>, 4> held { { { 1, 1 }, { 2, 1 }, { 1, 2 }, { 2, 2 } } };
    for (const auto& [col, row] : held)
        QVERIFY(cell(col, row));
    for (const Key& key : keys)
        press(key.key, key.modifiers);
    QCOMPARE(std::exchange(m_cellSelection, {}), expected);
    // Each one's state agrees with what it was told.
    for (const auto& [col, row] : held) {
        QAccessibleInterface* subject = cell(col, row);
        QCOMPARE(bool(subject->state().selected), subject->tableCellInterface()->isSelected());
    }
}

void tst_ByteGridAccessible::theHeadersAreFoundFromTheTable()
{
    // As a bridge asks for the header of column c and of row r.
    const auto columnHeader = [this](int col) {
        return cell(col, 0)->tableCellInterface()->columnHeaderCells().value(0)->text(QAccessible::Name);
    };
    const auto rowHeader = [this](int row) {
        return cell(0, row)->tableCellInterface()->rowHeaderCells().value(0)->text(QAccessible::Name);
    };
    QCOMPARE(columnHeader(0), QStringLiteral("Nбайта"));
    QCOMPARE(columnHeader(4), QStringLiteral("Ascii"));
    QCOMPARE(rowHeader(1), QStringLiteral("r1c0"));
    QCOMPARE(rowHeader(3), QStringLiteral("r3c0"));
    QVERIFY2(cell(0, 0)->tableCellInterface()->rowHeaderCells().isEmpty(), "the header row has no row header");
}

void tst_ByteGridAccessible::theEditorIsNamedAfterItsCell()
{
    m_grid->setEditing(true);
    press(Qt::Key_Right);
    press(Qt::Key_Down);
    press(Qt::Key_F2);
    QAccessibleInterface* edit = table()->focusChild();
    QVERIFY(edit && edit->object() == m_grid->inplaceEditor());
    QCOMPARE(edit->text(QAccessible::Name), QStringLiteral("Dec, r2c0"));
    // Moved on, it takes the next cell's name.
    press(Qt::Key_Down);
    press(Qt::Key_F2);
    QCOMPARE(table()->focusChild()->text(QAccessible::Name), QStringLiteral("Dec, r3c0"));
}

QTEST_MAIN(tst_ByteGridAccessible)
#include "tst_ByteGridAccessible.moc"

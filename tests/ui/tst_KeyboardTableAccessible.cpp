#include "ui/table/KeyboardTableAccessible.h"

#include "ui/AccessibilityFactory.h"

#include <QAccessible>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {
// A small table with what a tool window's table has: headers of both kinds (the row headers hidden), a cell with
// no flags, a cell named for assistive technology apart from its text, a span, a selected current cell.
void fill(QTableWidget* table)
{
    table->setRowCount(3);
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels({ "Type", "LE", "BE" });
    table->setVerticalHeaderLabels({ "int8", "int16", "text" });
    table->verticalHeader()->hide();
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            table->setItem(row, col, new QTableWidgetItem(QStringLiteral("%1.%2").arg(row).arg(col)));
    table->item(0, 2)->setFlags(Qt::NoItemFlags);
    table->item(1, 2)->setData(Qt::AccessibleTextRole, QStringLiteral("minus one"));
    table->setSpan(2, 1, 1, 2);
    table->setCurrentCell(1, 1);
}

QString describe(QAccessibleInterface* child, const QPoint& origin)
{
    if (!child)
        return QStringLiteral("none");
    QAccessible::State state = child->state();
    const QRect rect = child->rect().isNull() ? QRect() : child->rect().translated(-origin);
    state.focused = false;
    QString text = QStringLiteral("%1 '%2' '%3' state %4 at %5,%6 %7x%8")
                       .arg(child->role())
                       .arg(child->text(QAccessible::Name), child->text(QAccessible::Description))
                       .arg(quint64(state.selected) | quint64(state.focusable) << 1 | quint64(state.selectable) << 2
                           | quint64(state.invisible) << 3 | quint64(state.disabled) << 4 | quint64(state.checked) << 5)
                       .arg(rect.x())
                       .arg(rect.y())
                       .arg(rect.width())
                       .arg(rect.height());
    // (Qt's cell makes its header cells anew each time it is asked, and never frees them: not asked here.)
    if (QAccessibleTableCellInterface* cell = child->tableCellInterface())
        text += QStringLiteral(" cell %1,%2").arg(cell->rowIndex()).arg(cell->columnIndex());
    if (QAccessibleActionInterface* actions = child->actionInterface())
        text += QStringLiteral(" actions ") + actions->actionNames().join(QLatin1Char(','));
    return text;
}
} // namespace

class tst_KeyboardTableAccessible : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void readsAsQtsOwnTableButForTheFocus();
    void theCurrentCellIsFocusedOnlyWhileTheTableHasTheKeyboard_data();
    void theCurrentCellIsFocusedOnlyWhileTheTableHasTheKeyboard();
    void aCellSpeaksOnlyForItsPlaceAndGoesWithTheTable();

private:
    [[nodiscard]] QAccessibleInterface* ours() const { return QAccessible::queryAccessibleInterface(m_ours); }
    [[nodiscard]] QAccessibleInterface* qts() const { return QAccessible::queryAccessibleInterface(m_qts); }

    std::unique_ptr<QWidget> m_window;
    QTableWidget* m_ours = nullptr;
    QTableWidget* m_qts = nullptr;
    QLineEdit* m_other = nullptr;
};

void tst_KeyboardTableAccessible::init()
{
    installAccessibility();
    m_window = std::make_unique<QWidget>();
    auto* layout = new QHBoxLayout(m_window.get());
    m_ours = new QTableWidget;
    // As Qt does while a screen reader listens: the view's construction already asked for its interface.
    QVERIFY(QAccessible::queryAccessibleInterface(m_ours));
    KeyboardTableAccessible::wantFor(m_ours);
    m_qts = new QTableWidget;
    m_other = new QLineEdit;
    for (QTableWidget* table : { m_ours, m_qts }) {
        fill(table);
        table->setAccessibleName(QStringLiteral("Values"));
        table->setAccessibleDescription(QStringLiteral("as numbers"));
        layout->addWidget(table);
    }
    layout->addWidget(m_other);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(dynamic_cast<KeyboardTableAccessible*>(ours()));
    QVERIFY(!dynamic_cast<KeyboardTableAccessible*>(qts()));
}

void tst_KeyboardTableAccessible::cleanup()
{
    m_window.reset();
}

void tst_KeyboardTableAccessible::readsAsQtsOwnTableButForTheFocus()
{
    m_other->setFocus();
    QVERIFY(m_other->hasFocus());
    QAccessibleInterface* mine = ours();
    QAccessibleInterface* theirs = qts();
    QCOMPARE(describe(mine, m_ours->mapToGlobal(QPoint(0, 0))), describe(theirs, m_qts->mapToGlobal(QPoint(0, 0))));
    QCOMPARE(mine->childCount(), theirs->childCount());
    QCOMPARE(mine->tableInterface()->rowCount(), theirs->tableInterface()->rowCount());
    QCOMPARE(mine->tableInterface()->columnCount(), theirs->tableInterface()->columnCount());
    QCOMPARE(mine->tableInterface()->selectedCellCount(), theirs->tableInterface()->selectedCellCount());
    QCOMPARE(mine->tableInterface()->rowDescription(2), theirs->tableInterface()->rowDescription(2));
    QCOMPARE(mine->tableInterface()->columnDescription(1), theirs->tableInterface()->columnDescription(1));
    const QPoint myOrigin = m_ours->mapToGlobal(QPoint(0, 0));
    const QPoint theirOrigin = m_qts->mapToGlobal(QPoint(0, 0));
    for (int i = 0; i < mine->childCount(); ++i) {
        QAccessibleInterface* child = mine->child(i);
        QCOMPARE(describe(child, myOrigin), describe(theirs->child(i), theirOrigin));
        QCOMPARE(mine->indexOfChild(child), i);
        QCOMPARE(child->parent(), mine);
        QCOMPARE(mine->child(i), child);
        if (child->role() != QAccessible::Cell)
            continue;
        // Where Qt's cell says it is focused with the keyboard elsewhere, this one does not.
        QCOMPARE(child->state().focused, false);
        // Its headers are the table's own children, named as Qt's table names its rows and columns.
        QAccessibleTableCellInterface* cell = child->tableCellInterface();
        const QList<QAccessibleInterface*> headers = cell->columnHeaderCells() + cell->rowHeaderCells();
        QCOMPARE(headers.size(), 2);
        QCOMPARE(headers[0]->text(QAccessible::Name), theirs->tableInterface()->columnDescription(cell->columnIndex()));
        QCOMPARE(headers[1]->text(QAccessible::Name), theirs->tableInterface()->rowDescription(cell->rowIndex()));
        QCOMPARE(mine->child(mine->indexOfChild(headers[1])), headers[1]);
    }
    const QPoint inCell = m_ours->viewport()->mapToGlobal(m_ours->visualRect(m_ours->model()->index(1, 1)).center());
    QCOMPARE(mine->childAt(inCell.x(), inCell.y()), mine->tableInterface()->cellAt(1, 1));
    QVERIFY(theirs->tableInterface()->cellAt(1, 1)->state().focused);
    // The table itself reads as Qt's does with the keyboard in it.
    QApplication::setActiveWindow(m_window.get());
    m_qts->setFocus();
    const bool theirFocus = theirs->state().focused;
    m_ours->setFocus();
    QCOMPARE(mine->state().focused, theirFocus);
}

void tst_KeyboardTableAccessible::theCurrentCellIsFocusedOnlyWhileTheTableHasTheKeyboard_data()
{
    QTest::addColumn<int>("keyboard");
    QTest::addColumn<bool>("focused");
    QTest::newRow("in the table") << 0 << true;
    QTest::newRow("in another control") << 1 << false;
    QTest::newRow("in the cell's editor") << 2 << false;
}

void tst_KeyboardTableAccessible::theCurrentCellIsFocusedOnlyWhileTheTableHasTheKeyboard()
{
    QFETCH(int, keyboard);
    QFETCH(bool, focused);
    QApplication::setActiveWindow(m_window.get());
    m_ours->setFocus();
    if (keyboard == 1)
        m_other->setFocus();
    if (keyboard == 2)
        m_ours->editItem(m_ours->item(1, 1));
    QCoreApplication::processEvents();
    QCOMPARE(m_ours->hasFocus(), keyboard == 0);
    QAccessibleInterface* current = ours()->tableInterface()->cellAt(1, 1);
    QCOMPARE(current->state().focused, focused);
    QCOMPARE(ours()->focusChild(), focused ? current : nullptr);
    // Only the current cell.
    QVERIFY(!ours()->tableInterface()->cellAt(1, 0)->state().focused);
}

void tst_KeyboardTableAccessible::aCellSpeaksOnlyForItsPlaceAndGoesWithTheTable()
{
    QAccessibleInterface* cell = ours()->tableInterface()->cellAt(1, 1);
    const QAccessible::Id before = QAccessible::uniqueId(cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("1.1"));
    // Only the program puts a value in a cell, though the cell is editable: one set from outside was never entered.
    cell->setText(QAccessible::Name, QStringLiteral("99"));
    QCOMPARE(m_ours->item(1, 1)->text(), QStringLiteral("1.1"));
    // A row comes in above it, whether or not a listener heard it: row 1 is now what was row 0.
    m_ours->insertRow(0);
    QAccessibleInterface* again = ours()->tableInterface()->cellAt(1, 1);
    QCOMPARE(again->text(QAccessible::Name), QStringLiteral("0.1"));
    QCOMPARE(again->tableCellInterface()->rowIndex(), 1);
    QCOMPARE(ours()->indexOfChild(again), 2 * 4 + 2);
    const QList<QAccessible::Id> held = { QAccessible::uniqueId(again),
        QAccessible::uniqueId(ours()->tableInterface()->cellAt(0, 0)), QAccessible::uniqueId(ours()->child(1)) };
    QVERIFY(QAccessible::accessibleInterface(before) != again);
    // The table goes, and every child it made with it: none is left to speak for a view that is no more.
    delete m_ours;
    for (QAccessible::Id id : held)
        QCOMPARE(QAccessible::accessibleInterface(id), nullptr);
}

QTEST_MAIN(tst_KeyboardTableAccessible)
#include "tst_KeyboardTableAccessible.moc"

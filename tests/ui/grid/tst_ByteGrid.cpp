#include "ui/grid/ByteGrid.h"

#include "support/Cp1251.h"
#include "tests/ui/grid/GridRecorder.h"
#include "tests/ui/grid/TaggedSource.h"
#include "ui/CancelMode.h"
#include "ui/EventGuard.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QTest>

#include <memory>

// The grid inside a window, between a check box (before it in the Tab order) and a line edit (after it).
class tst_ByteGrid : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void cellTextsAreIndependentOfTheRowCount();
    void columnIndexesBeyondTheColumnsAreRefused();
    void typingOnTheGridOpensTheEditorWithTheTypedText_data();
    void typingOnTheGridOpensTheEditorWithTheTypedText();
    void escapeKeepsTheTypedTextAndInsertDoesNothing();
    void enterClosesTheEditorWithoutASelectAndASecondEnterReopensIt();
    void f2OpensTheEditorWithTheCaretAtTheEnd();
    void downInTheEditorSelectsTheCellBelowBeforeHandingTheEditorBack();
    void editsByUndoAndPasteAreReported();
    void keysMoveTheCurrentCellAsTheKeyTableSays_data();
    void keysMoveTheCurrentCellAsTheKeyTableSays();
    void aThrowingSelectHandlerLeavesAKeyMoveUndone_data();
    void aThrowingSelectHandlerLeavesAKeyMoveUndone();
    void aSelectHandlerWritingTheCurrentCellIsWhatTheHandBackCarries();
    void writingTheCurrentCellReloadsAnOpenEditorSilently();
    void shrinkingTheRowCountMovesTheCurrentCellWithTheNewCountInForce();
    void settingTheRowCountCollapsesARange_data();
    void settingTheRowCountCollapsesARange();
    void aThrowingHandlerDuringARowCountChangePutsTheCountBack();
    void growingTheRowCountOneRowAtATimeMovesNothing();
    void leftPressesFollowTheMouseTable_data();
    void leftPressesFollowTheMouseTable();
    void aThrowingSelectHandlerOnAPressKeepsEditorModeForTheRelease();
    void draggingWithEditingOffSelectsARangeAndScrollsBeyondTheView();
    void theWheelMovesOneRowPer120Units();
    void theThumbMovesTheViewOnlyWhenReleased();
    void scrollBarButtonsAndPagesScrollWithoutMovingTheCurrentCell_data();
    void scrollBarButtonsAndPagesScrollWithoutMovingTheCurrentCell();
    void anOpenEditorFollowsItsCellAndHidesOutOfView();
    void typingWhileTheCurrentCellIsOutOfViewBringsItBack();
    void sizingAColumnAppliesTwoPixelsOrMore_data();
    void sizingAColumnAppliesTwoPixelsOrMore();
    void rowsAreSizedInTheHeaderColumnButColumnZeroIsNot();
    void tabLeavesTheGridAndEndsEditorMode_data();
    void tabLeavesTheGridAndEndsEditorMode();
    void clickingAnotherControlHandsTheEditorBackWithoutASelect();
    void thePopupMenuOpensWithoutMovingTheCurrentCell_data();
    void thePopupMenuOpensWithoutMovingTheCurrentCell();
    void withEditingOffNothingOpensTheEditor();
    void switchingEditingOffUnderAnOpenEditorHandsItBack();
    void aReloadToTwoRowsClosesAnEditorBelowRowOne();
    void afterAnErrorBoxTheEditorShowsAgainWhenTheGridHasTheFocus();
    void anEditorClosedWhileAnotherWindowIsActiveLeavesTheFocusToTheGrid_data();
    void anEditorClosedWhileAnotherWindowIsActiveLeavesTheFocusToTheGrid();
    void caretKeysInTheEditorNeverMoveTheCurrentCell_data();
    void caretKeysInTheEditorNeverMoveTheCurrentCell();
    void aQuickSecondPressOnTheNewEditorSelectsAWord();
    void cancelModeEndsARangeDragAndASizingDrag();
    void sizingPlacesShowSplitCursors();
    void aCellWriteRedrawsOnlyThatCell();
    void gridLinesKeepTheirColourAtEveryScale_data();
    void gridLinesKeepTheirColourAtEveryScale();
    void aThrowingEditHandlerStillClosesTheEditor_data();
    void aThrowingEditHandlerStillClosesTheEditor();
    void theEditorTakesTextsOfAnyLength();
    void aRowCountBelowOneLeavesOneScrollableRow();
    void growingInChunksEndsAsGrowingRowByRow_data();
    void growingInChunksEndsAsGrowingRowByRow();
    void cellsWrittenOutOfViewShowOnceScrolledIn();
    void sourceTextsShowUnderTextsSetOnCells();
    void aReloadKeepsTheScrollBarShown();

private:
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void typeOnGrid(const QString& text);
    void setViewportSize(QSize size);
    [[nodiscard]] QPoint centreOf(int col, int row) const;
    [[nodiscard]] bool editorOpen() const;
    [[nodiscard]] QList<int> autoScrollTimers() const;
    void verifyScreenShowsAFreshPaint();

    std::unique_ptr<QWidget> m_window;
    QCheckBox* m_before = nullptr;
    ByteGrid* m_grid = nullptr;
    QLineEdit* m_after = nullptr;
    std::unique_ptr<GridRecorder> m_recorder;
    QStringList m_errors;
};

void tst_ByteGrid::init()
{
    m_window = std::make_unique<QWidget>();
    m_before = new QCheckBox(QStringLiteral("write"), m_window.get());
    m_before->setGeometry(0, 0, 100, 24);
    m_grid = new ByteGrid(m_window.get());
    m_grid->setGeometry(0, 30, 520, 380);
    m_after = new QLineEdit(m_window.get());
    m_after->setGeometry(0, 420, 100, 24);
    m_window->resize(540, 450);
    m_recorder = std::make_unique<GridRecorder>(*m_grid);
    m_errors.clear();
    setEventErrorHandler([this](const Exception& error) { m_errors.append(QString::fromStdString(error.message())); });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_grid->setFocus();
    QVERIFY(m_grid->hasFocus());
}

void tst_ByteGrid::cleanup()
{
    setEventErrorHandler({});
    m_recorder.reset();
    m_window.reset();
}

void tst_ByteGrid::press(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
}

void tst_ByteGrid::typeOnGrid(const QString& text)
{
    for (const QChar ch : text) {
        // QTest spells out only ASCII keys; other letters go as their key code with their text.
        const auto key = static_cast<Qt::Key>(ch.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Press, QApplication::focusWidget(), key, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, QApplication::focusWidget(), key, QString(ch), Qt::NoModifier);
    }
}

// What the viewport holds on screen, after every redraw the grid asked for, equals what painting all of it anew
// draws: a write or a scroll that forgot to redraw something leaves stale pixels behind.
void tst_ByteGrid::verifyScreenShowsAFreshPaint()
{
    QCoreApplication::processEvents();
    QWidget* viewport = m_grid->viewport();
    const QPoint at = viewport->mapTo(m_window.get(), QPoint(0, 0));
    const QImage onScreen = m_window->screen()
                                ->grabWindow(m_window->winId(), at.x(), at.y(), viewport->width(), viewport->height())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
    const QImage fresh = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(onScreen.size(), fresh.size());
    QVERIFY(onScreen == fresh);
}

void tst_ByteGrid::setViewportSize(QSize size)
{
    for (int attempt = 0; attempt < 4 && m_grid->viewport()->size() != size; ++attempt) {
        m_grid->resize(m_grid->size() + size - m_grid->viewport()->size());
        QCoreApplication::processEvents();
    }
    QCOMPARE(m_grid->viewport()->size(), size);
}

QPoint tst_ByteGrid::centreOf(int col, int row) const
{
    return m_grid->gridLayout().cellRect({ col, row }).center();
}

bool tst_ByteGrid::editorOpen() const
{
    return m_grid->inplaceEditor()->isVisible();
}

// The timers the event loop runs for the grid at the range drag's scrolling interval: one while a drag scrolls.
QList<int> tst_ByteGrid::autoScrollTimers() const
{
    QList<int> ids;
    for (const QAbstractEventDispatcher::TimerInfo& timer :
        QAbstractEventDispatcher::instance()->registeredTimers(m_grid))
        if (timer.interval == ByteGrid::AutoScrollInterval)
            ids.append(timer.timerId);
    return ids;
}

void tst_ByteGrid::cellTextsAreIndependentOfTheRowCount()
{
    QVERIFY(m_grid->cell(3, 1000000).empty());
    QVERIFY(m_grid->cell(-7, -7).empty());
    m_grid->setCell(1, 5, "x");
    m_grid->setCell(9, -3, "far");
    m_grid->setRowCount(6);
    m_grid->setRowCount(2);
    QCOMPARE(m_grid->cell(1, 5), std::string("x"));
    QCOMPARE(m_grid->cell(9, -3), std::string("far"));
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::columnIndexesBeyondTheColumnsAreRefused()
{
    QCOMPARE(m_grid->colWidth(0), 96);
    m_grid->setColWidth(0, 120);
    QCOMPARE(m_grid->colWidth(0), 120);
    for (int col : { -1, 5 }) {
        try {
            (void)m_grid->colWidth(col);
            QFAIL("no exception");
        } catch (const Exception& error) {
            QCOMPARE(error.message(), std::string("Grid index out of range"));
        }
    }
}

void tst_ByteGrid::typingOnTheGridOpensTheEditorWithTheTypedText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("backspace");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("a digit replaces the text") << QStringLiteral("7") << false << QByteArray("7");
    QTest::newRow("backspace empties the cell") << QString() << true << QByteArray("");
    QTest::newRow("a Cyrillic letter is stored as its code page byte")
        << QStringLiteral("Я") << false << QByteArray("\xDF");
}

void tst_ByteGrid::typingOnTheGridOpensTheEditorWithTheTypedText()
{
    QFETCH(QString, typed);
    QFETCH(bool, backspace);
    QFETCH(QByteArray, stored);
    m_grid->setCell(1, 1, "41");
    m_grid->setEditing(true);
    if (backspace)
        press(Qt::Key_Backspace);
    else
        typeOnGrid(typed);
    QVERIFY(editorOpen());
    QCOMPARE(m_grid->cell(1, 1), stored.toStdString());
    QCOMPARE(m_recorder->log.size(), 1);
    QVERIFY(m_recorder->log.first().startsWith(QStringLiteral("edit 1,1 ")));
    QCOMPARE(m_grid->inplaceEditor()->text(), typed);
}

void tst_ByteGrid::escapeKeepsTheTypedTextAndInsertDoesNothing()
{
    m_grid->setCell(1, 1, "41");
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("7"));
    press(Qt::Key_Escape);
    press(Qt::Key_Insert);
    QVERIFY(editorOpen());
    QCOMPARE(m_grid->inplaceEditor()->text(), QStringLiteral("7"));
    QCOMPARE(m_grid->cell(1, 1), std::string("7"));
    QCOMPARE(m_recorder->take(), QStringList { typedNote(1, 1, "7", 1, 1) });
}

void tst_ByteGrid::enterClosesTheEditorWithoutASelectAndASecondEnterReopensIt()
{
    m_grid->setCell(1, 1, "41");
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("7"));
    press(Qt::Key_Return);
    QVERIFY(!editorOpen());
    QVERIFY(m_grid->hasFocus());
    QCOMPARE(m_recorder->take(), (QStringList { typedNote(1, 1, "7", 1, 1), handBackNote(1, 1, "7", 1, 1) }));
    press(Qt::Key_Return);
    QVERIFY(editorOpen());
    QVERIFY(m_grid->inplaceEditor()->hasFocus());
    QCOMPARE(m_grid->inplaceEditor()->selectedText(), QStringLiteral("7"));
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::f2OpensTheEditorWithTheCaretAtTheEnd()
{
    m_grid->setCell(2, 1, "\xC0\xC1");
    m_grid->setEditing(true);
    press(Qt::Key_Right);
    m_recorder->take();
    press(Qt::Key_F2);
    QVERIFY(editorOpen());
    QLineEdit* editor = m_grid->inplaceEditor();
    QCOMPARE(editor->text(), QStringLiteral("АБ"));
    QVERIFY(!editor->hasSelectedText());
    QCOMPARE(editor->cursorPosition(), 2);
    editor->selectAll();
    press(Qt::Key_F2);
    QVERIFY(!editor->hasSelectedText());
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::downInTheEditorSelectsTheCellBelowBeforeHandingTheEditorBack()
{
    m_grid->setRowCount(3);
    m_grid->setCell(1, 1, "41");
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("7"));
    QString seen;
    m_recorder->onSelect = [&](int, int) {
        seen = QStringLiteral("editor %1, cell %2")
                   .arg(editorOpen() ? "open" : "closed", QString::fromStdString(std::string(m_grid->cell(1, 1))));
    };
    press(Qt::Key_Down);
    QCOMPARE(m_recorder->take(),
        (QStringList { typedNote(1, 1, "7", 1, 1), selectNote(1, 2, 3, 1, 1), handBackNote(1, 1, "7", 1, 2) }));
    QCOMPARE(seen, QStringLiteral("editor open, cell 7"));
    QVERIFY(!editorOpen());
    QVERIFY(!m_grid->editorMode());
    QVERIFY(m_grid->hasFocus());
}

void tst_ByteGrid::editsByUndoAndPasteAreReported()
{
    m_grid->setCell(1, 1, "41");
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("5"));
    press(Qt::Key_Z, Qt::ControlModifier);
    QGuiApplication::clipboard()->setText(QStringLiteral("ab"));
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_recorder->take(),
        (QStringList { typedNote(1, 1, "5", 1, 1), typedNote(1, 1, "41", 1, 1), typedNote(1, 1, "ab", 1, 1) }));
    QCOMPARE(m_grid->cell(1, 1), std::string("ab"));
}

void tst_ByteGrid::keysMoveTheCurrentCellAsTheKeyTableSays_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QPoint>("current");
    QTest::addColumn<int>("top");
    QTest::addColumn<QPoint>("anchor");
    const int none = Qt::NoModifier;
    const int ctrl = Qt::ControlModifier;
    const int shift = Qt::ShiftModifier;
    // 15 rows show whole, 100 rows: the largest top row is 85.
    QTest::newRow("up in row 1") << QPoint(1, 1) << int(Qt::Key_Up) << none << QPoint(1, 1) << 1 << QPoint(1, 1);
    QTest::newRow("left in column 1") << QPoint(1, 1) << int(Qt::Key_Left) << none << QPoint(1, 1) << 1 << QPoint(1, 1);
    QTest::newRow("right in column 4") << QPoint(4, 1) << int(Qt::Key_Right) << none << QPoint(4, 1) << 1
                                       << QPoint(4, 1);
    QTest::newRow("down in the last row")
        << QPoint(2, 99) << int(Qt::Key_Down) << none << QPoint(2, 99) << 85 << QPoint(2, 99);
    QTest::newRow("down") << QPoint(2, 3) << int(Qt::Key_Down) << none << QPoint(2, 4) << 1 << QPoint(2, 4);
    QTest::newRow("down past the view scrolls by one")
        << QPoint(2, 15) << int(Qt::Key_Down) << none << QPoint(2, 16) << 2 << QPoint(2, 16);
    QTest::newRow("right") << QPoint(2, 3) << int(Qt::Key_Right) << none << QPoint(3, 3) << 1 << QPoint(3, 3);
    QTest::newRow("page down from the top")
        << QPoint(1, 1) << int(Qt::Key_PageDown) << none << QPoint(1, 15) << 15 << QPoint(1, 15);
    QTest::newRow("page up clamps") << QPoint(1, 5) << int(Qt::Key_PageUp) << none << QPoint(1, 1) << 1 << QPoint(1, 1);
    QTest::newRow("home") << QPoint(3, 4) << int(Qt::Key_Home) << none << QPoint(1, 4) << 1 << QPoint(1, 4);
    QTest::newRow("end") << QPoint(2, 4) << int(Qt::Key_End) << none << QPoint(4, 4) << 1 << QPoint(4, 4);
    QTest::newRow("ctrl home") << QPoint(3, 4) << int(Qt::Key_Home) << ctrl << QPoint(1, 1) << 1 << QPoint(1, 1);
    QTest::newRow("ctrl end") << QPoint(2, 4) << int(Qt::Key_End) << ctrl << QPoint(4, 99) << 85 << QPoint(4, 99);
    QTest::newRow("ctrl page down") << QPoint(2, 4) << int(Qt::Key_PageDown) << ctrl << QPoint(2, 15) << 1
                                    << QPoint(2, 15);
    QTest::newRow("ctrl page up") << QPoint(2, 4) << int(Qt::Key_PageUp) << ctrl << QPoint(2, 1) << 1 << QPoint(2, 1);
    QTest::newRow("ctrl down scrolls only")
        << QPoint(2, 1) << int(Qt::Key_Down) << ctrl << QPoint(2, 1) << 2 << QPoint(2, 1);
    QTest::newRow("ctrl up at the top") << QPoint(2, 3) << int(Qt::Key_Up) << ctrl << QPoint(2, 3) << 1 << QPoint(2, 3);
    QTest::newRow("ctrl right pages columns")
        << QPoint(1, 3) << int(Qt::Key_Right) << ctrl << QPoint(4, 3) << 1 << QPoint(4, 3);
    QTest::newRow("shift down keeps the anchor")
        << QPoint(2, 3) << int(Qt::Key_Down) << shift << QPoint(2, 4) << 1 << QPoint(2, 3);
    QTest::newRow("shift ctrl end spans to the end")
        << QPoint(2, 3) << int(Qt::Key_End) << (shift | ctrl) << QPoint(4, 99) << 85 << QPoint(2, 3);
}

void tst_ByteGrid::keysMoveTheCurrentCellAsTheKeyTableSays()
{
    QFETCH(QPoint, start);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QPoint, current);
    QFETCH(int, top);
    QFETCH(QPoint, anchor);
    setViewportSize(QSize(500, 340));
    m_grid->setRowCount(100);
    const GridLayout& layout = m_grid->gridLayout();
    QCOMPARE(layout.lastFullRow() - layout.topRow() + 1, 15);
    QCOMPARE(layout.pageCols(), 3);
    while (m_grid->currentRow() < start.y())
        press(Qt::Key_Down);
    while (m_grid->currentCol() < start.x())
        press(Qt::Key_Right);
    if (m_grid->currentRow() < 15)
        press(Qt::Key_Up, Qt::ControlModifier), press(Qt::Key_Up, Qt::ControlModifier);
    const int topBefore = m_grid->topRow();
    m_recorder->take();

    press(key, Qt::KeyboardModifiers(modifiers));
    const QPoint now(m_grid->currentCol(), m_grid->currentRow());
    QCOMPARE(now, current);
    QCOMPARE(QPoint(m_grid->anchor().col, m_grid->anchor().row), anchor);
    if (key != Qt::Key_Down || start.y() != 99)
        QCOMPARE(m_grid->topRow(), top);
    else
        QCOMPARE(m_grid->topRow(), topBefore);
    const QStringList expected = now == start
        ? QStringList {}
        : QStringList { selectNote(current.x(), current.y(), 100, start.x(), start.y()) };
    QCOMPARE(m_recorder->take(), expected);
}

void tst_ByteGrid::aThrowingSelectHandlerLeavesAKeyMoveUndone_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("topAfter");
    QTest::newRow("down") << int(Qt::Key_Down) << 1;
    QTest::newRow("page down keeps its view change") << int(Qt::Key_PageDown) << 15;
}

void tst_ByteGrid::aThrowingSelectHandlerLeavesAKeyMoveUndone()
{
    QFETCH(int, key);
    QFETCH(int, topAfter);
    setViewportSize(QSize(500, 340));
    m_grid->setRowCount(100);
    m_grid->setCell(1, 1, "41");
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("123"));
    QLineEdit* editor = m_grid->inplaceEditor();
    editor->setCursorPosition(1);
    m_recorder->take();
    m_recorder->onSelect = [](int, int) { throw EConvertError("'$xyz' is not a valid integer value"); };

    press(key);
    QCOMPARE(m_errors, QStringList { "'$xyz' is not a valid integer value" });
    QCOMPARE(m_recorder->take(), QStringList { selectNote(1, 1 + (key == Qt::Key_Down ? 1 : 14), 100, 1, 1) });
    QCOMPARE(m_grid->currentRow(), 1);
    QCOMPARE(m_grid->anchor(), (GridCell { 1, 1 }));
    QCOMPARE(m_grid->topRow(), topAfter);
    QVERIFY(m_grid->editorMode());
    QCOMPARE(editor->text(), QStringLiteral("123"));
    QCOMPARE(editor->cursorPosition(), 1);
    QCOMPARE(m_grid->inplaceEditor()->isVisible(), topAfter == 1);
    if (topAfter != 1)
        return;
    // The next edit still goes to the bound cell, at the caret.
    QVERIFY(editor->hasFocus());
    typeOnGrid(QStringLiteral("4"));
    QCOMPARE(m_grid->cell(1, 1), std::string("1423"));
}

void tst_ByteGrid::aSelectHandlerWritingTheCurrentCellIsWhatTheHandBackCarries()
{
    m_grid->setRowCount(3);
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("ff"));
    m_recorder->take();
    QString shownInside;
    m_recorder->onSelect = [&](int, int) {
        m_grid->setCell(1, 1, "FF");
        shownInside = m_grid->inplaceEditor()->text();
    };
    press(Qt::Key_Down);
    QCOMPARE(shownInside, QStringLiteral("FF"));
    QCOMPARE(m_recorder->take(), (QStringList { selectNote(1, 2, 3, 1, 1), handBackNote(1, 1, "FF", 1, 2) }));
}

void tst_ByteGrid::writingTheCurrentCellReloadsAnOpenEditorSilently()
{
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("12"));
    m_recorder->take();
    m_grid->setCell(1, 1, "99");
    QLineEdit* editor = m_grid->inplaceEditor();
    QVERIFY(editorOpen());
    QCOMPARE(editor->text(), QStringLiteral("99"));
    QCOMPARE(editor->selectedText(), QStringLiteral("99"));
    QVERIFY(m_recorder->take().isEmpty());
    press(Qt::Key_Return);
    QCOMPARE(m_recorder->take(), QStringList { handBackNote(1, 1, "99", 1, 1) });
}

void tst_ByteGrid::shrinkingTheRowCountMovesTheCurrentCellWithTheNewCountInForce()
{
    m_grid->setRowCount(8194);
    for (int row = 1; row < 8194; ++row)
        m_grid->setCell(2, row, std::to_string(row));
    press(Qt::Key_Right);
    for (int i = 0; i < 499; ++i)
        press(Qt::Key_Down);
    QCOMPARE(m_grid->currentRow(), 500);
    QVERIFY(m_grid->topRow() > 1);
    m_recorder->take();

    m_grid->setRowCount(2);
    QCOMPARE(m_recorder->take(), QStringList { selectNote(2, 1, 2, 2, 500) });
    QCOMPARE(m_grid->currentRow(), 1);
    QCOMPARE(m_grid->topRow(), 1);
    for (int row = 2; row <= 8193; ++row)
        QCOMPARE(m_grid->cell(2, row), std::to_string(row));
}

void tst_ByteGrid::settingTheRowCountCollapsesARange_data()
{
    QTest::addColumn<bool>("editing");
    QTest::addColumn<bool>("range");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no range") << false << false << 2 << QStringList {};
    QTest::newRow("the same count") << true << true << 3 << QStringList {};
    QTest::newRow("a range, editing off") << false << true << 2 << QStringList {};
    QTest::newRow("a range, editing on") << true << true << 2 << QStringList { selectNote(2, 1, 2, 2, 1) };
}

void tst_ByteGrid::settingTheRowCountCollapsesARange()
{
    QFETCH(bool, editing);
    QFETCH(bool, range);
    QFETCH(int, count);
    QFETCH(QStringList, expected);
    m_grid->setRowCount(3);
    m_grid->setEditing(editing);
    if (range) {
        press(Qt::Key_Down);
        press(Qt::Key_Up, Qt::ShiftModifier);
    }
    press(Qt::Key_Right, range ? Qt::ShiftModifier : Qt::NoModifier);
    m_recorder->take();
    m_grid->setRowCount(count);
    QCOMPARE(m_recorder->take(), expected);
    if (count == 2)
        QCOMPARE(m_grid->anchor(), (GridCell { 2, 1 }));
}

void tst_ByteGrid::aThrowingHandlerDuringARowCountChangePutsTheCountBack()
{
    m_grid->setRowCount(10);
    for (int i = 0; i < 5; ++i)
        press(Qt::Key_Down);
    m_recorder->onSelect = [](int, int) { throw Exception("no"); };
    try {
        m_grid->setRowCount(2);
        QFAIL("no exception");
    } catch (const Exception& error) {
        QCOMPARE(error.message(), std::string("no"));
    }
    QCOMPARE(m_grid->rowCount(), 10);
    QCOMPARE(m_grid->currentRow(), 6);
    m_recorder->onSelect = {};
    m_recorder->refuse = true;
    m_grid->setRowCount(3);
    QCOMPARE(m_grid->rowCount(), 10);
    QCOMPARE(m_grid->currentRow(), 6);
}

void tst_ByteGrid::growingTheRowCountOneRowAtATimeMovesNothing()
{
    m_grid->setCell(1, 1, "keep");
    m_grid->setCell(1, 5, "old");
    press(Qt::Key_Right);
    m_recorder->take();
    for (int count = 3; count <= 300; ++count)
        m_grid->setRowCount(count);
    QVERIFY(m_recorder->take().isEmpty());
    QCOMPARE(m_grid->currentRow(), 1);
    QCOMPARE(m_grid->topRow(), 1);
    QCOMPARE(m_grid->cell(1, 5), std::string("old"));
    QCoreApplication::processEvents();
    QVERIFY(m_grid->verticalScrollBar()->isVisible());
}

void tst_ByteGrid::leftPressesFollowTheMouseTable_data()
{
    QTest::addColumn<bool>("editing");
    QTest::addColumn<bool>("editorFirst");
    QTest::addColumn<QPoint>("cell");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QPoint>("current");
    QTest::addColumn<bool>("editorAfter");
    QTest::newRow("editing off, the current cell")
        << false << false << QPoint(1, 1) << 0 << QStringList { selectNote(1, 1, 3, 1, 1) } << QPoint(1, 1) << false;
    QTest::newRow("editing off, shift moves only the anchor")
        << false << false << QPoint(3, 2) << int(Qt::ShiftModifier) << QStringList {} << QPoint(1, 1) << false;
    QTest::newRow("editing on, another cell")
        << true << false << QPoint(2, 2) << 0 << QStringList { selectNote(2, 2, 3, 1, 1) } << QPoint(2, 2) << false;
    QTest::newRow("editing on, the current cell opens the editor")
        << true << false << QPoint(1, 1) << 0 << QStringList {} << QPoint(1, 1) << true;
    QTest::newRow("an open editor is handed back first")
        << true << true << QPoint(2, 2) << 0 << QStringList { handBackNote(1, 1, "7", 1, 1), selectNote(2, 2, 3, 1, 1) }
        << QPoint(2, 2) << false;
    QTest::newRow("a fixed cell only hands the editor back")
        << true << true << QPoint(0, 2) << 0 << QStringList { handBackNote(1, 1, "7", 1, 1) } << QPoint(1, 1) << true;
}

void tst_ByteGrid::leftPressesFollowTheMouseTable()
{
    QFETCH(bool, editing);
    QFETCH(bool, editorFirst);
    QFETCH(QPoint, cell);
    QFETCH(int, modifiers);
    QFETCH(QStringList, expected);
    QFETCH(QPoint, current);
    QFETCH(bool, editorAfter);
    m_grid->setRowCount(3);
    m_grid->setCell(1, 1, "41");
    m_grid->setEditing(editing);
    if (editorFirst) {
        typeOnGrid(QStringLiteral("7"));
        m_recorder->take();
    }
    const QPoint pos = centreOf(cell.x(), cell.y());
    QTest::mousePress(m_grid->viewport(), Qt::LeftButton, Qt::KeyboardModifiers(modifiers), pos);
    QTest::mouseRelease(m_grid->viewport(), Qt::LeftButton, Qt::KeyboardModifiers(modifiers), pos);
    QCOMPARE(m_recorder->take(), expected);
    QCOMPARE(QPoint(m_grid->currentCol(), m_grid->currentRow()), current);
    QCOMPARE(editorOpen(), editorAfter);
    if (editorAfter)
        QCOMPARE(m_grid->inplaceEditor()->selectedText(), m_grid->inplaceEditor()->text());
    if (modifiers & Qt::ShiftModifier)
        QCOMPARE(m_grid->anchor(), (GridCell { 3, 2 }));
}

void tst_ByteGrid::aThrowingSelectHandlerOnAPressKeepsEditorModeForTheRelease()
{
    m_grid->setRowCount(3);
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("xyz"));
    m_recorder->take();
    m_recorder->onSelect = [](int, int) { throw EConvertError("bad"); };
    QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, centreOf(1, 2));
    QCOMPARE(m_recorder->take(), (QStringList { handBackNote(1, 1, "xyz", 1, 1), selectNote(1, 2, 3, 1, 1) }));
    QCOMPARE(m_errors, QStringList { "bad" });
    QVERIFY(!editorOpen());
    QVERIFY(m_grid->editorMode());
    QTest::mouseRelease(m_grid->viewport(), Qt::LeftButton, {}, centreOf(1, 2));
    QVERIFY(editorOpen());
    QCOMPARE(m_grid->currentRow(), 1);
    QCOMPARE(m_grid->inplaceEditor()->selectedText(), QStringLiteral("xyz"));
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::draggingWithEditingOffSelectsARangeAndScrollsBeyondTheView()
{
    setViewportSize(QSize(500, 340));
    m_grid->setRowCount(100);
    QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, centreOf(1, 2));
    QTest::mouseMove(m_grid->viewport(), centreOf(3, 5));
    QCOMPARE(m_grid->anchor(), (GridCell { 3, 5 }));
    QVERIFY(autoScrollTimers().isEmpty());
    QTest::mouseMove(m_grid->viewport(), QPoint(centreOf(3, 5).x(), 339));
    const QList<int> timers = autoScrollTimers();
    QCOMPARE(timers.size(), 1);
    for (int tick = 0; tick < 20; ++tick) {
        QTimerEvent event(timers.first());
        QCoreApplication::sendEvent(m_grid, &event);
    }
    // The pointer rests on the cut-off row 16; the anchor goes there, then one row further per tick.
    QCOMPARE(m_grid->anchor(), (GridCell { 3, 36 }));
    QCOMPARE(m_grid->topRow(), 22);
    QCOMPARE(m_grid->currentRow(), 2);
    QTest::mouseRelease(m_grid->viewport(), Qt::LeftButton, {}, QPoint(centreOf(3, 30).x(), 339));
    QVERIFY(autoScrollTimers().isEmpty());
    QCOMPARE(m_recorder->take(), QStringList { selectNote(1, 2, 100, 1, 1) });
}

void tst_ByteGrid::theWheelMovesOneRowPer120Units()
{
    m_grid->setRowCount(4);
    const QPoint pos = centreOf(1, 1);
    const auto wheel = [&](int delta) {
        QWheelEvent event(pos, m_grid->viewport()->mapToGlobal(pos), {}, QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(m_grid->viewport(), &event);
    };
    wheel(120);
    wheel(-60);
    wheel(-60);
    wheel(-360);
    wheel(-120);
    wheel(240);
    QCOMPARE(m_recorder->take(),
        (QStringList { selectNote(1, 2, 4, 1, 1), selectNote(1, 3, 4, 1, 2), selectNote(1, 2, 4, 1, 3),
            selectNote(1, 1, 4, 1, 2) }));
    // With the focus in the grid the wheel acts on it wherever the pointer is; with the focus elsewhere, never.
    QWheelEvent elsewhere(QPointF(5, 5), m_after->mapToGlobal(QPoint(5, 5)), {}, QPoint(0, -120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(m_after, &elsewhere);
    QCOMPARE(m_grid->currentRow(), 2);
    m_after->setFocus();
    wheel(-120);
    QCOMPARE(m_grid->currentRow(), 2);
}

void tst_ByteGrid::theThumbMovesTheViewOnlyWhenReleased()
{
    setViewportSize(QSize(470, 320));
    m_grid->setRowCount(8193);
    QCOMPARE(m_grid->maxTopRow(), 8179);
    QScrollBar* bar = m_grid->verticalScrollBar();
    QCOMPARE(bar->maximum(), 127);
    bar->setSliderDown(true);
    bar->setSliderPosition(64);
    QCOMPARE(m_grid->topRow(), 1);
    bar->setSliderDown(false);
    QCOMPARE(m_grid->topRow(), 4122);
    QCOMPARE(bar->value(), 64);
    QCOMPARE(m_grid->currentRow(), 1);
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::scrollBarButtonsAndPagesScrollWithoutMovingTheCurrentCell_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("thumb");
    // 14 rows show whole, so a page is 13 rows; the thumb is 127 * (top - 1) / 85, rounded.
    QTest::newRow("arrow down") << int(QAbstractSlider::SliderSingleStepAdd) << 11 << 15;
    QTest::newRow("arrow up") << int(QAbstractSlider::SliderSingleStepSub) << 9 << 12;
    QTest::newRow("page down") << int(QAbstractSlider::SliderPageStepAdd) << 23 << 33;
    QTest::newRow("page up clamps") << int(QAbstractSlider::SliderPageStepSub) << 1 << 0;
    QTest::newRow("bottom") << int(QAbstractSlider::SliderToMaximum) << 86 << 127;
    QTest::newRow("top") << int(QAbstractSlider::SliderToMinimum) << 1 << 0;
    // The bar's menu sets the value itself; the view follows as from a released drag (1 + 42 * 85 / 127).
    QTest::newRow("scroll here") << -42 << 29 << 42;
}

void tst_ByteGrid::scrollBarButtonsAndPagesScrollWithoutMovingTheCurrentCell()
{
    QFETCH(int, action);
    QFETCH(int, top);
    QFETCH(int, thumb);
    setViewportSize(QSize(470, 320));
    m_grid->setRowCount(100);
    QCOMPARE(m_grid->maxTopRow(), 86);
    for (int i = 0; i < 9; ++i)
        press(Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(m_grid->topRow(), 10);
    m_recorder->take();
    if (action < 0)
        m_grid->verticalScrollBar()->setValue(-action);
    else
        m_grid->verticalScrollBar()->triggerAction(static_cast<QAbstractSlider::SliderAction>(action));
    QCOMPARE(m_grid->topRow(), top);
    QCOMPARE(m_grid->verticalScrollBar()->value(), thumb);
    QCOMPARE(m_grid->currentRow(), 1);
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::anOpenEditorFollowsItsCellAndHidesOutOfView()
{
    setViewportSize(QSize(470, 320));
    m_grid->setRowCount(100);
    m_grid->setEditing(true);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    typeOnGrid(QStringLiteral("5"));
    m_recorder->take();
    QLineEdit* editor = m_grid->inplaceEditor();
    QCOMPARE(editor->geometry(), m_grid->gridLayout().cellRect({ 1, 3 }));
    QTest::mousePress(m_grid->verticalScrollBar(), Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(m_grid->hasFocus());
    m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(editor->geometry(), m_grid->gridLayout().cellRect({ 1, 3 }));
    QVERIFY(editorOpen());
    m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QVERIFY(!editorOpen());
    m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    QVERIFY(editorOpen());
    QCOMPARE(editor->text(), QStringLiteral("5"));
    typeOnGrid(QStringLiteral("6"));
    QCOMPARE(m_grid->cell(1, 3), std::string("56"));
    QCOMPARE(m_recorder->take(), QStringList { typedNote(1, 3, "56", 1, 3) });
}

void tst_ByteGrid::typingWhileTheCurrentCellIsOutOfViewBringsItBack()
{
    setViewportSize(QSize(470, 320));
    m_grid->setRowCount(100);
    m_grid->setEditing(true);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    typeOnGrid(QStringLiteral("5"));
    m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    QVERIFY(!editorOpen());
    m_grid->setFocus();
    typeOnGrid(QStringLiteral("6"));
    QVERIFY(m_grid->topRow() <= 3);
    QVERIFY(editorOpen());
    QCOMPARE(m_grid->cell(1, 3), std::string("56"));

    // With the editor closed, too: the key opens it on the cell brought into view.
    press(Qt::Key_Return);
    m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    m_recorder->take();
    typeOnGrid(QStringLiteral("7"));
    QVERIFY(m_grid->topRow() <= 3);
    QVERIFY(editorOpen());
    QCOMPARE(m_recorder->take(), QStringList { typedNote(1, 3, "7", 1, 3) });
}

void tst_ByteGrid::sizingAColumnAppliesTwoPixelsOrMore_data()
{
    QTest::addColumn<int>("endAfterLeftEdge");
    QTest::addColumn<int>("width");
    QTest::newRow("one pixel is not applied") << 1 << 96;
    QTest::newRow("two pixels are") << 2 << 2;
    QTest::newRow("wider") << 150 << 150;
}

void tst_ByteGrid::sizingAColumnAppliesTwoPixelsOrMore()
{
    QFETCH(int, endAfterLeftEdge);
    QFETCH(int, width);
    const GridLayout& layout = m_grid->gridLayout();
    const QRect cell = layout.cellRect({ 2, 0 });
    const QPoint grab(cell.right() + 3, 10);
    const auto sizing = layout.sizingAt(grab);
    QVERIFY(sizing.has_value());
    QCOMPARE(sizing->index, 2);
    const int offset = sizing->linePos - grab.x();
    QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, grab);
    QTest::mouseMove(m_grid->viewport(), QPoint(cell.left() + endAfterLeftEdge - offset, 10));
    QTest::mouseRelease(m_grid->viewport(), Qt::LeftButton, {}, QPoint(cell.left() + endAfterLeftEdge - offset, 10));
    QCOMPARE(m_grid->colWidth(2), width);
    QCOMPARE(m_grid->currentCol(), 1);
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::rowsAreSizedInTheHeaderColumnButColumnZeroIsNot()
{
    const GridLayout& layout = m_grid->gridLayout();
    QVERIFY(!layout.sizingAt(QPoint(layout.colWidth(0), 10)).has_value());
    QVERIFY(!layout.sizingAt(QPoint(10, layout.rowHeight(0))).has_value());
    const QRect row1 = layout.cellRect({ 0, 1 });
    const QPoint grab(10, row1.bottom() + 1);
    QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, grab);
    QTest::mouseMove(m_grid->viewport(), grab + QPoint(0, 15));
    QTest::mouseRelease(m_grid->viewport(), Qt::LeftButton, {}, grab + QPoint(0, 15));
    QCOMPARE(m_grid->rowHeight(1), 35);
    QCOMPARE(m_grid->colWidth(0), 96);
}

void tst_ByteGrid::tabLeavesTheGridAndEndsEditorMode_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("forward");
    QTest::newRow("tab") << int(Qt::Key_Tab) << true;
    QTest::newRow("shift tab") << int(Qt::Key_Backtab) << false;
}

void tst_ByteGrid::tabLeavesTheGridAndEndsEditorMode()
{
    QFETCH(int, key);
    QFETCH(bool, forward);
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("8"));
    m_recorder->take();
    press(key);
    QCOMPARE(QApplication::focusWidget(), forward ? static_cast<QWidget*>(m_after) : m_before);
    QCOMPARE(m_recorder->take(), QStringList { handBackNote(1, 1, "8", 1, 1) });
    QVERIFY(!m_grid->editorMode());
    QVERIFY(!editorOpen());
    m_grid->setFocus(Qt::TabFocusReason);
    QVERIFY(!editorOpen());
    press(key);
    QCOMPARE(QApplication::focusWidget(), forward ? static_cast<QWidget*>(m_after) : m_before);
}

void tst_ByteGrid::clickingAnotherControlHandsTheEditorBackWithoutASelect()
{
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("9"));
    m_recorder->take();
    m_before->setFocus(Qt::MouseFocusReason);
    QCOMPARE(m_recorder->take(), QStringList { handBackNote(1, 1, "9", 1, 1) });
    QVERIFY(!editorOpen());
    QCOMPARE(m_grid->currentRow(), 1);
}

void tst_ByteGrid::thePopupMenuOpensWithoutMovingTheCurrentCell_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("right click") << QStringLiteral("mouse");
    QTest::newRow("menu key") << QStringLiteral("menu");
    QTest::newRow("shift f10") << QStringLiteral("f10");
}

void tst_ByteGrid::thePopupMenuOpensWithoutMovingTheCurrentCell()
{
    QFETCH(QString, how);
    QMenu menu;
    menu.addAction(QStringLiteral("item"));
    m_grid->setPopupMenu(&menu);
    m_grid->setRowCount(3);
    const QPoint pos = centreOf(2, 2);
    if (how == QStringLiteral("mouse"))
        QTest::mouseClick(m_grid->viewport(), Qt::RightButton, {}, pos);
    else if (how == QStringLiteral("menu"))
        press(Qt::Key_Menu);
    else
        press(Qt::Key_F10, Qt::ShiftModifier);
    QVERIFY(menu.isVisible());
    const QPoint expected
        = how == QStringLiteral("mouse") ? m_grid->viewport()->mapToGlobal(pos) : m_grid->mapToGlobal(QPoint(0, 0));
    QCOMPARE(menu.pos(), expected);
    QCOMPARE(menu.activeAction(), how == QStringLiteral("mouse") ? nullptr : menu.actions().constFirst());
    menu.hide();
    QCOMPARE(QPoint(m_grid->currentCol(), m_grid->currentRow()), QPoint(1, 1));
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::withEditingOffNothingOpensTheEditor()
{
    m_grid->setCell(1, 1, "41");
    for (int key : { int(Qt::Key_F2), int(Qt::Key_Return), int(Qt::Key_Backspace), int(Qt::Key_A) })
        press(key);
    QVERIFY(!editorOpen());
    QCOMPARE(m_grid->cell(1, 1), std::string("41"));
    m_grid->setEditing(true);
    QVERIFY(!editorOpen());
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::switchingEditingOffUnderAnOpenEditorHandsItBack()
{
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("12"));
    m_recorder->take();
    m_grid->setEditing(false);
    QCOMPARE(m_recorder->take(), QStringList { handBackNote(1, 1, "12", 1, 1) });
    QVERIFY(!editorOpen());
    QVERIFY(m_grid->hasFocus());
    QCOMPARE(m_grid->cell(1, 1), std::string("12"));
}

void tst_ByteGrid::aReloadToTwoRowsClosesAnEditorBelowRowOne()
{
    m_grid->setRowCount(5);
    m_grid->setEditing(true);
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    typeOnGrid(QStringLiteral("ab"));
    m_recorder->take();
    m_grid->setRowCount(2);
    QCOMPARE(m_recorder->take(), (QStringList { selectNote(1, 1, 2, 1, 3), handBackNote(1, 3, "ab", 1, 1) }));
    QVERIFY(!editorOpen());
    QVERIFY(!m_grid->editorMode());
    m_grid->setRowCount(3);
    m_grid->setCell(1, 1, "new");
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::anEditorClosedWhileAnotherWindowIsActiveLeavesTheFocusToTheGrid_data()
{
    // A dialog is active while the grid closes its editor: a reload after the go-to prompt or the open dialog,
    // or a move that goes on after the select-cell handler showed a notice.
    QTest::addColumn<bool>("duringSelect");
    QTest::newRow("reload to two rows after a dialog") << false;
    QTest::newRow("down after a notice from the handler") << true;
}

void tst_ByteGrid::anEditorClosedWhileAnotherWindowIsActiveLeavesTheFocusToTheGrid()
{
    QFETCH(bool, duringSelect);
    m_grid->setRowCount(5);
    m_grid->setEditing(true);
    QApplication::setActiveWindow(m_window.get());
    press(Qt::Key_Down);
    press(Qt::Key_F2);
    QVERIFY(m_grid->inplaceEditor()->hasFocus());
    // A modal dialog makes the window inactive; the window keeps its focus widget meanwhile.
    if (duringSelect) {
        m_recorder->onSelect = [](int, int) { QApplication::setActiveWindow(nullptr); };
        press(Qt::Key_Down);
    } else {
        QApplication::setActiveWindow(nullptr);
        m_grid->setRowCount(2);
    }
    QVERIFY(!editorOpen());
    // The dialog closes and the window is active again: the focus is where the user left it, on the grid.
    QApplication::setActiveWindow(m_window.get());
    QCOMPARE(QApplication::focusWidget(), m_grid);
    press(Qt::Key_Space);
    QVERIFY(!m_before->isChecked());
    QVERIFY(editorOpen());
}

void tst_ByteGrid::afterAnErrorBoxTheEditorShowsAgainWhenTheGridHasTheFocus()
{
    m_grid->setRowCount(3);
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("q"));
    m_recorder->onSelect = [](int, int) { throw Exception("boom"); };
    // The error handling ends a held press before its box takes the focus, as the program's does.
    setEventErrorHandler([this](const Exception& error) {
        m_errors.append(QString::fromStdString(error.message()));
        cancelMouseCapture();
        m_after->setFocus(Qt::ActiveWindowFocusReason);
    });
    QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, centreOf(2, 2));
    QCOMPARE(m_errors, QStringList { "boom" });
    QVERIFY(!editorOpen());
    QVERIFY(m_grid->editorMode());
    m_grid->setFocus(Qt::ActiveWindowFocusReason);
    QVERIFY(editorOpen());
    QVERIFY(m_grid->inplaceEditor()->hasFocus());
    QCOMPARE(m_grid->inplaceEditor()->selectedText(), QStringLiteral("q"));
    QCOMPARE(QPoint(m_grid->currentCol(), m_grid->currentRow()), QPoint(1, 1));
}

void tst_ByteGrid::caretKeysInTheEditorNeverMoveTheCurrentCell_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("caret");
    QTest::newRow("left") << int(Qt::Key_Left) << 0 << 0;
    QTest::newRow("right at the end") << int(Qt::Key_Right) << 0 << 3;
    QTest::newRow("home") << int(Qt::Key_Home) << 0 << 0;
    QTest::newRow("ctrl end") << int(Qt::Key_End) << int(Qt::ControlModifier) << 3;
    QTest::newRow("ctrl left") << int(Qt::Key_Left) << int(Qt::ControlModifier) << 0;
}

void tst_ByteGrid::caretKeysInTheEditorNeverMoveTheCurrentCell()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, caret);
    m_grid->setCell(2, 2, "abc");
    m_grid->setRowCount(4);
    m_grid->setEditing(true);
    press(Qt::Key_Down);
    press(Qt::Key_Right);
    press(Qt::Key_F2);
    m_grid->inplaceEditor()->setCursorPosition(1);
    m_recorder->take();
    for (int i = 0; i < 4; ++i)
        press(key, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(QPoint(m_grid->currentCol(), m_grid->currentRow()), QPoint(2, 2));
    QCOMPARE(m_grid->inplaceEditor()->cursorPosition(), caret);
    QVERIFY(editorOpen());
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::aQuickSecondPressOnTheNewEditorSelectsAWord()
{
    m_grid->setCell(1, 1, "one two");
    m_grid->setEditing(true);
    // Sent by hand with their timestamps: QTest spaces its clicks by more than the double-click time.
    const auto send = [](QWidget* widget, QEvent::Type type, QPoint pos, quint64 time) {
        QMouseEvent event(type, pos, widget->mapToGlobal(pos), Qt::LeftButton,
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        event.setTimestamp(time);
        QCoreApplication::sendEvent(widget, &event);
    };
    const QPoint pos = centreOf(1, 1);
    send(m_grid->viewport(), QEvent::MouseButtonPress, pos, 100000);
    send(m_grid->viewport(), QEvent::MouseButtonRelease, pos, 100010);
    QLineEdit* editor = m_grid->inplaceEditor();
    QVERIFY(editorOpen());
    QCOMPARE(editor->selectedText(), QStringLiteral("one two"));
    const QPoint onWord(8, editor->height() / 2);
    send(editor, QEvent::MouseButtonPress, onWord, 100000 + QApplication::doubleClickInterval() + 1);
    send(editor, QEvent::MouseButtonRelease, onWord, 100000 + QApplication::doubleClickInterval() + 2);
    QVERIFY(!editor->hasSelectedText());
    press(Qt::Key_Return);
    QCOMPARE(m_recorder->take(), QStringList { handBackNote(1, 1, "one two", 1, 1) });

    send(m_grid->viewport(), QEvent::MouseButtonPress, pos, 200000);
    send(m_grid->viewport(), QEvent::MouseButtonRelease, pos, 200010);
    QCOMPARE(editor->selectedText(), QStringLiteral("one two"));
    send(editor, QEvent::MouseButtonPress, onWord, 200050);
    QCOMPARE(editor->selectedText(), QStringLiteral("one"));
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::cancelModeEndsARangeDragAndASizingDrag()
{
    setViewportSize(QSize(500, 340));
    m_grid->setRowCount(100);
    QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, centreOf(1, 2));
    QTest::mouseMove(m_grid->viewport(), QPoint(centreOf(1, 2).x(), 339));
    QCOMPARE(autoScrollTimers().size(), 1);
    QCOMPARE(mouseCaptureOwner(), m_grid);
    cancelMouseCapture();
    QVERIFY(autoScrollTimers().isEmpty());
    const GridCell anchor = m_grid->anchor();
    QTest::mouseMove(m_grid->viewport(), centreOf(1, 8));
    QCOMPARE(m_grid->anchor(), anchor);

    const QRect cell = m_grid->gridLayout().cellRect({ 1, 0 });
    const QPoint grab(cell.right() + 1, 5);
    QTest::mousePress(m_grid->viewport(), Qt::LeftButton, {}, grab);
    QTest::mouseMove(m_grid->viewport(), grab + QPoint(40, 0));
    cancelMouseCapture();
    QTest::mouseRelease(m_grid->viewport(), Qt::LeftButton, {}, grab + QPoint(40, 0));
    QCOMPARE(m_grid->colWidth(1), 96);
}

void tst_ByteGrid::sizingPlacesShowSplitCursors()
{
    const GridLayout& layout = m_grid->gridLayout();
    const QRect column = layout.cellRect({ 1, 0 });
    const QRect row = layout.cellRect({ 0, 1 });
    QTest::mouseMove(m_grid->viewport(), QPoint(column.right() + 2, 5));
    QCOMPARE(m_grid->viewport()->cursor().shape(), Qt::SplitHCursor);
    QTest::mouseMove(m_grid->viewport(), QPoint(5, row.bottom() + 2));
    QCOMPARE(m_grid->viewport()->cursor().shape(), Qt::SplitVCursor);
    QTest::mouseMove(m_grid->viewport(), centreOf(2, 1));
    QCOMPARE(m_grid->viewport()->cursor().shape(), Qt::ArrowCursor);
}

namespace {
// What a widget was painted and how often it was resized.
class EventRecorder : public QObject {
public:
    QRegion painted;
    int resizes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        else if (event->type() == QEvent::Resize)
            ++resizes;
        return false;
    }
};
} // namespace

void tst_ByteGrid::aCellWriteRedrawsOnlyThatCell()
{
    m_grid->setRowCount(10);
    QCoreApplication::processEvents();
    EventRecorder recorder;
    m_grid->viewport()->installEventFilter(&recorder);
    m_grid->setCell(3, 4, "x");
    m_grid->setCell(3, 400, "not shown");
    QCoreApplication::processEvents();
    const QRect cell = m_grid->gridLayout().cellRect({ 3, 4 });
    QCOMPARE(recorder.painted, QRegion(cell.adjusted(0, 0, 1, 1)));
    recorder.painted = {};
    press(Qt::Key_Down);
    QCoreApplication::processEvents();
    const QRegion twoCells = QRegion(m_grid->gridLayout().cellRect({ 1, 1 }).adjusted(0, 0, 1, 1))
        + QRegion(m_grid->gridLayout().cellRect({ 1, 2 }).adjusted(0, 0, 1, 1));
    QCOMPARE(recorder.painted, twoCells);
}

void tst_ByteGrid::gridLinesKeepTheirColourAtEveryScale_data()
{
    QTest::addColumn<qreal>("scale");
    QTest::newRow("1") << qreal(1);
    QTest::newRow("1.5") << qreal(1.5);
    QTest::newRow("2") << qreal(2);
}

void tst_ByteGrid::gridLinesKeepTheirColourAtEveryScale()
{
    QFETCH(qreal, scale);
    m_grid->setRowCount(5);
    QWidget* viewport = m_grid->viewport();
    // Black where nothing is painted, as a window's fresh backing store shows on a real screen.
    QImage image(viewport->size() * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::black);
    viewport->render(&image, {}, {}, {});

    // Every device pixel whose centre lies on the 1-pixel line after cell (col, row), across or below it.
    const auto lineColours = [&](int col, int row, bool vertical) {
        const QRect cell = m_grid->gridLayout().cellRect({ col, row });
        const int line = vertical ? cell.right() + 1 : cell.bottom() + 1;
        const int along = vertical ? cell.center().y() : cell.center().x();
        QSet<QRgb> colours;
        for (int device = int(line * scale); device < int((line + 1) * scale) + 1; ++device) {
            if (device + 0.5 <= line * scale || device + 0.5 >= (line + 1) * scale)
                continue;
            const int a = int(along * scale);
            colours.insert(vertical ? image.pixel(device, a) : image.pixel(a, device));
        }
        return colours;
    };
    const QSet<QRgb> silver { qRgb(192, 192, 192) };
    const QSet<QRgb> black { qRgb(0, 0, 0) };
    QCOMPARE(lineColours(2, 2, true), silver);
    QCOMPARE(lineColours(2, 2, false), silver);
    QCOMPARE(lineColours(0, 2, true), black);
    QCOMPARE(lineColours(2, 0, false), black);
    // The cells themselves are painted all over: no black shows between a cell and its lines.
    const QRect inside = m_grid->gridLayout().cellRect({ 2, 2 });
    QCOMPARE(image.pixel(int(inside.left() * scale), int(inside.top() * scale)), qRgb(255, 255, 255));
}

void tst_ByteGrid::aThrowingEditHandlerStillClosesTheEditor_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("row");
    QTest::newRow("enter") << int(Qt::Key_Return) << 1;
    QTest::newRow("down, after the move") << int(Qt::Key_Down) << 2;
}

void tst_ByteGrid::aThrowingEditHandlerStillClosesTheEditor()
{
    QFETCH(int, key);
    QFETCH(int, row);
    m_grid->setRowCount(3);
    m_grid->setEditing(true);
    typeOnGrid(QStringLiteral("z"));
    m_recorder->onEdit = [](int, int) { throw EInOutError(EInOutError::AccessDenied); };
    m_errors.clear();
    press(key);
    QCOMPARE(m_errors.size(), 1);
    QVERIFY(!editorOpen());
    QVERIFY(!m_grid->editorMode());
    QVERIFY(m_grid->hasFocus());
    QCOMPARE(m_grid->currentRow(), row);
    QCOMPARE(m_grid->cell(1, 1), std::string("z"));
    m_recorder->onEdit = {};
    m_recorder->take();
    press(Qt::Key_Return);
    QVERIFY(editorOpen());
    QCOMPARE(m_grid->inplaceEditor()->text(), QString::fromStdString(std::string(m_grid->cell(1, row))));
}

void tst_ByteGrid::theEditorTakesTextsOfAnyLength()
{
    const std::string longText(70000, 'a');
    m_grid->setCell(1, 1, longText);
    m_grid->setEditing(true);
    press(Qt::Key_F2);
    typeOnGrid(QStringLiteral("b"));
    QCOMPARE(m_grid->cell(1, 1), longText + "b");
}

void tst_ByteGrid::aRowCountBelowOneLeavesOneScrollableRow()
{
    m_grid->setRowCount(-5);
    QCOMPARE(m_grid->rowCount(), 1);
    QCOMPARE(m_grid->gridLayout().fixedRows(), 0);
    QCOMPARE(m_recorder->take(), QStringList { selectNote(1, 0, 1, 1, 1) });
    QCOMPARE(QPoint(m_grid->currentCol(), m_grid->currentRow()), QPoint(1, 0));
    press(Qt::Key_Down);
    press(Qt::Key_Up);
    QVERIFY(m_recorder->take().isEmpty());
}

void tst_ByteGrid::growingInChunksEndsAsGrowingRowByRow_data()
{
    QTest::addColumn<int>("chunk");
    QTest::addColumn<int>("top");
    QTest::newRow("row by row, at the top") << 1 << 1;
    QTest::newRow("a chunk of 256, at the top") << 256 << 1;
    QTest::newRow("all at once, at the top") << 8192 << 1;
    QTest::newRow("row by row, scrolled") << 1 << 30;
    QTest::newRow("a chunk of 256, scrolled") << 256 << 30;
}

// However a load grows the grid, the view, the thumb and the notifications end the same.
void tst_ByteGrid::growingInChunksEndsAsGrowingRowByRow()
{
    QFETCH(int, chunk);
    QFETCH(int, top);
    setViewportSize(QSize(470, 320));
    m_grid->setRowCount(60);
    for (int i = 1; i < top; ++i)
        press(Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(m_grid->topRow(), top);
    m_recorder->take();
    for (int count = 60; count < 8194;) {
        count = std::min(count + chunk, 8194);
        m_grid->setRowCount(count);
        for (int row = count - chunk; row < count; ++row)
            m_grid->setCell(2, row, std::to_string(row));
    }
    QVERIFY(m_recorder->take().isEmpty());
    QCOMPARE(m_grid->rowCount(), 8194);
    QCOMPARE(m_grid->topRow(), top);
    QCOMPARE(m_grid->maxTopRow(), 8180);
    const QScrollBar* bar = m_grid->verticalScrollBar();
    QCOMPARE(bar->maximum(), 127);
    QCOMPARE(bar->value(), GridLayout::thumbFor(top, 1, 8180));
    QCOMPARE(m_grid->currentRow(), 1);
    verifyScreenShowsAFreshPaint();
}

void tst_ByteGrid::cellsWrittenOutOfViewShowOnceScrolledIn()
{
    m_grid->setRowCount(1000);
    verifyScreenShowsAFreshPaint();
    for (int row = 1; row < 1000; ++row)
        m_grid->setCell(3, row, "new " + std::to_string(row));
    verifyScreenShowsAFreshPaint();
    for (const int action : { QAbstractSlider::SliderSingleStepAdd, QAbstractSlider::SliderPageStepAdd,
             QAbstractSlider::SliderToMaximum, QAbstractSlider::SliderPageStepSub }) {
        m_grid->verticalScrollBar()->triggerAction(static_cast<QAbstractSlider::SliderAction>(action));
        verifyScreenShowsAFreshPaint();
    }
    // Written while scrolled away from the top, then shown by going back.
    m_grid->setCell(1, 1, "first");
    m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    verifyScreenShowsAFreshPaint();
    QCOMPARE(m_grid->cell(1, 1), std::string("first"));
}

void tst_ByteGrid::sourceTextsShowUnderTextsSetOnCells()
{
    TaggedSource source;
    m_grid->setRowCount(600);
    m_grid->setCell(1, 1, "own");
    m_grid->setCell(2, 500, "kept");
    m_grid->setSource(&source);
    verifyScreenShowsAFreshPaint();
    QCOMPARE(m_grid->cell(4, 599), std::string("4:599"));
    QCOMPARE(m_grid->cell(1, 1), std::string("own"));
    // A change of rows 1 to 300 replaces the texts set there, and only there.
    source.tag = "new ";
    source.taggedRows = 300;
    m_grid->sourceChanged({ 0, 1 }, { 4, 300 });
    verifyScreenShowsAFreshPaint();
    QCOMPARE(m_grid->cell(1, 1), std::string("new 1:1"));
    QCOMPARE(m_grid->cell(2, 500), std::string("kept"));
    for (const int action : { QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderToMaximum }) {
        m_grid->verticalScrollBar()->triggerAction(static_cast<QAbstractSlider::SliderAction>(action));
        verifyScreenShowsAFreshPaint();
    }
}

void tst_ByteGrid::aReloadKeepsTheScrollBarShown()
{
    QScrollBar* bar = m_grid->verticalScrollBar();
    m_grid->setRowCount(1000);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QCoreApplication::processEvents();
    EventRecorder recorder;
    m_grid->viewport()->installEventFilter(&recorder);
    // Two rows, then more again before events run, as a load makes them: the bar never hides meanwhile, so the
    // grid is not laid out anew.
    m_grid->setRowCount(2);
    m_grid->setRowCount(300);
    QCoreApplication::processEvents();
    QCOMPARE(recorder.resizes, 0);
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->value(), GridLayout::thumbFor(m_grid->topRow(), 1, m_grid->maxTopRow()));
    m_grid->setRowCount(2);
    QCoreApplication::processEvents();
    QCOMPARE(recorder.resizes, 1);
    QVERIFY(!bar->isVisible());
    verifyScreenShowsAFreshPaint();
}

QTEST_MAIN(tst_ByteGrid)
#include "tst_ByteGrid.moc"

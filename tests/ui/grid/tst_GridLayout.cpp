#include "ui/grid/GridLayout.h"

#include <QTest>

// The grid's geometry, without a window: 96 x 20 pixel cells, each followed by a 1-pixel line.
class tst_GridLayout : public QObject {
    Q_OBJECT
private slots:
    void theThumbStandsAtTheRoundedShareOfTheTopRow_data();
    void theThumbStandsAtTheRoundedShareOfTheTopRow();
    void aReleasedThumbGivesTheRoundedTopRow_data();
    void aReleasedThumbGivesTheRoundedTopRow();
    void theLargestTopRowStillShowsTheLastRowWhole_data();
    void theLargestTopRowStillShowsTheLastRowWhole();
    void aPageIsOneRowLessThanTheWhollyVisibleRows();
    void sizingBandsSpanThreePixelsBeforeAndFourAfterALine_data();
    void sizingBandsSpanThreePixelsBeforeAndFourAfterALine();
    void aCutOffLastColumnIsSizedFromTheRightEdge();
    void pointsMapToCellsWithEachLineBelongingToTheCellBeforeIt_data();
    void pointsMapToCellsWithEachLineBelongingToTheCellBeforeIt();
    void heightsOfRemovedRowsAreForgotten();
    void rowsToldHiddenWithoutGeometryNeverShow_data();
    void rowsToldHiddenWithoutGeometryNeverShow();
};

void tst_GridLayout::theThumbStandsAtTheRoundedShareOfTheTopRow_data()
{
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("thumb");
    QTest::newRow("at the top") << 1 << 8179 << 0;
    QTest::newRow("at the bottom") << 8179 << 8179 << 127;
    QTest::newRow("rounds down") << 11 << 86 << 15;
    QTest::newRow("rounds up") << 9 << 86 << 12;
    QTest::newRow("half way rounds up") << 2 << 3 << 64;
    QTest::newRow("no range") << 1 << 1 << 0;
}

void tst_GridLayout::theThumbStandsAtTheRoundedShareOfTheTopRow()
{
    QFETCH(int, top);
    QFETCH(int, max);
    QFETCH(int, thumb);
    QCOMPARE(GridLayout::thumbFor(top, 1, max), thumb);
}

void tst_GridLayout::aReleasedThumbGivesTheRoundedTopRow_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("top");
    QTest::newRow("64 of 127 with 8179") << 64 << 8179 << 4122;
    QTest::newRow("0") << 0 << 8179 << 1;
    QTest::newRow("127") << 127 << 8179 << 8179;
    QTest::newRow("a short range") << 40 << 3 << 2;
    QTest::newRow("a range shorter than the bar") << 31 << 3 << 1;
}

void tst_GridLayout::aReleasedThumbGivesTheRoundedTopRow()
{
    QFETCH(int, position);
    QFETCH(int, max);
    QFETCH(int, top);
    QCOMPARE(GridLayout::valueForThumb(position, 1, max), top);
}

void tst_GridLayout::theLargestTopRowStillShowsTheLastRowWhole_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("tallRow");
    QTest::addColumn<int>("maxTop");
    // The header takes 21 pixels; 14 rows of 21 fit from 314 pixels on, the last one's line may be cut off.
    QTest::newRow("fourteen rows just fit") << 314 << 8193 << 0 << 8179;
    QTest::newRow("one pixel short") << 313 << 8193 << 0 << 8180;
    QTest::newRow("fewer rows than fit") << 314 << 10 << 0 << 1;
    QTest::newRow("a tall last row") << 314 << 100 << 99 << 95;
    QTest::newRow("a last row taller than the view") << 100 << 100 << 99 << 99;
}

void tst_GridLayout::theLargestTopRowStillShowsTheLastRowWhole()
{
    QFETCH(int, height);
    QFETCH(int, rows);
    QFETCH(int, tallRow);
    QFETCH(int, maxTop);
    GridLayout layout;
    layout.setClientSize(QSize(500, height));
    layout.setRowCount(rows);
    if (tallRow)
        layout.setRowHeight(tallRow, 200);
    QCOMPARE(layout.maxTopRow(), maxTop);
    layout.setTopRow(maxTop);
    QCOMPARE(layout.lastFullRow(), rows - 1);
    layout.setTopRow(1000000);
    QCOMPARE(layout.topRow(), maxTop);
}

void tst_GridLayout::aPageIsOneRowLessThanTheWhollyVisibleRows()
{
    GridLayout layout;
    layout.setRowCount(100);
    layout.setClientSize(QSize(500, 21 + 15 * 21));
    QCOMPARE(layout.lastFullRow(), 15);
    QCOMPARE(layout.pageRows(), 14);
    layout.setClientSize(QSize(150, 30));
    QCOMPARE(layout.pageRows(), 1);
    QCOMPARE(layout.pageCols(), 1);
}

void tst_GridLayout::sizingBandsSpanThreePixelsBeforeAndFourAfterALine_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("axis");
    QTest::addColumn<int>("index");
    const int column = int(GridLayout::SizingAxis::Column);
    const int row = int(GridLayout::SizingAxis::Row);
    // Column 1's line is at x = 97 + 96 = 193; row 1's at y = 21 + 20 = 41.
    QTest::newRow("4 before column 1's line") << QPoint(189, 5) << -1 << 0;
    QTest::newRow("3 before") << QPoint(190, 5) << column << 1;
    QTest::newRow("4 after") << QPoint(197, 5) << column << 1;
    QTest::newRow("5 after") << QPoint(198, 5) << -1 << 0;
    QTest::newRow("below the header row") << QPoint(193, 25) << -1 << 0;
    QTest::newRow("column 0's line") << QPoint(96, 5) << -1 << 0;
    QTest::newRow("row 1's line") << QPoint(5, 44) << row << 1;
    QTest::newRow("row 0's line") << QPoint(5, 20) << -1 << 0;
    QTest::newRow("a row line outside the header column") << QPoint(120, 41) << -1 << 0;
}

void tst_GridLayout::sizingBandsSpanThreePixelsBeforeAndFourAfterALine()
{
    QFETCH(QPoint, point);
    QFETCH(int, axis);
    QFETCH(int, index);
    GridLayout layout;
    layout.setRowCount(10);
    layout.setClientSize(QSize(600, 300));
    const auto sizing = layout.sizingAt(point);
    QCOMPARE(sizing.has_value(), axis >= 0);
    if (!sizing)
        return;
    QCOMPARE(int(sizing->axis), axis);
    QCOMPARE(sizing->index, index);
}

void tst_GridLayout::aCutOffLastColumnIsSizedFromTheRightEdge()
{
    GridLayout layout;
    layout.setClientSize(QSize(300, 100));
    // Column 2 starts at 194 and would end at 290; column 3 starts at 291 and is cut off at 300.
    const auto sizing = layout.sizingAt(QPoint(297, 5));
    QVERIFY(sizing.has_value());
    QCOMPARE(sizing->index, 3);
    QCOMPARE(sizing->cellStart, 291);
    QCOMPARE(sizing->linePos, 387);
    QVERIFY(!layout.sizingAt(QPoint(296, 5)).has_value());
}

void tst_GridLayout::pointsMapToCellsWithEachLineBelongingToTheCellBeforeIt_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QPoint>("cell");
    QTest::newRow("the corner") << QPoint(0, 0) << QPoint(0, 0);
    QTest::newRow("column 0's line") << QPoint(96, 30) << QPoint(0, 1);
    QTest::newRow("first pixel of column 1") << QPoint(97, 41) << QPoint(1, 1);
    QTest::newRow("row 1's line") << QPoint(100, 41) << QPoint(1, 1);
    QTest::newRow("beyond the last column") << QPoint(590, 30) << QPoint(-1, 1);
    QTest::newRow("below the last row") << QPoint(100, 250) << QPoint(1, -1);
}

void tst_GridLayout::pointsMapToCellsWithEachLineBelongingToTheCellBeforeIt()
{
    QFETCH(QPoint, point);
    QFETCH(QPoint, cell);
    GridLayout layout;
    layout.setRowCount(5);
    layout.setClientSize(QSize(600, 300));
    const GridCell hit = layout.cellAt(point);
    QCOMPARE(QPoint(hit.col, hit.row), cell);
}

void tst_GridLayout::heightsOfRemovedRowsAreForgotten()
{
    GridLayout layout;
    layout.setRowCount(10);
    layout.setRowHeight(3, 40);
    layout.setRowHeight(8, 50);
    layout.setRowCount(5);
    layout.setRowCount(10);
    QCOMPARE(layout.rowHeight(3), 40);
    QCOMPARE(layout.rowHeight(8), GridLayout::DefaultRowHeight);
}

void tst_GridLayout::rowsToldHiddenWithoutGeometryNeverShow_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("rowHeight");
    QTest::newRow("default rows at the top") << 200 << 1 << 0;
    QTest::newRow("default rows scrolled") << 200 << 40 << 0;
    QTest::newRow("two-pixel rows fill the view") << 60 << 1 << 2;
    QTest::newRow("two-pixel rows scrolled") << 60 << 30 << 2;
    QTest::newRow("tall rows") << 200 << 5 << 70;
    QTest::newRow("no client area yet") << 0 << 1 << 0;
}

// A cell write skips the redraw of a row told hidden: such a row must never be one that shows.
void tst_GridLayout::rowsToldHiddenWithoutGeometryNeverShow()
{
    QFETCH(int, height);
    QFETCH(int, top);
    QFETCH(int, rowHeight);
    GridLayout layout;
    layout.setClientSize(QSize(500, height));
    layout.setRowCount(400);
    if (rowHeight > 0)
        for (int row = 1; row < 400; ++row)
            layout.setRowHeight(row, rowHeight);
    layout.setTopRow(top);
    QCOMPARE(layout.topRow(), top);
    int shown = 0;
    for (int row = 0; row < 400; ++row) {
        const bool showsAPixel = layout.rowY(row).has_value();
        shown += showsAPixel;
        QVERIFY2(!(showsAPixel && layout.rowSurelyHidden(row)), qPrintable(QStringLiteral("row %1").arg(row)));
        // The skip must not hide a row that the slow walk down from the top row would place inside the view.
        if (row >= top) {
            int y = layout.fixedHeight();
            for (int r = top; r < row; ++r)
                y += layout.rowHeight(r) + GridLayout::LineWidth;
            QVERIFY2(layout.rowSurelyHidden(row) == false || y >= height,
                qPrintable(QStringLiteral("row %1 at %2").arg(row).arg(y)));
        }
    }
    QVERIFY(height == 0 || shown > 1);
}

QTEST_GUILESS_MAIN(tst_GridLayout)
#include "tst_GridLayout.moc"

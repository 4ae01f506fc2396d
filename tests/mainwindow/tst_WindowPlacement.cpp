#include "mainwindow/WindowPlacement.h"
#include "ui/FramePlacement.h"

#include <QTest>

// The main window opens at its designed place and size when they fit the screen's work area, and otherwise
// moves, then shrinks, until all of it is visible; the value window beside it likewise.
class tst_WindowPlacement : public QObject {
    Q_OBJECT
private slots:
    void theWholeWindowIsOnTheScreen_data();
    void theWholeWindowIsOnTheScreen();
    void aToolWindowIsBesideTheMainWindow_data();
    void aToolWindowIsBesideTheMainWindow();
    void onlyARealFrameCounts_data();
    void onlyARealFrameCounts();
};

namespace {
const QRect Designed(281, 104, 567, 470);
}

void tst_WindowPlacement::theWholeWindowIsOnTheScreen_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected");
    // Work areas in Qt's device-independent pixels: a screen's pixels divided by the scale factor.
    QTest::newRow("1280x1024 at 1x: as designed") << QRect(0, 0, 1280, 1024) << Designed;
    QTest::newRow("1024x768 at 1x: as designed") << QRect(0, 0, 1024, 768) << Designed;
    QTest::newRow("1280x1024 at 1.5x: as designed") << QRect(0, 0, 853, 682) << Designed;
    QTest::newRow("exactly touching the right and bottom edges") << QRect(0, 0, 848, 574) << Designed;
    QTest::newRow("1280x1024 at 2x: moved") << QRect(0, 0, 640, 512) << QRect(73, 42, 567, 470);
    QTest::newRow("1024x768 at 1.5x: moved") << QRect(0, 0, 682, 512) << QRect(115, 42, 567, 470);
    QTest::newRow("one pixel short: moved by one") << QRect(0, 0, 847, 573) << QRect(280, 103, 567, 470);
    QTest::newRow("1024x768 at 2x: moved, then shrunk") << QRect(0, 0, 512, 384) << QRect(0, 0, 512, 384);
    QTest::newRow("narrow only: shrunk across, kept down") << QRect(0, 0, 500, 1024) << QRect(0, 104, 500, 470);
    QTest::newRow("a panel at the top, 2x") << QRect(0, 30, 640, 482) << QRect(73, 42, 567, 470);
    QTest::newRow("a tall panel at the top pushes it down") << QRect(0, 200, 1280, 824) << QRect(281, 200, 567, 470);
    QTest::newRow("a panel at the left, 2x, shrunk") << QRect(100, 0, 540, 512) << QRect(100, 42, 540, 470);
    QTest::newRow("a work area right of the designed place")
        << QRect(1280, 0, 1280, 1024) << QRect(1280, 104, 567, 470);
    QTest::newRow("no work area known: as designed") << QRect() << Designed;
}

void tst_WindowPlacement::theWholeWindowIsOnTheScreen()
{
    QFETCH(QRect, available);
    QFETCH(QRect, expected);
    const QRect placed = placeWindow(Designed, available);
    QCOMPARE(placed, expected);
    if (!available.isEmpty())
        QVERIFY2(available.contains(placed), qPrintable(QStringLiteral("placed outside the work area")));
}

void tst_WindowPlacement::aToolWindowIsBesideTheMainWindow_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("expected");
    const QSize values(430, 420);
    const QSize checksums(640, 330);
    QTest::newRow("at its right") << QRect(0, 0, 1280, 1024) << values << QRect(848, 104, 430, 420);
    QTest::newRow("no room at any side: over its right edge")
        << QRect(0, 0, 1024, 768) << values << QRect(418, 104, 430, 420);
    QTest::newRow("1280x1024 at 2x") << QRect(0, 0, 640, 512) << values << QRect(210, 42, 430, 420);
    QTest::newRow("1024x768 at 2x: shrunk") << QRect(0, 0, 512, 384) << values << QRect(82, 0, 430, 384);
    QTest::newRow("room at its left only") << QRect(0, 0, 1000, 768) << QSize(250, 420) << QRect(31, 104, 250, 420);
    QTest::newRow("too wide for either side: below it")
        << QRect(0, 0, 1280, 1024) << checksums << QRect(281, 574, 640, 330);
    QTest::newRow("room above it only") << QRect(0, 0, 1024, 600) << QSize(640, 100) << QRect(281, 4, 640, 100);
}

void tst_WindowPlacement::aToolWindowIsBesideTheMainWindow()
{
    QFETCH(QRect, available);
    QFETCH(QSize, size);
    QFETCH(QRect, expected);
    QCOMPARE(placeBeside(placeWindow(Designed, available), size, available), expected);
}

void tst_WindowPlacement::onlyARealFrameCounts_data()
{
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<bool>("real");
    QTest::newRow("none yet") << QMargins() << false;
    QTest::newRow("half-built: minus the window's size") << QMargins(0, 0, -567, -470) << false;
    QTest::newRow("openbox's at 2x") << QMargins(1, 10, 1, 3) << true;
    QTest::newRow("a title bar alone") << QMargins(0, 20, 0, 0) << true;
}

void tst_WindowPlacement::onlyARealFrameCounts()
{
    QFETCH(QMargins, frame);
    QFETCH(bool, real);
    QCOMPARE(FramePlacement::isRealFrame(frame), real);
}

QTEST_APPLESS_MAIN(tst_WindowPlacement)
#include "tst_WindowPlacement.moc"

// Measures what a user feels of the value window on the offscreen platform: from Down pressed on the grid to both
// windows painted, the grid's new current row and the value window's table, against the same key with the window
// hidden (the grid alone), in the same rounds. Target: within one frame (16.7 ms).

#include "bench/BenchFile.h"
#include "bench/BenchWindow.h"
#include "bench/Median.h"
#include "bench/Offscreen.h"
#include "bench/PaintWatch.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rounds = 41;

// Down, or Up at the block's last rows, on the grid: from the key to every watched widget painted.
double keyToPainted(ByteGrid& grid, PaintWatch& watch)
{
    settle();
    watch.arm();
    QTest::keyClick(&grid, grid.currentRow() < 8000 ? Qt::Key_Down : Qt::Key_Up);
    waitFor([&] { return watch.allPainted(); }, "the paints after the key");
    return watch.lastMs();
}

} // namespace

int main(int argc, char* argv[])
{
    runOffscreenQuietly();
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const std::string dir = temporary.path().toStdString() + "/";
    makeFile(dir + "file.bin", qint64(1) << 20, false);
    const auto form = windowOn(dir, dir + "file.bin");
    auto* grid = form->findChild<ByteGrid*>(QStringLiteral("SG1"));
    form->activateWindow();
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_F12);
    auto* table = form->findChild<QTableWidget*>(QStringLiteral("ValueTable"));
    if (!table || !table->isVisible())
        qFatal("F12 showed no value window");
    waitFor([&] { return table->window()->windowHandle()->isExposed(); }, "the value window");
    QApplication::setActiveWindow(form.get());
    grid->setFocus();

    std::vector<double> shown, hidden;
    const auto measure = [&](std::vector<QWidget*> widgets, std::vector<double>& figures) {
        PaintWatch watch(std::move(widgets));
        for (int round = -1; round < Rounds; ++round) {
            const double ms = keyToPainted(*grid, watch);
            if (round >= 0)
                figures.push_back(ms);
        }
    };
    measure({ grid->viewport(), table->viewport() }, shown);
    QTest::keyClick(grid, Qt::Key_F12);
    measure({ grid->viewport() }, hidden);
    std::printf("Down to both windows painted, medians of %d keys (ms): %.3f with the value window, %.3f without "
                "it, %.2fx; target 16.7 ms\n",
        Rounds, median(shown), median(hidden), median(shown) / median(hidden));
    return 0;
}

// Measures what a user feels of the window on the offscreen platform, for a 100 MB file and a sparse 3 GiB one:
//   page step     from Alt+PageDown, pressed on the grid, to the next block's rows painted;
//   find next     from F3 to the rows of the block holding the next match painted (a match every 20000 bytes,
//                 so that every F3 loads another block), and on to their paint with the match selected, which
//                 comes once the command has finished, after the new position is stored;
//   paste         from Ctrl+V over the block's 8193 rows, all selected, to the rows in view painted with the
//                 pasted byte (the write checked and made durable before);
//   full repaint  of the grid's viewport.
// Beside each, in the same rounds, a QTableWidget of the grid's size with the same five columns is given the same
// rows: for the keys, the time to set the texts of the new block's 8193 rows and get them painted; for the repaint,
// its own full repaint. Targets: a key's rows painted within one frame (16.7 ms) and no later than the table's; a
// full repaint no slower than the table's. Only the window's keys and handlers and the grid's public calls are used.

#include "bench/BenchFile.h"
#include "bench/BenchWindow.h"
#include "bench/Median.h"
#include "bench/Offscreen.h"
#include "mainwindow/TForm1.h"
#include "support/Cp1251.h"
#include "support/StrHF.h"
#include "tests/ScriptedDialogs.h"
#include "tests/mainwindow/RowOracle.h"
#include "ui/grid/ByteGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int BlockRows = ShownBlock::BlockSpan + 1;
constexpr double Frame = 1000.0 / 60;
// Full repaints timed per file and round, each of the grid and the table.
constexpr int RepaintsPerRound = 15;
constexpr qint64 NeedleEvery = 20000;
// A text the file's pattern cannot hold (its neighbouring bytes always differ by 37), placed within the first
// megabyte, where even the sparse file holds the pattern, so that both files show the same kind of bytes.
constexpr char Needle[] = "needle";
constexpr qint64 NeedlesEnd = (qint64(1) << 20) - 16;

// Notes, on one clock, when an awaited key reaches the application and when a viewport has finished painting
// what the user waits for. An event filter sees an event before it is handled, so to note the end of a paint it
// delivers the paint itself, inside the same paint cycle, and stops the original.
class Stopwatch : public QObject {
public:
    Stopwatch()
    {
        m_clock.start();
        QCoreApplication::instance()->installEventFilter(this);
    }

    // From now on waits for the key (0: the start is marked by hand), then notes when the paints of viewport that
    // begin while loaded() holds have covered rows, and when they have done so with the last of them beginning
    // while finished() holds too. A command may paint its rows before it has finished (a search selects its match
    // after the load has painted them), and a final paint may cover only what changed last.
    void arm(int key, QWidget* viewport, QRect rows, std::function<bool()> loaded, std::function<bool()> finished)
    {
        m_key = key;
        m_keyAt = -1;
        m_viewport = viewport;
        m_rows = rows;
        m_covered = {};
        m_loaded = std::move(loaded);
        m_finished = std::move(finished);
        m_rowsAt = -1;
        m_paintedAt = -1;
    }
    void markStart() { m_keyAt = m_clock.nsecsElapsed(); }
    [[nodiscard]] bool painted() const { return m_paintedAt >= 0; }
    // From the key to the rows painted, and to the rows painted with the command finished.
    [[nodiscard]] double rowsMs() const { return sinceKey(m_rowsAt); }
    [[nodiscard]] double finishedMs() const { return sinceKey(m_paintedAt); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        // A shortcut reaches the focus widget as an override first, and only as a press when no shortcut took it.
        if (m_keyAt < 0 && m_key != 0 && (type == QEvent::ShortcutOverride || type == QEvent::KeyPress)
            && static_cast<QKeyEvent*>(event)->key() == m_key)
            m_keyAt = m_clock.nsecsElapsed();
        if (type != QEvent::Paint || watched != m_viewport || m_delivering || m_keyAt < 0 || !m_loaded())
            return false;
        const bool finished = m_finished();
        m_covered += static_cast<QPaintEvent*>(event)->region();
        m_delivering = true;
        QCoreApplication::sendEvent(watched, event);
        m_delivering = false;
        if (!QRegion(m_rows).subtracted(m_covered).isEmpty())
            return true;
        const qint64 now = m_clock.nsecsElapsed();
        if (m_rowsAt < 0)
            m_rowsAt = now;
        if (finished) {
            m_paintedAt = now;
            // The conditions may refer to the caller's variables, gone once it has its figure.
            m_viewport = nullptr;
            m_loaded = {};
            m_finished = {};
        }
        return true;
    }

private:
    [[nodiscard]] double sinceKey(qint64 at) const
    {
        if (m_keyAt < 0 || at < m_keyAt)
            qFatal("the key never arrived, or the paint came before it");
        return static_cast<double>(at - m_keyAt) / 1e6;
    }

    QElapsedTimer m_clock;
    int m_key = 0;
    qint64 m_keyAt = -1;
    QWidget* m_viewport = nullptr;
    QRect m_rows;
    QRegion m_covered;
    qint64 m_rowsAt = -1;
    std::function<bool()> m_loaded;
    std::function<bool()> m_finished;
    qint64 m_paintedAt = -1;
    bool m_delivering = false;
};

using RowTexts = std::array<QString, 5>;

// The five texts of each row of the block at start, as the table is given them: ready, so that its figure is
// only that of setting and painting them.
std::vector<RowTexts> blockTexts(const std::string& path, qint64 start)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(start))
        qFatal("cannot read %s", path.c_str());
    const QByteArray bytes = file.read(BlockRows);
    std::vector<RowTexts> rows;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto values = valueTexts(static_cast<std::uint8_t>(bytes[i]));
        rows.push_back({ Cp1251::toQString(offsetText(start + i)), Cp1251::toQString(values[0]),
            Cp1251::toQString(values[1]), Cp1251::toQString(values[2]), Cp1251::toQString(values[3]) });
    }
    return rows;
}

// One file under measure: its own settings folder, window and table, and the samples of each figure.
struct Case {
    const char* label = "";
    std::string dir;
    qint64 size = 0;
    bool sparse = false;
    std::string path;
    std::unique_ptr<TForm1> form;
    ByteGrid* grid = nullptr;
    std::unique_ptr<QTableWidget> table;
    // Rows below the top row that show when the grid is full.
    int rowsInView = 0;
    std::vector<double> step, stepTable, findRows, findSelected, findTable, paste, pasteTable, repaint, repaintTable;
};

void plantNeedles(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadWrite))
        qFatal("cannot write %s", path.c_str());
    for (qint64 at = NeedleEvery; at < NeedlesEnd; at += NeedleEvery)
        if (!file.seek(at) || file.write(Needle, sizeof Needle - 1) != qint64(sizeof Needle - 1))
            qFatal("cannot write %s", path.c_str());
}

// The table as a program built on it would show the block: the grid's size, font, columns, row height and titles,
// no row header (the offset column is one), 8193 rows of items.
void makeTable(Case& each)
{
    const ByteGrid& grid = *each.grid;
    each.table = std::make_unique<QTableWidget>(BlockRows, 5);
    QTableWidget& table = *each.table;
    table.setFont(grid.font());
    table.verticalHeader()->hide();
    table.verticalHeader()->setMinimumSectionSize(1);
    table.verticalHeader()->setDefaultSectionSize(grid.rowHeight(1) + 1);
    table.horizontalHeader()->setFixedHeight(grid.rowHeight(0) + 1);
    QStringList titles;
    for (int col = 0; col < 5; ++col) {
        table.setColumnWidth(col, grid.colWidth(col) + 1);
        titles << Cp1251::toQString(grid.cell(col, 0));
    }
    table.setHorizontalHeaderLabels(titles);
    const std::vector<RowTexts> rows = blockTexts(each.path, each.form->startByte());
    for (int row = 0; row < BlockRows; ++row)
        for (int col = 0; col < 5; ++col)
            table.setItem(row, col, new QTableWidgetItem(rows[std::size_t(row)][std::size_t(col)]));
    table.resize(grid.size());
    table.show();
    waitFor([&] { return table.windowHandle() && table.windowHandle()->isExposed(); }, "the table to show");
}

void open(Case& each)
{
    QDir().mkpath(QString::fromStdString(each.dir));
    each.path = each.dir + "file.bin";
    makeFile(each.path, each.size, each.sparse);
    plantNeedles(each.path);
    each.form = windowOn(each.dir, each.path);
    each.grid = each.form->findChild<ByteGrid*>(QStringLiteral("SG1"));
    if (!each.grid || each.grid->rowCount() != BlockRows + 1)
        qFatal("the window shows no full block of %s", each.path.c_str());
    each.rowsInView = each.grid->gridLayout().lastVisibleRow() - each.grid->topRow();
    makeTable(each);
}

// The keys go to the grid of the active window, as a user's do.
void activate(Case& each)
{
    each.form->activateWindow();
    each.grid->setFocus();
    waitFor([&] { return QApplication::activeWindow() == each.form.get() && QApplication::focusWidget() == each.grid; },
        "the window to take the focus");
    settle();
}

struct KeyTimes {
    // From the key to the new block's rows in view painted.
    double rows = 0;
    // From the key to the rows painted with the command finished (for a search: its match selected).
    double finished = 0;
};

// From the key to the end of the paints that complete the grid's picture of the block at target: all its rows in
// view painted, and then with what finished() asks for too.
KeyTimes keyToRowsPainted(Case& each, Stopwatch& watch, Qt::Key key, Qt::KeyboardModifiers modifiers, qint64 target,
    const std::function<bool()>& finished, int firstCol = 0)
{
    ByteGrid& grid = *each.grid;
    const TForm1& form = *each.form;
    settle();
    const int top = grid.topRow();
    const QRect rows
        = grid.gridLayout().rangeRect({ { firstCol, top }, { 4, top + each.rowsInView } }) & grid.viewport()->rect();
    const auto loaded
        = [&] { return form.startByte() == target && grid.topRow() == top && grid.rowCount() > top + each.rowsInView; };
    watch.arm(key, grid.viewport(), rows, loaded, [&] { return loaded() && finished(); });
    QTest::keyClick(&grid, key, modifiers);
    waitFor([&] { return watch.painted(); }, "the new block's rows to be painted");
    if (form.startByte() != target)
        qFatal("the key moved to %d instead of %lld", form.startByte(), target);
    return { watch.rowsMs(), watch.finishedMs() };
}

// The table given the rows the grid now shows, as the grid shows them (top row, current cell, selection): from
// setting their texts to the end of their paint. The table still shows the block the grid showed before.
double tableToRowsPainted(Case& each, Stopwatch& watch)
{
    QTableWidget& table = *each.table;
    const ByteGrid& grid = *each.grid;
    const std::vector<RowTexts> rows = blockTexts(each.path, each.form->startByte());
    // The same texts as the grid's: checked on the rows in view.
    GridSource::TextBuffer buffer;
    for (int row = grid.topRow(); row <= grid.topRow() + each.rowsInView; ++row)
        for (int col = 0; col < 5; ++col)
            if (Cp1251::toQString(grid.cellText({ col, row }, buffer)) != rows[std::size_t(row - 1)][std::size_t(col)])
                qFatal("the table's texts differ from the grid's in row %d", row);
    const int top = grid.topRow() - 1;
    const int current = grid.currentRow() - 1;
    const int anchor = grid.anchor().row - 1;
    settle();
    bool filled = false;
    // Unchanged texts are not repainted, so the paint after the texts are set is awaited, whatever it covers.
    const auto isFilled = [&] { return filled; };
    watch.arm(0, table.viewport(), {}, isFilled, isFilled);
    watch.markStart();
    for (int row = 0; row < BlockRows; ++row)
        for (int col = 0; col < 5; ++col)
            table.item(row, col)->setText(rows[std::size_t(row)][std::size_t(col)]);
    table.verticalScrollBar()->setValue(top);
    table.setCurrentCell(current, 1);
    table.setRangeSelected({ std::min(current, anchor), 1, std::max(current, anchor), 1 }, true);
    filled = true;
    waitFor([&] { return watch.painted(); }, "the table's rows to be painted");
    return watch.finishedMs();
}

// The next match after the current byte, where F3 goes.
qint64 nextMatch(const Case& each)
{
    const qint64 current = qint64(each.form->startByte()) + each.grid->currentRow() - 1;
    const qint64 next = (current / NeedleEvery + 1) * NeedleEvery;
    if (next >= NeedlesEnd)
        qFatal("more rounds than needles");
    return next;
}

// One round of every figure for one file; warm-up rounds keep nothing.
void measureRound(Case& each, Stopwatch& watch, bool keep)
{
    activate(each);
    // A search has finished when its match, now the block's first bytes, is selected.
    const auto matchSelected
        = [&] { return each.grid->currentRow() == 1 && each.grid->anchor().row == int(sizeof Needle - 1); };
    const KeyTimes find = keyToRowsPainted(each, watch, Qt::Key_F3, Qt::NoModifier, nextMatch(each), matchSelected);
    const double findTable = tableToRowsPainted(each, watch);
    const qint64 nextBlock = qint64(each.form->startByte()) + ShownBlock::BlockSpan;
    const double step
        = keyToRowsPainted(each, watch, Qt::Key_PageDown, Qt::AltModifier, nextBlock, [] { return true; }).finished;
    const double stepTable = tableToRowsPainted(each, watch);
    // Every round pastes another byte, so that every row's texts change.
    const QString fill = each.paste.size() % 2 ? QStringLiteral("55") : QStringLiteral("AA");
    QGuiApplication::clipboard()->setText(fill);
    each.grid->selectCells({ 1, 1 }, { 1, BlockRows });
    const double paste = keyToRowsPainted(
        each, watch, Qt::Key_V, Qt::ControlModifier, each.form->startByte(),
        [&] { return Cp1251::toQString(each.grid->cell(1, each.grid->topRow())) == fill; }, 1)
                             .finished; // the offsets stay as they were
    const double pasteTable = tableToRowsPainted(each, watch);
    settle();
    std::vector<double> repaint, repaintTable;
    for (int i = 0; i < RepaintsPerRound; ++i) {
        repaint.push_back(medianMs([&] { each.grid->viewport()->repaint(); }, 1));
        repaintTable.push_back(medianMs([&] { each.table->viewport()->repaint(); }, 1));
    }
    if (!keep)
        return;
    each.findRows.push_back(find.rows);
    each.findSelected.push_back(find.finished);
    each.findTable.push_back(findTable);
    each.step.push_back(step);
    each.stepTable.push_back(stepTable);
    each.paste.push_back(paste);
    each.pasteTable.push_back(pasteTable);
    each.repaint.insert(each.repaint.end(), repaint.begin(), repaint.end());
    each.repaintTable.insert(each.repaintTable.end(), repaintTable.begin(), repaintTable.end());
}

void printRow(const char* file, const char* what, const std::vector<double>& grid, const std::vector<double>& table,
    bool keyToPixels)
{
    const double ms = median(grid);
    const double tableMs = median(table);
    std::printf("%-13s %-13s %9.3f %9.3f %7.2f %9s %9s\n", file, what, ms, tableMs, ms / tableMs,
        keyToPixels ? (ms <= Frame ? "yes" : "NO") : "", ms <= tableMs ? "yes" : "NO");
}

} // namespace

int main(int argc, char* argv[])
{
    runOffscreenQuietly();
    QApplication app(argc, argv);
    QTemporaryDir temporary;
    const std::string dir = temporary.path().toStdString() + "/";

    std::vector<Case> cases(2);
    cases[0].label = "100 MB";
    cases[0].dir = dir + "hundred/";
    cases[0].size = qint64(100) << 20;
    cases[1].label = "3 GiB sparse";
    cases[1].dir = dir + "sparse/";
    cases[1].size = qint64(3) << 30;
    cases[1].sparse = true;
    ScriptedDialogs dialogs;
    Stopwatch watch;
    for (Case& each : cases) {
        open(each);
        // One search asked for, so that F3 knows what to find next.
        activate(each);
        dialogs.promptAnswers.push_back(std::string("\"") + Needle + "\"");
        QTest::keyClick(each.grid, Qt::Key_F, Qt::ControlModifier);
        waitFor([&] { return each.form->startByte() == NeedleEvery; }, "the first match");
        each.form->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))->setChecked(true);
    }
    // Rounds interleaved over the two files, so that a slow moment of the machine weighs on both alike.
    for (int round = -1; round < Runs; ++round)
        for (Case& each : cases)
            measureRound(each, watch, round >= 0);
    if (dialogs.texts("notice").size() + dialogs.texts("error").size() != 0)
        qFatal("the window showed a message: a command failed");

    std::printf("Medians of %d rounds (repaints: %d each), offscreen platform; ratio: the grid's time over the "
                "QTableWidget's in the same rounds.\n\n",
        Runs, Runs * RepaintsPerRound);
    std::printf(
        "%-13s %-13s %9s %9s %7s %9s %9s\n", "file", "what", "grid ms", "table ms", "ratio", "<=16.7ms", "<=table");
    for (const Case& each : cases) {
        printRow(each.label, "page step", each.step, each.stepTable, true);
        printRow("", "find, rows", each.findRows, each.findTable, true);
        printRow("", "find, match", each.findSelected, each.findTable, true);
        printRow("", "paste", each.paste, each.pasteTable, true);
        printRow("", "full repaint", each.repaint, each.repaintTable, false);
        QFile::remove(QString::fromStdString(each.path));
    }
    std::printf("\npage step: Alt+PageDown to the next block's rows in view painted. find: F3 to the rows of the "
                "block holding the next match painted (every F3 loads a block), and to them painted with the match "
                "selected. paste: Ctrl+V of one byte over the block's 8193 rows to those in view painted with it. "
                "table: the texts of the new block's 8193 rows, made beforehand, set on its items and "
                "painted. full repaint: the viewport's.\n");
    return 0;
}

#include "mainwindow/BlockSink.h"
#include "mainwindow/ShownBlock.h"
#include "support/Exception.h"
#include "support/FileFaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

// The shown block without a window: loads of real files into recorded rows, where each block command moves,
// the commit of a typed cell into the file, and the position kept in the settings file.
namespace {

char patternByte(qint64 offset)
{
    return static_cast<char>((offset * 37 + 11) & 0xFF);
}

QByteArray pattern(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = patternByte(i);
    return bytes;
}

// Records what a load does to the rows, in the grid's numbering: row r holds the offset and byte last shown.
class RecordingSink : public BlockSink {
public:
    std::vector<std::int64_t> offsets = std::vector<std::int64_t>(ShownBlock::BlockSpan + 3, -1);
    std::vector<int> values = std::vector<int>(ShownBlock::BlockSpan + 3, -1);
    int rowCount = 2;
    int events = 0;
    std::vector<bool> busy;
    std::function<void()> onEvents;

    void clearRows() override { rowCount = 2; }
    void setBusy(bool on) override { busy.push_back(on); }
    void showRows(std::int32_t firstRow, std::int64_t firstOffset, std::span<const std::uint8_t> bytes) override
    {
        rowCount = std::max<int>(rowCount, firstRow + static_cast<int>(bytes.size()));
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            offsets[firstRow + i] = firstOffset + static_cast<std::int64_t>(i);
            values[firstRow + i] = bytes[i];
        }
    }
    void showValue(std::int32_t row, std::uint8_t v) override { values[row] = v; }
    void processEvents() override
    {
        ++events;
        if (onEvents)
            onEvents();
    }
};

} // namespace

class tst_ShownBlock : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void loadShowsEachByteOfTheBlockOnceInOrder_data();
    void loadShowsEachByteOfTheBlockOnceInOrder();
    void aFailingByteLeavesExactlyTheRowsBeforeIt_data();
    void aFailingByteLeavesExactlyTheRowsBeforeIt();
    void aFileThatShrinksDuringALoadStopsAtItsNewEnd();
    void blockCommandsMoveByThePlacementRule_data();
    void blockCommandsMoveByThePlacementRule();
    void goingToAByteShowsAWholeBlock_data();
    void goingToAByteShowsAWholeBlock();
    void commitWritesTheConvertedByteAtTheRowsOffset_data();
    void commitWritesTheConvertedByteAtTheRowsOffset();
    void aTextThatIsNoNumberIsNeitherWrittenNorShown();
    void anEditOfARowNoLoadFilledIsWrittenNowhere();
    void aHandBackOfTheShownTextIsNoChange();
    void findLooksFromTheCurrentByteAndWrapsOnce_data();
    void findLooksFromTheCurrentByteAndWrapsOnce();
    void writesAreTakenBackAndMadeAgainInOrder_data();
    void writesAreTakenBackAndMadeAgainInOrder();
    void thePositionSurvivesARestart_data();
    void thePositionSurvivesARestart();

private:
    std::string makeFile(const char* name, qint64 size);
    QString play(ShownBlock& block, const QString& step);
    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingSink m_sink;
};

void tst_ShownBlock::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_sink = RecordingSink();
}

void tst_ShownBlock::cleanup()
{
    FileFaults::reset();
    m_dir.reset();
}

std::string tst_ShownBlock::makeFile(const char* name, qint64 size)
{
    const QString path = m_dir->filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(pattern(size)) != size)
        qFatal("cannot write %s", qPrintable(path));
    return path.toStdString();
}

static QByteArray contents(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void tst_ShownBlock::loadShowsEachByteOfTheBlockOnceInOrder_data()
{
    QTest::addColumn<int>("size"); // -1: no such file
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<int>("rows");

    QTest::newRow("one byte") << 1 << 0 << true << 1;
    QTest::newRow("two bytes") << 2 << 0 << true << 2;
    QTest::newRow("a whole block") << 8193 << 0 << true << 8193;
    QTest::newRow("a longer file: block and one") << 20000 << 0 << true << 8193;
    QTest::newRow("the tail of a file") << 20000 << 16384 << true << 3616;
    QTest::newRow("the last block") << 10000 << 1809 << true << 8191;
    QTest::newRow("exactly one interval") << 256 << 0 << true << 256;
    QTest::newRow("one interval and a byte") << 257 << 0 << true << 257;
    QTest::newRow("a start at the end reads nothing") << 100 << 100 << true << 0;
    QTest::newRow("an empty file cannot be shown") << 0 << 0 << false << 0;
    QTest::newRow("a missing file cannot be shown") << -1 << 0 << false << 0;
}

void tst_ShownBlock::loadShowsEachByteOfTheBlockOnceInOrder()
{
    QFETCH(int, size);
    QFETCH(int, start);
    QFETCH(bool, opened);
    QFETCH(int, rows);
    const std::string path = size < 0 ? m_dir->filePath(QStringLiteral("none")).toStdString() : makeFile("f", size);
    ShownBlock block(m_sink);
    m_sink.rowCount = 40;

    QCOMPARE(block.load(path, start), opened);

    QCOMPARE(block.loadedRows(), rows);
    QCOMPARE(block.file(), path);
    QCOMPARE(m_sink.rowCount, std::max(2, rows + 1));
    const QByteArray bytes = contents(path);
    for (int r = 1; r <= rows; ++r) {
        QVERIFY2(m_sink.offsets[r] == start + r - 1, qPrintable(QStringLiteral("offset of row %1").arg(r)));
        QVERIFY2(m_sink.values[r] == static_cast<std::uint8_t>(bytes[start + r - 1]),
            qPrintable(QStringLiteral("byte of row %1").arg(r)));
    }
    QCOMPARE(m_sink.offsets[rows + 1], -1);
    QCOMPARE(m_sink.events, rows / ShownBlock::RowsBetweenEvents);
    // The hourglass only while the file is open for the load.
    QCOMPARE(m_sink.busy, (opened ? std::vector<bool> { true, false } : std::vector<bool> {}));
    QCOMPARE(block.canNavigate(), rows > 1);
    QVERIFY(!block.busy());
}

void tst_ShownBlock::aFailingByteLeavesExactlyTheRowsBeforeIt_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("nth"); // reads count bytes, positionings count intervals of 256 rows
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("rows");

    const int read = int(FileFaults::Op::Read), seek = int(FileFaults::Op::Seek);
    QTest::newRow("the first byte") << read << 1 << 0 << 0;
    QTest::newRow("the second byte") << read << 2 << 0 << 1;
    QTest::newRow("the last byte of an interval") << read << 256 << 0 << 255;
    QTest::newRow("the first byte of the second interval") << read << 257 << 0 << 256;
    QTest::newRow("inside the second interval") << read << 300 << 4096 << 299;
    QTest::newRow("the block's last byte") << read << 8193 << 0 << 8192;
    QTest::newRow("positioning for the first interval") << seek << 1 << 0 << 0;
    QTest::newRow("positioning for the third interval") << seek << 3 << 0 << 512;
    QTest::newRow("positioning for the last row") << seek << 33 << 0 << 8192;
}

void tst_ShownBlock::aFailingByteLeavesExactlyTheRowsBeforeIt()
{
    QFETCH(int, op);
    QFETCH(int, nth);
    QFETCH(int, start);
    QFETCH(int, rows);
    const std::string path = makeFile("f", 20000);
    ShownBlock block(m_sink);

    FileFaults::failNth(static_cast<FileFaults::Op>(op), nth, EIO);
    try {
        (void)block.load(path, start);
        QFAIL("the failure was not reported");
    } catch (const EInOutError& error) {
        QCOMPARE(error.message(), std::string("I/O error 5"));
    }

    QCOMPARE(block.loadedRows(), rows);
    QCOMPARE(m_sink.rowCount, std::max(2, rows + 1));
    for (int r = 1; r <= rows; ++r)
        QVERIFY2(m_sink.values[r] == static_cast<std::uint8_t>(patternByte(start + r - 1)),
            qPrintable(QStringLiteral("byte of row %1").arg(r)));
    QCOMPARE(m_sink.offsets[rows + 1], -1);
    QCOMPARE(m_sink.events, rows / ShownBlock::RowsBetweenEvents);
    QCOMPARE(m_sink.busy, (std::vector<bool> { true, false }));
    QVERIFY(!block.busy());
}

void tst_ShownBlock::aFileThatShrinksDuringALoadStopsAtItsNewEnd()
{
    const std::string path = makeFile("f", 20000);
    ShownBlock block(m_sink);
    m_sink.onEvents = [&] { QFile::resize(QString::fromStdString(path), 300); };
    try {
        (void)block.load(path, 0);
        QFAIL("the short read was not reported");
    } catch (const EInOutError& error) {
        QCOMPARE(error.message(), EInOutError(EInOutError::ReadBeyondEnd).message());
    }
    QCOMPARE(block.loadedRows(), 300);
    QCOMPARE(m_sink.values[300], static_cast<std::uint8_t>(patternByte(299)));
}

void tst_ShownBlock::blockCommandsMoveByThePlacementRule_data()
{
    QTest::addColumn<int>("size"); // -1: the file has gone
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("move");
    QTest::addColumn<int>("start");

    const int previous = int(ShownBlock::Move::Previous), next = int(ShownBlock::Move::Next),
              first = int(ShownBlock::Move::Start), end = int(ShownBlock::Move::End);
    QTest::newRow("next inside the file") << 10000 << 0 << next << 8192;
    QTest::newRow("next past the end shows the last block") << 10000 << 8192 << next << 1809;
    QTest::newRow("next from the last block stays") << 10000 << 1809 << next << 1809;
    QTest::newRow("next to exactly the end") << 16384 << 8192 << next << 8193;
    QTest::newRow("next in a file shorter than a block") << 5000 << 0 << next << 0;
    QTest::newRow("next when the file has gone") << -1 << 8192 << next << 0;
    QTest::newRow("previous") << 20000 << 16384 << previous << 8192;
    QTest::newRow("previous from inside the first block") << 20000 << 4096 << previous << 0;
    QTest::newRow("previous from the start") << 20000 << 0 << previous << 0;
    QTest::newRow("start") << 20000 << 11809 << first << 0;
    QTest::newRow("end") << 20000 << 0 << end << 11809;
    QTest::newRow("end of a file shorter than a block") << 5000 << 0 << end << 0;
    QTest::newRow("end of a file of one block") << 8191 << 0 << end << 0;
    QTest::newRow("end of a file of one block and a byte") << 8192 << 0 << end << 1;
    QTest::newRow("end when the file has gone") << -1 << 4096 << end << 0;
}

void tst_ShownBlock::blockCommandsMoveByThePlacementRule()
{
    QFETCH(int, size);
    QFETCH(int, from);
    QFETCH(int, move);
    QFETCH(int, start);
    const std::string path = size < 0 ? m_dir->filePath(QStringLiteral("none")).toStdString() : makeFile("f", size);
    ShownBlock block(m_sink);
    block.setStartByte(from);
    QCOMPARE(block.startFor(static_cast<ShownBlock::Move>(move), path), start);
}

void tst_ShownBlock::goingToAByteShowsAWholeBlock_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("start");
    QTest::newRow("inside the file") << 100 << 100;
    QTest::newRow("the first byte of the last block") << 1809 << 1809;
    QTest::newRow("inside the last block") << 1810 << 1809;
    QTest::newRow("the last byte") << 9999 << 1809;
    QTest::newRow("past the end") << 50000 << 1809;
    QTest::newRow("negative") << -5 << 0;
}

void tst_ShownBlock::goingToAByteShowsAWholeBlock()
{
    QFETCH(int, n);
    QFETCH(int, start);
    QCOMPARE(ShownBlock::startForByte(n, makeFile("f", 10000)), start);
}

void tst_ShownBlock::commitWritesTheConvertedByteAtTheRowsOffset_data()
{
    QTest::addColumn<int>("col");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("byte");

    QTest::newRow("hex, lower case") << 1 << QByteArray("ff") << 255;
    QTest::newRow("hex, low 8 bits") << 1 << QByteArray("1FF") << 255;
    QTest::newRow("hex, blanks around") << 1 << QByteArray("  7 ") << 7;
    QTest::newRow("hex, emptied") << 1 << QByteArray("") << 0;
    QTest::newRow("dec, beyond a byte") << 2 << QByteArray("300") << 44;
    QTest::newRow("dec, negative") << 2 << QByteArray("-1") << 255;
    QTest::newRow("dec, hex prefix") << 2 << QByteArray("$41") << 65;
    QTest::newRow("bin") << 3 << QByteArray("101") << 5;
    QTest::newRow("bin, no binary digit") << 3 << QByteArray("2") << 0;
    QTest::newRow("ascii") << 4 << QByteArray("A") << 65;
    QTest::newRow("ascii, first letter") << 4 << QByteArray("AB") << 65;
    QTest::newRow("ascii, blanks only") << 4 << QByteArray("   ") << 0;
    QTest::newRow("ascii, the control-code text") << 4 << QByteArray("<...>") << 60;
    QTest::newRow("ascii, a Cyrillic letter") << 4 << QByteArray("\xC6") << 0xC6;
}

void tst_ShownBlock::commitWritesTheConvertedByteAtTheRowsOffset()
{
    QFETCH(int, col);
    QFETCH(QByteArray, text);
    QFETCH(int, byte);
    const std::string path = makeFile("f", 20000);
    const std::string other = makeFile("other", 20000);
    ShownBlock block(m_sink);
    block.setStartByte(8192);
    QVERIFY(block.load(path, 8192));

    // Writing off: nothing reaches the file, and the row shows what the file holds.
    QVERIFY(block.commit(col, 5, text.toStdString(), false));
    QCOMPARE(contents(path), pattern(20000));
    QCOMPARE(m_sink.values[5], static_cast<std::uint8_t>(patternByte(8196)));

    // Writing on: the byte goes to the file the rows came from, at the row's offset, and the row shows it.
    QVERIFY(block.commit(col, 5, text.toStdString(), true));
    QByteArray expected = pattern(20000);
    expected[8196] = static_cast<char>(byte);
    QCOMPARE(contents(path), expected);
    QCOMPARE(contents(other), pattern(20000));
    QCOMPARE(m_sink.values[5], byte);
    QVERIFY(block.showsOwnText(1, 5, QByteArray::number(byte, 16).toUpper().rightJustified(2, '0').toStdString()));
}

void tst_ShownBlock::aTextThatIsNoNumberIsNeitherWrittenNorShown()
{
    const std::string path = makeFile("f", 100);
    ShownBlock block(m_sink);
    QVERIFY(block.load(path, 0));
    m_sink.values[3] = -1;
    for (const auto& [col, text, message] : { std::tuple { 1, "xyz", "'$xyz' is not a valid integer value" },
             std::tuple { 1, "$FF", "'$$FF' is not a valid integer value" },
             std::tuple { 2, "12a", "'12a' is not a valid integer value" } }) {
        try {
            (void)block.commit(col, 3, text, true);
            QFAIL(text);
        } catch (const EConvertError& error) {
            QCOMPARE(error.message(), std::string(message));
        }
    }
    QCOMPARE(contents(path), pattern(100));
    QCOMPARE(m_sink.values[3], -1);
}

void tst_ShownBlock::anEditOfARowNoLoadFilledIsWrittenNowhere()
{
    const std::string path = makeFile("f", 20000);
    ShownBlock block(m_sink);
    QVERIFY(block.load(path, 0));
    // The next block cannot be read: row 1 still shows offset 0, but belongs to no byte of the block at 8192.
    FileFaults::failNth(FileFaults::Op::Read, 1, EIO);
    block.setStartByte(8192);
    QVERIFY_THROWS_EXCEPTION(EInOutError, (void)block.load(path, 8192));
    FileFaults::reset();

    QVERIFY(!block.commit(1, 1, "AB", true));
    QVERIFY(block.commit(1, 1, "AB", false));
    QCOMPARE(contents(path), pattern(20000));
    QCOMPARE(m_sink.values[1], 0xAB);
    // A file that cannot be opened for writing is no success either.
    block.setStartByte(0);
    QVERIFY(block.load(path, 0));
    FileFaults::failNth(FileFaults::Op::Open, 1, EACCES);
    QVERIFY(!block.commit(1, 1, "AB", true));
    QCOMPARE(contents(path), pattern(20000));
}

void tst_ShownBlock::aHandBackOfTheShownTextIsNoChange()
{
    const std::string path = makeFile("f", 100);
    ShownBlock block(m_sink);
    QVERIFY(block.load(path, 0));
    const std::uint8_t byte = patternByte(9); // row 10
    const std::string hex = QByteArray::number(byte, 16).toUpper().rightJustified(2, '0').toStdString();
    QVERIFY(block.showsOwnText(1, 10, hex));
    QVERIFY(block.showsOwnText(2, 10, std::to_string(byte)));
    QVERIFY(!block.showsOwnText(2, 10, std::to_string(byte + 1)));
    QVERIFY(!block.showsOwnText(1, 10, ""));
    // A row the program never filled holds no text of its own but the empty one.
    QVERIFY(block.showsOwnText(1, 500, ""));
    QVERIFY(!block.showsOwnText(1, 500, "00"));
}

void tst_ShownBlock::findLooksFromTheCurrentByteAndWrapsOnce_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QList<qlonglong>>("at"); // where the needle is written, cut at the end of the file
    QTest::addColumn<qint64>("from");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<qint64>("found"); // -1: none

    const qint64 chunk = ByteSearch::ChunkSize, limit = INT32_MAX; // the program reaches offsets below limit
    QTest::newRow("at offset 0") << qint64(100) << QList<qlonglong> { 0 } << qint64(0) << true << qint64(0);
    QTest::newRow("at the byte searched from")
        << qint64(100) << QList<qlonglong> { 10 } << qint64(10) << true << qint64(10);
    QTest::newRow("the next one after it")
        << qint64(100) << QList<qlonglong> { 5, 20, 50 } << qint64(6) << true << qint64(20);
    QTest::newRow("across a chunk boundary")
        << 2 * chunk << QList<qlonglong> { chunk - 3 } << qint64(0) << true << chunk - 3;
    QTest::newRow("at the last bytes") << qint64(100) << QList<qlonglong> { 94 } << qint64(0) << true << qint64(94);
    QTest::newRow("cut off by the end") << qint64(100) << QList<qlonglong> { 95 } << qint64(0) << true << qint64(-1);
    QTest::newRow("wrapping") << qint64(100) << QList<qlonglong> { 5 } << qint64(50) << true << qint64(5);
    QTest::newRow("wrapping onto the byte searched from")
        << qint64(100) << QList<qlonglong> { 48 } << qint64(50) << true << qint64(48);
    QTest::newRow("backward") << qint64(100) << QList<qlonglong> { 5, 20, 50 } << qint64(49) << false << qint64(20);
    QTest::newRow("backward, wrapping") << qint64(100) << QList<qlonglong> { 50 } << qint64(10) << false << qint64(50);
    QTest::newRow("backward across a chunk boundary")
        << 2 * chunk + 100 << QList<qlonglong> { chunk - 2 } << 2 * chunk << false << chunk - 2;
    QTest::newRow("no match") << qint64(3 * chunk) << QList<qlonglong> {} << qint64(7) << true << qint64(-1);
    QTest::newRow("only wholly below the 2 GiB limit")
        << limit + 100 << QList<qlonglong> { limit - 103, limit - 3, limit + 10 } << limit + 50 << false << limit - 103;
}

void tst_ShownBlock::findLooksFromTheCurrentByteAndWrapsOnce()
{
    QFETCH(qint64, size);
    QFETCH(QList<qlonglong>, at);
    QFETCH(qint64, from);
    QFETCH(bool, forward);
    QFETCH(qint64, found);
    const QByteArray needle("QUILL!");
    QFile file(m_dir->filePath(QStringLiteral("f")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
    for (const qint64 offset : at)
        QVERIFY(file.seek(offset) && file.write(needle.left(int(std::min<qint64>(needle.size(), size - offset)))));
    file.close();
    ShownBlock block(m_sink);
    const auto result
        = block.find(file.fileName().toStdString(), needle.toStdString(), from, forward, [] { return false; });
    QVERIFY(result && !result->stopped);
    QCOMPARE(result->found.value_or(-1), found);
    QVERIFY(!block.busy());
}

// One step of a history table: "A 9000 CD" commits the Hex text CD at offset 9000 of file A (its block shown
// first), "undo" and "redo" show the byte's block as the window does and answer y (done), n (refused) or -
// (nothing to do), "poke A 10 77" writes a byte as another program.
QString tst_ShownBlock::play(ShownBlock& block, const QString& step)
{
    const QStringList words = step.split(QLatin1Char(' '));
    const auto file = [this](const QString& name) { return m_dir->filePath(name).toStdString(); };
    if (words[0] == QLatin1String("undo") || words[0] == QLatin1String("redo")) {
        const auto direction
            = words[0] == QLatin1String("undo") ? WriteHistory::Direction::Back : WriteHistory::Direction::Again;
        const auto write = block.history().next(direction);
        if (!write)
            return QStringLiteral("-");
        if (!block.shows(*write)) {
            block.setStartByte(write->startByte);
            (void)block.load(write->path, write->startByte);
        }
        return block.rewrite(direction) ? QStringLiteral("y") : QStringLiteral("n");
    }
    if (words[0] == QLatin1String("poke")) {
        QFile f(QString::fromStdString(file(words[1])));
        if (!f.open(QIODevice::ReadWrite) || !f.seek(words[2].toInt()) || !f.putChar(char(words[3].toInt(nullptr, 16))))
            qFatal("cannot poke");
        return {};
    }
    const std::int32_t offset = words[1].toInt();
    const std::int32_t start = offset / ShownBlock::BlockSpan * ShownBlock::BlockSpan;
    if (block.file() != file(words[0]) || block.startByte() != start) {
        block.setStartByte(start);
        (void)block.load(file(words[0]), start);
    }
    if (!block.commit(1, offset - start + 1, words[2].toStdString(), true))
        return QStringLiteral("refused");
    return {};
}

void tst_ShownBlock::writesAreTakenBackAndMadeAgainInOrder_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("answers"); // of the undo and redo steps
    QTest::addColumn<QStringList>("bytes"); // "A 10 AB": the byte there at the end; "A 10 --": the original one

    QTest::newRow("in one block") << QStringList { "A 10 AB", "A 11 CD", "undo", "undo", "redo" } << "yyy"
                                  << QStringList { "A 10 AB", "A 11 --" };
    QTest::newRow("the same byte twice") << QStringList { "A 10 AB", "A 10 CD", "undo", "undo", "redo", "redo" }
                                         << "yyyy" << QStringList { "A 10 CD" };
    QTest::newRow("across blocks and files") << QStringList { "A 10 AB", "A 9000 CD", "B 5 EF", "undo", "undo", "undo",
        "undo", "redo", "redo" } << "yyy-yy" << QStringList { "A 10 AB", "A 9000 CD", "B 5 --" };
    QTest::newRow("a new write drops what could be made again") << QStringList { "A 10 AB", "A 11 CD", "undo", "undo",
        "A 12 EF", "redo", "undo" } << "yy-y" << QStringList { "A 10 --", "A 11 --", "A 12 --" };
    QTest::newRow("refused after another program changed the byte, with the file's earlier writes")
        << QStringList { "A 11 CD", "B 5 EF", "A 10 AB", "poke A 10 77", "undo", "undo", "undo" } << "ny-"
        << QStringList { "A 10 77", "A 11 CD", "B 5 --" };
    QTest::newRow("made again refused after a change, with the file's later writes") << QStringList {
        "A 10 AB", "B 5 EF", "A 11 CD", "undo", "undo", "undo", "poke A 10 77", "redo", "redo", "redo"
    } << "yyyny-" << QStringList { "A 10 77", "A 11 --", "B 5 EF" };
    QTest::newRow("a byte another program already took back")
        << QStringList { "A 10 AB", "poke A 10 7D", "undo" } << "y" << QStringList { "A 10 --" };
}

void tst_ShownBlock::writesAreTakenBackAndMadeAgainInOrder()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, answers);
    QFETCH(QStringList, bytes);
    makeFile("A", 20000);
    makeFile("B", 20000);
    ShownBlock block(m_sink);
    QString answered;
    for (const QString& step : steps)
        answered += play(block, step);
    QCOMPARE(answered, answers);
    for (const QString& expected : bytes) {
        const QStringList words = expected.split(QLatin1Char(' '));
        const qint64 offset = words[1].toInt();
        const char byte = words[2] == QLatin1String("--") ? patternByte(offset) : char(words[2].toInt(nullptr, 16));
        QVERIFY2(contents(m_dir->filePath(words[0]).toStdString())[offset] == byte, qPrintable(expected));
    }
}

void tst_ShownBlock::thePositionSurvivesARestart_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("start");
    QTest::addColumn<QByteArray>("restored");
    QTest::newRow("a start inside the file") << QByteArray("/data/dump.bin") << 8192 << QByteArray("/data/dump.bin");
    QTest::newRow("a negative start is kept as it is")
        << QByteArray("/data/dump.bin") << -5 << QByteArray("/data/dump.bin");
    QTest::newRow("a Cyrillic path") << QByteArray("/data/\xD0\xB4\xD0\xB0.bin") << 0
                                     << QByteArray("/data/\xD0\xB4\xD0\xB0.bin");
    // Read back cut, the name would lead to another file, or to none.
    QTest::newRow("a name too long to read back whole") << "/" + QByteArray(2047, 'd') << 0 << QByteArray();
    QTest::newRow("the longest name read back") << "/" + QByteArray(2046, 'd') << 0 << "/" + QByteArray(2046, 'd');
}

void tst_ShownBlock::thePositionSurvivesARestart()
{
    QFETCH(QByteArray, file);
    QFETCH(int, start);
    QFETCH(QByteArray, restored);
    const std::string settings = m_dir->filePath(QStringLiteral("Quillmoor.ini")).toStdString();
    {
        ShownBlock block(m_sink);
        block.setSettingsFile(settings);
        QCOMPARE(block.restore(), std::string()); // nothing stored yet
        QCOMPARE(block.startByte(), 0);
        block.setStartByte(4096);
        block.storeFile("/elsewhere");
        block.setStartByte(start);
        block.storeFile(file.toStdString());
        block.setStartByte(start + 1);
        block.storeStartByte();
    }
    ShownBlock restarted(m_sink);
    restarted.setSettingsFile(settings);
    QCOMPARE(restarted.restore(), restored.toStdString());
    QCOMPARE(restarted.startByte(), start + 1);
}

QTEST_GUILESS_MAIN(tst_ShownBlock)
#include "tst_ShownBlock.moc"

#include "mainwindow/BlockView.h"
#include "mainwindow/Comparison.h"
#include "mainwindow/PatchCommand.h"
#include "mainwindow/ShownBlock.h"
#include "mainwindow/WindowText.h"
#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/FileCompare.h"
#include "support/FileFaults.h"
#include "support/HexText.h"
#include "support/StrHF.h"
#include "tests/PrivilegeDrop.h"
#include "tests/mainwindow/RowOracle.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The window's commands without the window: loads of real files, whose changes a recording watcher counts as rows,
// where each command moves, the commit of a typed byte into the file, undo, finding, and the position kept in the
// settings file.
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

QByteArray contents(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The byte at offset, read on the test's own, however large the file; -1 for none.
int byteAt(const std::string& path, qint64 offset)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    unsigned char byte = 0;
    const bool read = fd >= 0 && ::pread(fd, &byte, 1, offset) == 1;
    if (fd >= 0)
        ::close(fd);
    return read ? byte : -1;
}

// Stands in for the window: a path box, typed texts, and a record of what the block showed, its rows counted as the
// window's grid counts them (row r shows the byte at firstShown() + r - 1, below the header row).
class RecordingView : public BlockView {
public:
    std::string path;
    std::map<std::pair<int, Address>, std::string> typed;
    Address rowCount = 2;
    int events = 0;
    std::vector<bool> busy;
    std::vector<Notice> notices;
    std::vector<std::string> dropped;
    std::vector<AddressRange> bytesChanged;
    std::string shownFile;
    Address shownSize = 0;
    std::function<void()> onEvents;

    void follow(ShownBlock& block)
    {
        block.watch([this, &block](const BlockChange& change) {
            using Kind = BlockChange::Kind;
            const Address rowsTo = change.bytes.end - block.firstShown() + 1;
            if (change.kind == Kind::Emptied || change.kind == Kind::Loaded)
                rowCount = change.kind == Kind::Emptied ? 2 : rowsTo;
            else if (change.kind == Kind::LoadedMore)
                rowCount = std::max(rowCount, rowsTo);
            else if (change.kind == Kind::Bytes)
                bytesChanged.push_back(change.bytes);
        });
    }
    void showFile(const std::string& file) override
    {
        shownFile = file;
        path = file;
    }
    void showFileSize(Address size) override { shownSize = size; }
    std::string currentFile() const override { return path; }
    std::string typedText(std::int32_t col, Address address) const override
    {
        const auto it = typed.find({ col, address });
        return it == typed.end() ? std::string() : it->second;
    }
    void showNotice(Notice notice) override { notices.push_back(notice); }
    void showError(const Exception& error) override { dropped.push_back(error.message()); }
    void showRecovery(const WriteJournal::Recovery&) override { }
    void setBusy(bool on) override { busy.push_back(on); }
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
    void commitWritesTheConvertedByteAtItsAddress_data();
    void commitWritesTheConvertedByteAtItsAddress();
    void aCommitThatWritesNothingShowsWhatTheFileHolds_data();
    void aCommitThatWritesNothingShowsWhatTheFileHolds();
    void aTextThatIsNoNumberIsNeitherWrittenNorShown();
    void aMatchIsShownAsGoingToItsByteShowsIt();
    void writesAreTakenBackAndMadeAgainInOrder_data();
    void writesAreTakenBackAndMadeAgainInOrder();
    void thePositionSurvivesARestart_data();
    void thePositionSurvivesARestart();
    void aComparisonFindsEachDifferingRunAndItsPatchMakesTheOther_data();
    void aComparisonFindsEachDifferingRunAndItsPatchMakesTheOther();

private:
    std::string makeFile(const char* name, qint64 size);
    [[nodiscard]] std::string path(const char* name) const
    {
        return m_dir->filePath(QString::fromLatin1(name)).toStdString();
    }
    [[nodiscard]] std::string settings() const { return path("Quillmoor.ini"); }
    // The start the settings file keeps, read as written: in decimal, whatever its size.
    [[nodiscard]] qint64 storedStart() const
    {
        bool number = false;
        const qint64 start
            = QByteArray::fromStdString(SettingsReadString(settings(), "File", "StartByte", "")).toLongLong(&number);
        return number ? start : -1;
    }
    // A sparse file of size bytes, its first MiB the pattern and the rest a hole that reads as zeros.
    std::string makeSparse(const char* name, qint64 size)
    {
        const std::string made = makeFile(name, std::min<qint64>(size, 1 << 20));
        if (!QFile::resize(QString::fromStdString(made), size))
            qFatal("cannot grow %s", name);
        return made;
    }
    // The last load showed rows bytes of the file from start on, and the block shows each as the file holds it.
    void verifyRows(const ShownBlock& block, const std::string& file, Address start, int rows);
    // Types text into the column of a byte and moves on, as the window reports it.
    void commitTyped(ShownBlock& block, int col, Address address, const std::string& text);
    QString play(ShownBlock& block, const QString& step);

    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingView m_view;
};

void tst_ShownBlock::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_view = RecordingView();
}

void tst_ShownBlock::cleanup()
{
    FileFaults::reset();
    m_dir.reset();
}

std::string tst_ShownBlock::makeFile(const char* name, qint64 size)
{
    QFile f(QString::fromStdString(path(name)));
    if (!f.open(QIODevice::WriteOnly) || f.write(pattern(size)) != size)
        qFatal("cannot write %s", name);
    return path(name);
}

void tst_ShownBlock::verifyRows(const ShownBlock& block, const std::string& file, Address start, int rows)
{
    QCOMPARE(block.loaded().size(), Address(rows));
    QCOMPARE(m_view.rowCount, Address(std::max(2, rows + 1)));
    if (rows == 0)
        return;
    QCOMPARE(block.firstShown(), start);
    QFile f(QString::fromStdString(file));
    QVERIFY(f.open(QIODevice::ReadOnly) && f.seek(start));
    const QByteArray bytes = f.read(rows);
    QCOMPARE(QByteArray::fromStdString(block.shownBytes(block.loaded())), bytes);
    for (int i = 0; i < rows; ++i)
        QVERIFY2(block.shownByte(start + i) == static_cast<std::uint8_t>(bytes[i]),
            qPrintable(QStringLiteral("byte %1").arg(start + i)));
}

void tst_ShownBlock::commitTyped(ShownBlock& block, int col, Address address, const std::string& text)
{
    m_view.typed[{ col, address }] = text;
    block.edited(col, address);
    block.commitPending();
}

void tst_ShownBlock::loadShowsEachByteOfTheBlockOnceInOrder_data()
{
    QTest::addColumn<QString>("file"); // a size, or what else the path names
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("rows"); // -1: the file cannot be shown
    QTest::addColumn<qint64>("size"); // the size shown

    QTest::newRow("one byte") << "1" << 0 << 1 << qint64(1);
    QTest::newRow("two bytes") << "2" << 0 << 2 << qint64(2);
    QTest::newRow("a whole block") << "8193" << 0 << 8193 << qint64(8193);
    QTest::newRow("a longer file: block and one") << "20000" << 0 << 8193 << qint64(20000);
    QTest::newRow("the tail of a file") << "20000" << 16384 << 3616 << qint64(20000);
    QTest::newRow("the last block") << "10000" << 1809 << 8191 << qint64(10000);
    QTest::newRow("exactly one interval") << "256" << 0 << 256 << qint64(256);
    QTest::newRow("one interval and a byte") << "257" << 0 << 257 << qint64(257);
    QTest::newRow("a start at the end reads nothing") << "100" << 100 << 0 << qint64(100);
    QTest::newRow("an empty file") << "0" << 0 << -1 << qint64(0);
    QTest::newRow("no such file") << "missing" << 0 << -1 << qint64(-1);
    QTest::newRow("a folder") << "folder" << 0 << -1 << qint64(-1);
    QTest::newRow("a FIFO, never waited for") << "fifo" << 0 << -1 << qint64(-1);
    QTest::newRow("a device") << "/dev/zero" << 0 << -1 << qint64(-1);
    QTest::newRow("a file only its owner may read") << "secret" << 0 << -1 << qint64(-1);
    QTest::newRow("a file of 3 GiB: the rows across 2 GiB")
        << "sparse" << 2147483647 - 100 << 8193 << (qint64(3) << 30);
}

void tst_ShownBlock::loadShowsEachByteOfTheBlockOnceInOrder()
{
    QFETCH(QString, file);
    QFETCH(int, start);
    QFETCH(int, rows);
    QFETCH(qint64, size);
    std::string name = path(file.toLatin1().constData());
    bool asNobody = false;
    if (file == QLatin1String("folder")) {
        QVERIFY(QDir(m_dir->path()).mkdir(file));
    } else if (file == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(name.c_str(), 0600), 0);
    } else if (file.startsWith(QLatin1Char('/'))) {
        name = file.toStdString();
    } else if (file == QLatin1String("secret")) {
        makeFile("secret", 100);
        // Root reads any file: it acts as another user for the load. Anyone else cannot read it at all.
        ::chmod(name.c_str(), ::geteuid() == 0 ? 0600 : 0);
        // The user who cannot read the file may still reach the settings and write them, in place.
        ::chmod(QFile::encodeName(m_dir->path()).constData(), 0755);
        ::chmod(makeFile("Quillmoor.ini", 0).c_str(), 0666);
        asNobody = true;
    } else if (file == QLatin1String("sparse")) {
        makeSparse("sparse", qint64(3) << 30);
    } else if (file != QLatin1String("missing")) {
        makeFile("f", file.toInt());
        name = path("f");
    }
    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    m_view.follow(block);
    m_view.rowCount = 40;
    if (asNobody) {
        const ActAsNobody nobody;
        block.open(name, start);
    } else {
        block.open(name, start);
    }

    QCOMPARE(m_view.shownFile, name);
    QCOMPARE(m_view.shownSize, size);
    QCOMPARE(m_view.notices,
        rows < 0 ? std::vector<BlockView::Notice> { BlockView::Notice::CannotOpen }
                 : std::vector<BlockView::Notice> {});
    verifyRows(block, name, start, std::max(rows, 0));
    QCOMPARE(m_view.events, std::max(rows, 0) / ShownBlock::RowsBetweenEvents);
    // The hourglass only while the file is open for the load.
    QCOMPARE(m_view.busy, (rows >= 0 ? std::vector<bool> { true, false } : std::vector<bool> {}));
    QCOMPARE(block.canNavigate(), rows > 1);
    QVERIFY(!block.busy());
    // The open command stores the file and the start whatever the load found.
    QCOMPARE(SettingsReadString(settings(), "File", "NameFile", ""), name);
    QCOMPARE(SettingsReadInt(settings(), "File", "StartByte", -1), start);
}

void tst_ShownBlock::aFailingByteLeavesExactlyTheRowsBeforeIt_data()
{
    QTest::addColumn<int>("nth"); // the byte of the load that cannot be read
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("rows");

    QTest::newRow("the first byte") << 1 << 0 << 0;
    QTest::newRow("the second byte") << 2 << 0 << 1;
    QTest::newRow("the last byte of an interval") << 256 << 0 << 255;
    QTest::newRow("the first byte of the second interval") << 257 << 0 << 256;
    QTest::newRow("inside the second interval") << 300 << 4096 << 299;
    QTest::newRow("the block's last byte") << 8193 << 0 << 8192;
}

void tst_ShownBlock::aFailingByteLeavesExactlyTheRowsBeforeIt()
{
    QFETCH(int, nth);
    QFETCH(int, start);
    QFETCH(int, rows);
    const std::string file = makeFile("f", 20000);
    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    m_view.follow(block);

    FileFaults::failNth(FileFaults::Op::Read, nth, EIO);
    try {
        block.open(file, start);
        QFAIL("the failure was not reported");
    } catch (const EInOutError& error) {
        QCOMPARE(error.message(), std::string("I/O error 5"));
    }

    verifyRows(block, file, start, rows);
    QCOMPARE(m_view.events, rows / ShownBlock::RowsBetweenEvents);
    QCOMPARE(m_view.busy, (std::vector<bool> { true, false }));
    QVERIFY(!block.busy());
    // The command stopped there: nothing was stored.
    QVERIFY(!QFile::exists(QString::fromStdString(settings())));
}

void tst_ShownBlock::aFileThatShrinksDuringALoadStopsAtItsNewEnd()
{
    const std::string file = makeFile("f", 20000);
    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    m_view.follow(block);
    m_view.onEvents = [&] { QFile::resize(QString::fromStdString(file), 300); };
    try {
        block.open(file, 0);
        QFAIL("the short read was not reported");
    } catch (const EInOutError& error) {
        QCOMPARE(error.message(), EInOutError(EInOutError::ReadBeyondEnd).message());
    }
    verifyRows(block, file, 0, 300);
}

void tst_ShownBlock::blockCommandsMoveByThePlacementRule_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("command"); // next, previous, start, end, "go N", or "gone next" with the file deleted
    QTest::addColumn<int>("start");

    QTest::newRow("next inside the file") << qint64(10000) << 0 << "next" << 8192;
    QTest::newRow("next past the end shows the last block") << qint64(10000) << 8192 << "next" << 1809;
    QTest::newRow("next from the last block stays") << qint64(10000) << 1809 << "next" << 1809;
    QTest::newRow("next to exactly the end") << qint64(16384) << 8192 << "next" << 8193;
    QTest::newRow("next in a file shorter than a block") << qint64(5000) << 0 << "next" << 0;
    QTest::newRow("next when the file has gone") << qint64(20000) << 8192 << "gone next" << 0;
    QTest::newRow("previous") << qint64(20000) << 16384 << "previous" << 8192;
    QTest::newRow("previous from inside the first block") << qint64(20000) << 4096 << "previous" << 0;
    QTest::newRow("previous from the start") << qint64(20000) << 0 << "previous" << 0;
    QTest::newRow("start") << qint64(20000) << 11809 << "start" << 0;
    QTest::newRow("end") << qint64(20000) << 0 << "end" << 11809;
    QTest::newRow("end of a file shorter than a block") << qint64(5000) << 0 << "end" << 0;
    QTest::newRow("end of a file of one block") << qint64(8191) << 0 << "end" << 0;
    QTest::newRow("end of a file of one block and a byte") << qint64(8192) << 0 << "end" << 1;
    QTest::newRow("end when the file has gone") << qint64(20000) << 4096 << "gone end" << 0;
    QTest::newRow("go to a byte inside the file") << qint64(10000) << 0 << "go 100" << 100;
    QTest::newRow("go to the first byte of the last block") << qint64(10000) << 0 << "go 1809" << 1809;
    QTest::newRow("go to a byte inside the last block: the whole block") << qint64(10000) << 0 << "go 1810" << 1809;
    QTest::newRow("go to the last byte") << qint64(10000) << 0 << "go 9999" << 1809;
    QTest::newRow("go past the end") << qint64(10000) << 0 << "go 2147483647" << 1809;
    QTest::newRow("go to a negative byte") << qint64(10000) << 8192 << "go -5" << 0;
}

void tst_ShownBlock::blockCommandsMoveByThePlacementRule()
{
    QFETCH(qint64, size);
    QFETCH(int, from);
    QFETCH(QString, command);
    QFETCH(int, start);
    const std::string file = path("f");
    QFile f(QString::fromStdString(file));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(pattern(std::min<qint64>(size, 1 << 20))) && f.resize(size));
    f.close();
    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    m_view.follow(block);
    block.open(file, from);
    QVERIFY(block.canNavigate());

    QStringList words = command.split(QLatin1Char(' '));
    if (words.front() == QLatin1String("gone")) {
        QVERIFY(f.remove());
        words.removeFirst();
    }
    const std::map<QString, ShownBlock::Move> moves { { "next", ShownBlock::Move::Next },
        { "previous", ShownBlock::Move::Previous }, { "start", ShownBlock::Move::Start },
        { "end", ShownBlock::Move::End } };
    if (words.front() == QLatin1String("go"))
        block.goToByte(words[1].toLongLong());
    else
        block.move(moves.at(words.front()));

    QCOMPARE(block.startByte(), start);
    QCOMPARE(SettingsReadInt(settings(), "File", "StartByte", -1), start);
    if (command.startsWith(QLatin1String("gone")))
        QCOMPARE(m_view.notices, std::vector<BlockView::Notice> { BlockView::Notice::CannotOpen });
    else
        verifyRows(block, file, start, int(std::min<qint64>(8193, size - start)));
}

void tst_ShownBlock::commitWritesTheConvertedByteAtItsAddress_data()
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

void tst_ShownBlock::commitWritesTheConvertedByteAtItsAddress()
{
    QFETCH(int, col);
    QFETCH(QByteArray, text);
    QFETCH(int, byte);
    const std::string file = makeFile("f", 20000);
    const std::string other = makeFile("other", 20000);
    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    m_view.follow(block);
    block.open(file, 8192);
    block.setWriting(true);

    // The byte goes to the file the bytes came from, at its address, and is shown.
    commitTyped(block, col, 8196, text.toStdString());
    QByteArray expected = pattern(20000);
    expected[8196] = static_cast<char>(byte);
    QCOMPARE(contents(file), expected);
    QCOMPARE(contents(other), pattern(20000));
    QVERIFY(m_view.notices.empty());
    QVERIFY(!block.editPending());
    verifyRows(block, file, 8192, 8193);
}

void tst_ShownBlock::aCommitThatWritesNothingShowsWhatTheFileHolds_data()
{
    QTest::addColumn<QString>("before"); // what happens between the load and the commit
    QTest::addColumn<bool>("writing");
    QTest::addColumn<bool>("noticed");
    QTest::addColumn<QByteArray>("shown"); // the Hex cell of the row afterwards: "file", the byte the file holds

    QTest::newRow("writing off") << "" << false << false << QByteArray("file");
    QTest::newRow("the file renamed away") << "vanish" << true << true << QByteArray("AB");
    QTest::newRow("the file cut short") << "cut" << true << true << QByteArray("AB");
    QTest::newRow("another file renamed over it") << "replace" << true << true << QByteArray("77");
    QTest::newRow("the byte changed by another program") << "poke" << true << true << QByteArray("77");
    QTest::newRow("the file cannot be opened for writing") << "locked" << true << true << QByteArray("AB");
    QTest::newRow("a row left from a failed load") << "failed load" << true << true << QByteArray("AB");
    QTest::newRow("a row left from a failed load, writing off") << "failed load" << false << false << QByteArray("AB");
}

void tst_ShownBlock::aCommitThatWritesNothingShowsWhatTheFileHolds()
{
    QFETCH(QString, before);
    QFETCH(bool, writing);
    QFETCH(bool, noticed);
    QFETCH(QByteArray, shown);
    const std::string file = makeFile("f", 20000);
    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    m_view.follow(block);
    block.open(file, 0);
    block.setWriting(writing);
    QByteArray expected = pattern(20000);
    const auto other = [&](char byte) {
        const std::string name = path("other");
        QFile f(QString::fromStdString(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray(100, byte)) != 100)
            qFatal("cannot write %s", name.c_str());
        return name;
    };
    if (before == QLatin1String("vanish")) {
        QVERIFY(QFile::rename(QString::fromStdString(file), QString::fromStdString(file + ".gone")));
    } else if (before == QLatin1String("replace")) {
        QFile::remove(QString::fromStdString(file));
        QVERIFY(QFile::rename(QString::fromStdString(other('\x77')), QString::fromStdString(file)));
        expected = QByteArray(100, '\x77');
    } else if (before == QLatin1String("poke")) {
        QFile f(QString::fromStdString(file));
        QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(0) && f.putChar('\x77'));
        expected[0] = '\x77';
    } else if (before == QLatin1String("cut")) {
        QVERIFY(QFile::resize(QString::fromStdString(file), 0));
        expected.clear();
    } else if (before == QLatin1String("locked")) {
        FileFaults::failNth(FileFaults::Op::Open, 1, EACCES);
    } else if (before == QLatin1String("failed load")) {
        // Row 1 still shows offset 0, but belongs to no byte of the block at 8192.
        FileFaults::failNth(FileFaults::Op::Read, 1, EIO);
        QVERIFY_THROWS_EXCEPTION(EInOutError, block.move(ShownBlock::Move::Next));
        FileFaults::reset();
        QCOMPARE(block.firstShown(), Address(0));
    }
    // The path box names another file meanwhile: edits still go to the file the rows were loaded from.
    m_view.path = other('\x11');
    commitTyped(block, 1, 0, "AB");

    QCOMPARE(contents(before == QLatin1String("vanish") ? file + ".gone" : file), expected);
    QCOMPARE(contents(m_view.path), QByteArray(100, '\x11'));
    QCOMPARE(m_view.notices,
        noticed ? std::vector<BlockView::Notice> { BlockView::Notice::CannotWrite }
                : std::vector<BlockView::Notice> {});
    QVERIFY(!block.editPending());
    const std::optional<std::uint8_t> byte = block.shownByte(0);
    QVERIFY(byte);
    const QByteArray hex = QByteArray::fromStdString(valueTexts(*byte)[0]);
    if (shown == "file")
        QCOMPARE(hex, QByteArray::fromStdString(valueTexts(static_cast<std::uint8_t>(expected[0]))[0]));
    else
        QCOMPARE(hex, shown);
}

void tst_ShownBlock::aTextThatIsNoNumberIsNeitherWrittenNorShown()
{
    const std::string file = makeFile("f", 20000);
    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    m_view.follow(block);
    block.open(file, 0);
    block.setWriting(true);
    for (const auto& [col, text, message] : { std::tuple { 1, "xyz", "'$xyz' is not a valid integer value" },
             std::tuple { 1, "$FF", "'$$FF' is not a valid integer value" },
             std::tuple { 2, "12a", "'12a' is not a valid integer value" } }) {
        try {
            commitTyped(block, col, 2, text);
            QFAIL(text);
        } catch (const EConvertError& error) {
            QCOMPARE(error.message(), std::string(message));
        }
        // The edit waits for a correction.
        QVERIFY(block.editPending());
    }
    QVERIFY(m_view.bytesChanged.empty());
    // Once the block changes it can wait no longer: it is dropped, its row showing its byte again, and the error said.
    block.move(ShownBlock::Move::Next);
    QCOMPARE(m_view.dropped, std::vector<std::string> { "'12a' is not a valid integer value" });
    QCOMPARE(m_view.bytesChanged, (std::vector<AddressRange> { { 2, 3 } }));
    QVERIFY(!block.editPending());
    QCOMPARE(block.startByte(), 8192);
    QCOMPARE(contents(file), pattern(20000));
}

void tst_ShownBlock::aMatchIsShownAsGoingToItsByteShowsIt()
{
    const std::string file = makeFile("f", 30000);
    QByteArray bytes = pattern(30000);
    QFile f(QString::fromStdString(file));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes.replace(100, 3, "MZ!").replace(29998, 2, "MZ")));
    f.close();
    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    m_view.follow(block);
    block.open(file, 0);
    block.setWriting(true);
    QVERIFY(!block.takeFindAnswer("4D5"));
    QVERIFY(block.takeFindAnswer("\"MZ\""));
    using Outcome = ShownBlock::Found::Outcome;
    // From the current address, as the window keeps it: the start and match it shows.
    const auto found = [&](ShownBlock::FindFrom from, Address current) {
        block.setCurrent(current);
        const ShownBlock::Found result = block.find(from, [] { return false; });
        return std::tuple(result.outcome, block.startByte(), result.match);
    };
    const auto matchAt = [](Address first) { return AddressRange { first, first + 2 }; };

    // A pending edit is committed first; the match is shown from its byte.
    m_view.typed[{ 1, 1 }] = "AB";
    block.edited(1, 1);
    QCOMPARE(found(ShownBlock::FindFrom::Here, 1), std::tuple(Outcome::Found, Address(100), matchAt(100)));
    QCOMPARE(contents(file)[1], '\xAB');
    QCOMPARE(SettingsReadInt(settings(), "File", "StartByte", -1), 100);
    QCOMPARE(found(ShownBlock::FindFrom::Here, 100), std::tuple(Outcome::Found, Address(100), matchAt(100)));
    // The last block shows the match at the file's end, cut off by nothing; then round to the start.
    QCOMPARE(found(ShownBlock::FindFrom::After, 100), std::tuple(Outcome::Found, Address(21809), matchAt(29998)));
    QCOMPARE(block.loaded().end, Address(30000));
    QCOMPARE(found(ShownBlock::FindFrom::After, 29998), std::tuple(Outcome::Found, Address(100), matchAt(100)));
    QCOMPARE(found(ShownBlock::FindFrom::Before, 100), std::tuple(Outcome::Found, Address(21809), matchAt(29998)));
    QCOMPARE(found(ShownBlock::FindFrom::Before, 29998), std::tuple(Outcome::Found, Address(100), matchAt(100)));
    // Another path typed while a command lets input run: the command keeps to the file it started on.
    const std::string other = path("other");
    QFile o(QString::fromStdString(other));
    QVERIFY(o.open(QIODevice::WriteOnly) && o.write(QByteArray(30000, '\0')));
    o.close();
    m_view.onEvents = [&] { m_view.path = other; };
    QCOMPARE(found(ShownBlock::FindFrom::After, 100), std::tuple(Outcome::Found, Address(21809), matchAt(29998)));
    verifyRows(block, file, 21809, 8191);
    block.open(file, 100);
    QCOMPARE(readWholeSettingsString(settings(), "File", "NameFile", ""), file);
    m_view.onEvents = nullptr;
    m_view.path = file;
    // Stopped, not found and not opened move nothing.
    QVERIFY(block.takeFindAnswer("51 51"));
    block.setCurrent(100);
    QCOMPARE(block.find(ShownBlock::FindFrom::After, [] { return true; }).outcome, Outcome::Stopped);
    QCOMPARE(found(ShownBlock::FindFrom::Here, 100), std::tuple(Outcome::NotFound, Address(100), AddressRange {}));
    m_view.path = path("missing");
    QCOMPARE(found(ShownBlock::FindFrom::Here, 100), std::tuple(Outcome::CannotOpen, Address(100), AddressRange {}));
    QCOMPARE(block.findAnswer(), std::string("51 51"));
    QVERIFY(!block.busy());
}

// One step of a history table: "A 9000 CD" commits the Hex text CD at offset 9000 of file A (its block shown
// first), "undo" and "redo" answer y (done), n (refused) or - (nothing to do), "poke A 10 77" writes a byte as
// another program.
QString tst_ShownBlock::play(ShownBlock& block, const QString& step)
{
    const QStringList words = step.split(QLatin1Char(' '));
    const auto file = [this](const QString& name) { return m_dir->filePath(name).toStdString(); };
    if (words[0] == QLatin1String("undo") || words[0] == QLatin1String("redo")) {
        // "undo typing 41": 41 is typed into row 1 while the undo's reload lets input run.
        if (words.size() == 3)
            m_view.onEvents = [&, text = words[2].toStdString(), typed = false]() mutable {
                if (!std::exchange(typed, true))
                    commitTyped(block, 1, block.firstShown(), text);
            };
        const std::size_t notices = m_view.notices.size();
        const bool done = block
                              .rewrite(words[0] == QLatin1String("undo") ? WriteHistory::Direction::Back
                                                                         : WriteHistory::Direction::Again)
                              .has_value();
        m_view.onEvents = nullptr;
        if (m_view.notices.size() != notices)
            return QStringLiteral("n");
        return done ? QStringLiteral("y") : QStringLiteral("-");
    }
    // "paste A 10 AABB" pastes two bytes at offset 10; "fill A 10 14 00" fills offsets 10 to 14 with 00.
    if (words[0] == QLatin1String("paste") || words[0] == QLatin1String("fill")) {
        const bool fill = words[0] == QLatin1String("fill");
        const Address from = words[2].toLongLong();
        const Address start = from / ShownBlock::BlockSpan * ShownBlock::BlockSpan;
        if (m_view.shownFile != file(words[1]) || block.startByte() != start)
            block.open(file(words[1]), start);
        const Address to = fill ? words[3].toLongLong() : from;
        // A paste's bytes come raw, a fill's as the text of hex pairs.
        const QString hex = words[fill ? 4 : 3];
        const ClipboardContent clipboard {
            fill ? std::nullopt : std::optional(QByteArray::fromHex(hex.toLatin1()).toStdString()), hex
        };
        using Outcome = ShownBlock::Pasted::Outcome;
        const Outcome pasted = block.paste({ from, to + 1 }, clipboard).outcome;
        return pasted == Outcome::Written   ? QString()
            : pasted == Outcome::DoesNotFit ? QStringLiteral("(does not fit)")
            : pasted == Outcome::NotWritten ? QStringLiteral("(refused)")
                                            : QStringLiteral("(outcome %1)").arg(int(pasted));
    }
    // "replace A 0B30 EEFF" replaces in A, its first block shown; a fifth word N pokes 77 at offset N while the
    // search runs, "fail2" fails the second write to A, "cut2" cuts A to 300 bytes just before it. In the answers
    // "_" stands for a blank: "int32_1234".
    if (words[0] == QLatin1String("replace")) {
        if (m_view.shownFile != file(words[1]))
            block.open(file(words[1]), 0);
        if (!block.takeFindAnswer(QString(words[2]).replace('_', ' ').toStdString()))
            return QStringLiteral("(no answer)");
        if (words.size() > 4 && words[4].startsWith(QLatin1String("fail")))
            FileFaults::atNthWriteTo(file(words[1]), words[4].mid(4).toInt() - 1,
                [] { FileFaults::failNth(FileFaults::Op::Write, 1, EIO); });
        else if (words.size() > 4 && words[4].startsWith(QLatin1String("cut")))
            FileFaults::atNthWriteTo(file(words[1]), words[4].mid(3).toInt(),
                [&] { play(block, QStringLiteral("cut %1 300").arg(words[1])); });
        else if (words.size() > 4)
            m_view.onEvents = [&, at = words[4]] { play(block, QStringLiteral("poke %1 %2 77").arg(words[1], at)); };
        try {
            using Outcome = ShownBlock::Replaced::Outcome;
            const Outcome replaced
                = block.replaceAll(QString(words[3]).replace('_', ' ').toStdString(), [] { return false; }).outcome;
            m_view.onEvents = nullptr;
            return replaced == Outcome::Replaced  ? QString()
                : replaced == Outcome::NotWritten ? QStringLiteral("(refused)")
                                                  : QStringLiteral("(outcome %1)").arg(int(replaced));
        } catch (const EInOutError&) {
            return QStringLiteral("(error)");
        }
    }
    if (words[0] == QLatin1String("open")) {
        block.open(file(words[1]), words[2].toLongLong());
        return {};
    }
    // "move end", "move next", "move go 4294967296": a block command on the file shown.
    if (words[0] == QLatin1String("move")) {
        const std::map<QString, ShownBlock::Move> moves { { "next", ShownBlock::Move::Next },
            { "previous", ShownBlock::Move::Previous }, { "end", ShownBlock::Move::End } };
        if (words[1] == QLatin1String("go"))
            block.goToByte(words[2].toLongLong());
        else
            block.move(moves.at(words[1]));
        return {};
    }
    // "find L 4D5A" looks from the start of L on: "@N" for a match at offset N, with its block shown.
    if (words[0] == QLatin1String("find")) {
        block.open(file(words[1]), 0);
        if (!block.takeFindAnswer(words[2].toStdString()))
            return QStringLiteral("(no answer)");
        const ShownBlock::Found found = block.find(ShownBlock::FindFrom::Here, [] { return false; });
        return found.outcome == ShownBlock::Found::Outcome::Found && block.loaded().contains(found.match.begin)
            ? QStringLiteral("@%1").arg(found.match.begin)
            : QStringLiteral("(outcome %1)").arg(int(found.outcome));
    }
    if (words[0] == QLatin1String("cut")) {
        return QFile::resize(m_dir->filePath(words[1]), words[2].toLongLong()) ? QString() : QStringLiteral("uncut");
    }
    // "shows A 10000 1808": the size shown and the block's start, with the block commands at work.
    if (words[0] == QLatin1String("shows"))
        return m_view.shownSize == words[2].toLongLong() && block.startByte() == words[3].toLongLong()
                && block.canNavigate()
            ? QString()
            : QStringLiteral("[%1 %2]").arg(m_view.shownSize).arg(block.startByte());
    // "net A": the lines of the run's changes of A, as "[10 ABCD]" (their offset and new bytes).
    if (words[0] == QLatin1String("net")) {
        block.open(file(words[1]), 0);
        const ByteChanges changes = block.netChanges();
        QString lines;
        for (std::size_t i = 0; i < changes.size(); ++i)
            lines += QStringLiteral("[%1 %2]")
                         .arg(changes[i].offset)
                         .arg(QString::fromLatin1(
                             QByteArray::fromStdString(std::string(changes[i].after)).toHex().toUpper()));
        return lines;
    }
    // "remake A": another program makes A anew under its name, with the same bytes.
    if (words[0] == QLatin1String("remake")) {
        const QString made = m_dir->filePath(words[1]);
        return QFile::copy(made, made + ".new") && std::rename(qPrintable(made + ".new"), qPrintable(made)) == 0
            ? QString()
            : QStringLiteral("(not made again)");
    }
    if (words[0] == QLatin1String("poke")) {
        QFile f(QString::fromStdString(file(words[1])));
        if (!f.open(QIODevice::ReadWrite) || !f.seek(words[2].toLongLong())
            || !f.putChar(char(words[3].toInt(nullptr, 16))))
            qFatal("cannot poke");
        return {};
    }
    const Address offset = words[1].toLongLong();
    const Address start = offset / ShownBlock::BlockSpan * ShownBlock::BlockSpan;
    if (m_view.shownFile != file(words[0]) || block.startByte() != start)
        block.open(file(words[0]), start);
    const std::size_t notices = m_view.notices.size();
    commitTyped(block, 1, offset, words[2].toStdString());
    return m_view.notices.size() == notices ? QString() : QStringLiteral("refused");
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
        << QStringList { "A 11 CD", "B 5 EF", "A 10 AB", "poke A 10 77", "undo", "undo", "undo", "net A" }
        << "ny-[10 ABCD]" << QStringList { "A 10 77", "A 11 CD", "B 5 --" };
    QTest::newRow("made again refused after a change, with the file's later writes") << QStringList {
        "A 10 AB", "B 5 EF", "A 11 CD", "undo", "undo", "undo", "poke A 10 77", "redo", "redo", "redo"
    } << "yyyny-" << QStringList { "A 10 77", "A 11 --", "B 5 EF" };
    QTest::newRow("undo takes back the write last at its key, not one typed during its reload")
        << QStringList { "A 4 EE", "open A 16384", "undo typing 41" } << "y" << QStringList { "A 4 --", "A 0 41" };
    QTest::newRow("redo makes the write next at its key, not one typed during its reload") << QStringList { "A 4 EE",
        "undo", "open A 16384", "redo typing 41" } << "yy" << QStringList { "A 4 EE", "A 0 41" };
    QTest::newRow("a refused undo shows the file as it is now, and the block commands work")
        << QStringList { "A 16390 EE", "open A 8192", "cut A 10000", "undo", "shows A 10000 1809" } << "n"
        << QStringList { "A 8192 --" };
    QTest::newRow("a paste is one step") << QStringList { "paste A 10 AABBCC", "undo", "redo" } << "yy"
                                         << QStringList { "A 10 AA", "A 11 BB", "A 12 CC", "A 13 --" };
    QTest::newRow("a fill repeats the bytes over the rows, then is taken back whole")
        << QStringList { "fill A 10 14 0102", "A 20 EE", "undo", "undo" } << "yy"
        << QStringList { "A 10 --", "A 12 --", "A 14 --", "A 20 --" };
    QTest::newRow("a fill as long as the rows")
        << QStringList { "fill A 10 14 0102" } << "" << QStringList { "A 10 01", "A 11 02", "A 14 01", "A 15 --" };
    QTest::newRow("a paste over one changed byte writes none") << QStringList { "open A 0", "poke A 11 77",
        "paste A 10 AABBCC" } << "(refused)" << QStringList { "A 10 --", "A 11 77", "A 12 --" };
    QTest::newRow("a paste past the last row writes none")
        << QStringList { "paste A 19998 AABBCC" } << "(does not fit)" << QStringList { "A 19998 --", "A 19999 --" };
    // 0B 30 stands at every offset that is a multiple of 256.
    QTest::newRow("a replace is one step over every match") << QStringList { "replace A 0B30 EEFF", "undo",
        "redo" } << "yy" << QStringList { "A 0 EE", "A 1 FF", "A 19969 FF", "A 2 --" };
    QTest::newRow("a replace by the same bytes writes nothing and is no step")
        << QStringList { "A 10 AB", "replace A 0B30 0B30", "undo" } << "y" << QStringList { "A 10 --" };
    QTest::newRow("a replace refused by one match changed during the search writes none")
        << QStringList { "replace A 0B30 EEFF 512" } << "(refused)"
        << QStringList { "A 0 --", "A 512 77", "A 19968 --" };
    QTest::newRow("a replace failing part way puts back what it wrote")
        << QStringList { "replace A 0B30 EEFF fail2" } << "(error)" << QStringList { "A 0 --", "A 256 --", "A 512 --" };
    QTest::newRow("a replace cut short by another program keeps every byte below the cut, and shows the new size")
        << QStringList { "replace A 0B30 EEFF cut2", "shows A 300 0" } << "(refused)"
        << QStringList { "A 0 --", "A 256 --", "A 299 --" };
    QTest::newRow("a replace keeps the bytes each match has under ??")
        << QStringList { "poke A 257 77", "replace A 0B??55 EE??FF", "undo", "redo" } << "yy"
        << QStringList { "A 0 EE", "A 1 --", "A 2 FF", "A 256 EE", "A 257 77", "A 258 FF", "A 259 --" };
    QTest::newRow("a number replaced in the byte order of each match") << QStringList { "poke A 1000 34",
        "poke A 1001 12", "poke A 3000 12", "poke A 3001 34", "replace A uint16_4660 int16_0x5678", "undo",
        "redo" } << "yy" << QStringList { "A 1000 78", "A 1001 56", "A 3000 56", "A 3001 78" };
    // Refused: ?? over a known byte, a number by bytes and bytes by a number, a number of another width, a number
    // without an order of its own by one with, only wildcards, no value of the type.
    QTest::newRow("every other mix is refused, nothing written")
        << QStringList { "replace A 0B30 ??FF", "replace A uint16_4660 EEFF", "replace A 0B30 uint16_5",
               "replace A uint16_4660 int32_5", "replace A uint16_0x3030 uint16_5", "replace A 0B?? ????",
               "replace A 0B30 int8_300" }
        << "(outcome 10)(outcome 11)(outcome 11)(outcome 12)(outcome 13)(outcome 8)(outcome 9)"
        << QStringList { "A 0 --", "A 1 --", "A 256 --" };
    QTest::newRow("the run's changes: a byte written back to its old value drops out, neighbours join")
        << QStringList { "A 0 EE", "A 1 EE", "A 2 EE", "A 1 30", "A 3 EE", "A 1 DD", "undo", "net A" }
        << "y[0 EE][2 EEEE]" << QStringList { "A 1 --" };
    QTest::newRow("a byte another program already took back")
        << QStringList { "A 10 AB", "poke A 10 7D", "undo" } << "y" << QStringList { "A 10 --" };
    QTest::newRow("a file made again under its name: its writes are its own, the old file's refused")
        << QStringList { "A 10 AB", "remake A", "open A 0", "A 11 CD", "undo", "undo" } << "yn"
        << QStringList { "A 10 AB", "A 11 --" };
    QTest::newRow("a refused undo keeps what can be made again") << QStringList { "A 10 AB", "A 11 CD", "undo",
        "poke A 10 77", "undo", "redo" } << "yny" << QStringList { "A 10 77", "A 11 CD" };
    QTest::newRow("the run's changes: writes kept on disk after a refusal come before later ones")
        << QStringList { "A 10 AB", "A 11 CD", "poke A 11 77", "undo", "A 10 EE", "net A" } << "n[10 EECD]"
        << QStringList { "A 10 EE", "A 11 77" };
    QTest::newRow("a replace over matches that meet")
        << QStringList { "poke A 100 AA", "poke A 101 AA", "poke A 102 AA", "poke A 103 AA", "replace A AAAA EEFF" }
        << "" << QStringList { "A 100 EE", "A 101 FF", "A 102 EE", "A 103 FF" };
    // L is a sparse file of 8 GiB: zeros but for the first MiB.
    QTest::newRow("past 4 GiB: the end, go to 0x1_0000_0000, next and previous across 4 GiB, go to it past 3 GiB")
        << QStringList { "open L 0", "move end", "shows L 8589934592 8589926401", "move go 4294967296",
               "shows L 8589934592 4294967296", "open L 4294967196", "move next", "shows L 8589934592 4294975388",
               "move previous", "move previous", "shows L 8589934592 4294959004", "cut L 3221225472", "open L 0",
               "move go 4294967296", "shows L 3221225472 3221217281" }
        << "" << QStringList {};
    QTest::newRow("past 4 GiB: a paste at 5 GiB taken back and made again, a typed byte")
        << QStringList { "paste L 5368709120 AABBCC", "undo", "redo", "L 4294967300 AB", "undo" } << "yyy"
        << QStringList { "L 5368709120 AA", "L 5368709122 CC", "L 5368709123 00", "L 4294967300 00" };
    QTest::newRow("past 4 GiB: found, replaced, taken back") << QStringList {
        "poke L 6442450944 4D", "poke L 6442450945 5A", "find L 4D5A", "replace L 4D5A EEFF", "undo", "redo"
    } << "@6442450944yy" << QStringList { "L 6442450944 EE", "L 6442450945 FF", "L 6442450946 00" };
}

void tst_ShownBlock::writesAreTakenBackAndMadeAgainInOrder()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, answers);
    QFETCH(QStringList, bytes);
    makeFile("A", 20000);
    makeFile("B", 20000);
    makeSparse("L", qint64(8) << 30);
    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    m_view.follow(block);
    block.setWriting(true);
    QString answered;
    for (const QString& step : steps)
        answered += play(block, step);
    QCOMPARE(answered, answers);
    for (const QString& expected : bytes) {
        const QStringList words = expected.split(QLatin1Char(' '));
        const qint64 offset = words[1].toLongLong();
        const char byte = words[2] == QLatin1String("--") ? patternByte(offset) : char(words[2].toInt(nullptr, 16));
        QVERIFY2(byteAt(m_dir->filePath(words[0]).toStdString(), offset) == static_cast<unsigned char>(byte),
            qPrintable(expected));
    }
}

void tst_ShownBlock::thePositionSurvivesARestart_data()
{
    QTest::addColumn<QByteArray>("file"); // "<8 GiB>": a sparse file that large, "<cut>": one cut to 3 GiB since
    QTest::addColumn<qint64>("start");
    QTest::addColumn<QByteArray>("restored");
    QTest::addColumn<qint64>("taken"); // the start restored
    const auto row = [](const char* name, const QByteArray& file, qint64 start, const QByteArray& restored) {
        QTest::newRow(name) << file << start << restored << start;
    };
    row("a start inside the file", "/data/dump.bin", 8192, "/data/dump.bin");
    row("a negative start is kept as it is", "/data/dump.bin", -5, "/data/dump.bin");
    row("a Cyrillic path", "/data/\xD0\xB4\xD0\xB0.bin", 0, "/data/\xD0\xB4\xD0\xB0.bin");
    // Read back cut, the name would lead to another file, or to none.
    row("a name too long to read back whole", "/" + QByteArray(2047, 'd'), 0, QByteArray());
    row("the longest name read back", "/" + QByteArray(2046, 'd'), 0, "/" + QByteArray(2046, 'd'));
    row("a start past 4 GiB in a file that reaches it", "<8 GiB>", qint64(6) << 30, "<8 GiB>");
    QTest::newRow("a start past 4 GiB in a file cut short since: 0")
        << QByteArray("<cut>") << (qint64(6) << 30) << QByteArray("<cut>") << qint64(0);
    QTest::newRow("a start past 32 bits in a file that never reached it: 0")
        << QByteArray("/data/dump.bin") << (qint64(6) << 30) << QByteArray("/data/dump.bin") << qint64(0);
}

void tst_ShownBlock::thePositionSurvivesARestart()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, start);
    QFETCH(QByteArray, restored);
    QFETCH(qint64, taken);
    const bool cut = file == "<cut>";
    if (file.startsWith('<'))
        restored = file = QByteArray::fromStdString(makeSparse("big", qint64(8) << 30));
    {
        ShownBlock block(m_view);
        block.setSettingsFile(settings());
        QCOMPARE(block.restore(), std::string()); // nothing stored yet
        QCOMPARE(block.startByte(), 0);
        block.open("/elsewhere", 4096);
        block.open(file.toStdString(), start);
    }
    QCOMPARE(storedStart(), start);
    if (cut)
        QVERIFY(QFile::resize(QString::fromUtf8(file), qint64(3) << 30));
    ShownBlock restarted(m_view);
    restarted.setSettingsFile(settings());
    QCOMPARE(restarted.restore(), restored.toStdString());
    QCOMPARE(restarted.startByte(), taken);
}

using Runs = QList<QPair<qint64, qint64>>; // offset and length of each differing run

void tst_ShownBlock::aComparisonFindsEachDifferingRunAndItsPatchMakesTheOther_data()
{
    QTest::addColumn<qint64>("ourSize");
    QTest::addColumn<qint64>("theirSize");
    QTest::addColumn<Runs>("runs"); // apart, in order, within both files
    QTest::addColumn<QString>("notice");
    constexpr auto chunk = qint64(FileCompare::ChunkSize);
    const auto row = [](const char* name, qint64 ours, qint64 theirs, const Runs& runs, const char* notice) {
        QTest::newRow(name) << ours << theirs << runs << QString::fromUtf8(notice);
    };
    row("equal", 20000, 20000, {}, "Отличий нет");
    row("the first byte", 20000, 20000, { { 0, 1 } }, "Различных байтов: 1, мест: 1");
    row("the last byte, and one before a block's end", 20000, 20000, { { 8191, 1 }, { 19999, 1 } },
        "Различных байтов: 2, мест: 2");
    row("bytes either side of a chunk's edge", chunk + 10, chunk + 10, { { chunk - 1, 1 }, { chunk + 1, 1 } },
        "Различных байтов: 2, мест: 2");
    row("a run across a chunk's edge", 2 * chunk + 1, 2 * chunk + 1, { { 5, 2 }, { chunk - 3, 6 }, { 2 * chunk, 1 } },
        "Различных байтов: 9, мест: 3");
    row("the other file shorter", 20000, 10000, { { 9990, 3 } },
        "Различных байтов: 3, мест: 1; размеры: 20000 и 10000");
    row("the other file longer", 9000, 30000, { { 100, 2 }, { 8999, 1 } },
        "Различных байтов: 3, мест: 2; размеры: 9000 и 30000");
    row("the other file empty", 100, 0, {}, "Отличий нет; размеры: 100 и 0");
    row("a run longer than a line of the patch holds", 200000, 200000, { { 10, 70000 } },
        "Различных байтов: 70000, мест: 1");
    // Large pairs are counted in two halves at once, split at a chunk's edge.
    row("a run across the halves of a large pair", 9 * chunk + 5, 9 * chunk + 5,
        { { 4 * chunk - 2, 4 }, { 8 * chunk + 1, 1 } }, "Различных байтов: 5, мест: 2");
    row("a byte just before the halves' edge and a run at a later chunk's first byte", 9 * chunk + 5, 9 * chunk + 5,
        { { 4 * chunk - 1, 1 }, { 8 * chunk, 2 } }, "Различных байтов: 3, мест: 2");
    row("runs in the second half only, one at the last byte", 9 * chunk + 5, 9 * chunk + 5,
        { { 6 * chunk, 1 }, { 9 * chunk + 4, 1 } }, "Различных байтов: 2, мест: 2");
}

void tst_ShownBlock::aComparisonFindsEachDifferingRunAndItsPatchMakesTheOther()
{
    QFETCH(qint64, ourSize);
    QFETCH(qint64, theirSize);
    QFETCH(Runs, runs);
    QFETCH(QString, notice);
    const std::string ours = makeFile("ours", ourSize);
    QByteArray theirBytes = pattern(theirSize);
    for (const auto& [offset, length] : runs)
        for (qint64 i = offset; i < offset + length; ++i)
            theirBytes[i] = char(theirBytes[i] ^ 0x5A);
    const std::string theirs = path("theirs");
    QFile theirFile(QString::fromStdString(theirs));
    QVERIFY(theirFile.open(QIODevice::WriteOnly) && theirFile.write(theirBytes) == theirSize);
    theirFile.close();

    ShownBlock block(m_view);
    block.setSettingsFile(settings());
    block.open(ours);
    int ended = 0;
    Comparison comparison(
        block, [] {}, [&](Comparison::Ended) { ++ended; });
    const Comparison::Started started = comparison.start(theirs, [] { return false; });
    QCOMPARE(started.outcome, Comparison::Outcome::Done);
    QCOMPARE(Cp1251::toQString(PatchCommand::comparedText(started.counts, started.ourSize, started.theirSize)), notice);
    QCOMPARE(started.counts.first.has_value(), !runs.isEmpty());
    if (!runs.isEmpty())
        QCOMPARE(*started.counts.first, (AddressRange { runs[0].first, runs[0].first + runs[0].second }));

    // Every row of the shown block is marked exactly where the bytes differ or the other file has none.
    const auto differs = [&](Address a) {
        return a >= theirSize || std::any_of(runs.begin(), runs.end(), [a](const QPair<qint64, qint64>& run) {
            return a >= run.first && a < run.first + run.second;
        });
    };
    const auto verifyMarks = [&] {
        for (Address a = block.loaded().begin; a < block.loaded().end; ++a)
            QVERIFY2(comparison.marked(a) == differs(a), qPrintable(QString::number(a)));
    };
    // F6 from the first run goes through the others and round to it; Shift+F6 goes round the other way. A run is
    // never its own next one.
    const qsizetype n = runs.size();
    for (const bool forward : { true, false }) {
        const Address first = n == 0 ? 0 : runs[0].first;
        block.goToByte(first);
        block.setCurrent(first);
        for (qsizetype i = 1; i <= std::max<qsizetype>(n, 1); ++i) {
            const Comparison::Stepped stepped = comparison.step(forward, [] { return false; });
            QCOMPARE(stepped.outcome, Comparison::Outcome::Done);
            std::optional<AddressRange> expected;
            if (n > 1) {
                const QPair<qint64, qint64> run = runs[forward ? i % n : (n - i) % n];
                expected = AddressRange { run.first, run.first + run.second };
            }
            QCOMPARE(stepped.run, expected);
            if (stepped.run) {
                QCOMPARE(block.loaded().contains(stepped.run->begin), true);
                block.setCurrent(stepped.run->begin);
            }
            verifyMarks();
        }
    }
    if (ourSize > theirSize && block.loaded().contains(theirSize))
        QCOMPARE(comparison.markOf(theirSize), WindowText::text("В файле сравнения нет байта"));
    if (n > 0)
        QCOMPARE(comparison.markOf(runs[0].first),
            WindowText::text("В файле сравнения: ") + HexText::pairsOf(theirBytes.mid(runs[0].first, 1).toStdString()));

    // The differences as a patch, applied to a copy of the shown file, give the other file's bytes over both.
    std::string patch;
    const PatchCommand::Answer diffed
        = PatchCommand::diff(ours, theirs, [&patch](std::string_view text) { patch.append(text); });
    QCOMPARE(diffed.status, n == 0 && ourSize == theirSize ? 0 : 1);
    QFile patchFile(QString::fromStdString(path("d.patch")));
    QVERIFY(patchFile.open(QIODevice::WriteOnly) && patchFile.write(patch.data(), qint64(patch.size())));
    patchFile.close();
    const std::string copy = makeFile("copy", ourSize);
    QCOMPARE(PatchCommand::run(PatchCommand::Action::Apply, path("d.patch"), copy).status, 0);
    const qint64 common = std::min(ourSize, theirSize);
    QCOMPARE(contents(copy), theirBytes.left(common) + pattern(ourSize).mid(common));

    // The other file cut short after its last run's first byte while a backward step from the end reads it: the
    // step looks again below the new end, where that byte now ends both.
    if (n > 0 && ourSize == theirSize) {
        const Address cut = runs.back().first + 1;
        FileHandle first = FileHandle::open(ours, FileHandle::Mode::Read);
        FileHandle second = FileHandle::open(theirs, FileHandle::Mode::Read);
        FileFaults::atNth(FileFaults::Op::Read, 1, [&] { QVERIFY(QFile::resize(theirFile.fileName(), cut)); });
        const FileCompare::Step back
            = FileCompare::step({ first, second, ourSize }, ourSize, false, [] { return true; });
        QCOMPARE(back.run, (std::optional<AddressRange> { { cut - 1, cut } }));
        FileFaults::reset();
        QVERIFY(QFile::resize(theirFile.fileName(), theirSize) && theirFile.open(QIODevice::ReadWrite)
            && theirFile.write(theirBytes) == theirSize);
        theirFile.close();
    }

    // A write into the shown file that makes a byte agree takes its mark away.
    if (n > 0) {
        block.setWriting(true);
        block.goToByte(runs[0].first);
        commitTyped(block, 1, runs[0].first, HexText::pairsOf(theirBytes.mid(runs[0].first, 1).toStdString()));
        QVERIFY(!comparison.marked(runs[0].first));
        QCOMPARE(comparison.marked(runs[0].first + 1), differs(runs[0].first + 1));
    }
    // Its path leading to another file ends the comparison; so does another file shown.
    QVERIFY(QFile::remove(QString::fromStdString(theirs)));
    makeFile("theirs", theirSize);
    QCOMPARE(comparison.step(true, [] { return false; }).outcome, Comparison::Outcome::OtherFileChanged);
    QVERIFY(!comparison.active());
    QCOMPARE(comparison.start(theirs, [] { return false; }).outcome, Comparison::Outcome::Done);
    block.open(makeFile("another", 10));
    QVERIFY(!comparison.active());
    QCOMPARE(ended, 1);
}

QTEST_GUILESS_MAIN(tst_ShownBlock)
#include "tst_ShownBlock.moc"

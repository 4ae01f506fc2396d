#include "support/FileFaults.h"
#include "support/PatchFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// Patch texts read into change sets, and the lines that cannot be read.
class tst_PatchFile : public QObject {
    Q_OBJECT

private slots:
    void readsTheRunsOrTheFirstBadLine_data();
    void readsTheRunsOrTheFirstBadLine();
};

namespace {

const QByteArray Header = "quillmoor-patch 1\n";

// The text read as a patch, and how many reads that took (a short text takes a second one, which finds its end).
std::pair<PatchFile::Parsed, int> readText(const QByteArray& text)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("p.patch")));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write the patch");
    file.close();
    FileHandle opened = FileHandle::open(file.fileName().toStdString(), FileHandle::Mode::Read);
    FileFaults::startListing();
    PatchFile::Parsed parsed = PatchFile::read(opened);
    const std::vector<FileFaults::Step>& steps = FileFaults::steps();
    const auto reads
        = int(std::count_if(steps.begin(), steps.end(), [](auto step) { return step.op == FileFaults::Op::Read; }));
    FileFaults::reset();
    return { std::move(parsed), reads };
}

// "1:3132:7879 10:41:5A": each run's offset, old and new bytes.
QString runsOf(const ByteChanges& changes)
{
    QStringList runs;
    for (std::size_t i = 0; i < changes.size(); ++i)
        runs << QStringLiteral("%1:%2:%3")
                    .arg(changes[i].offset)
                    .arg(QString::fromLatin1(
                        QByteArray::fromStdString(std::string(changes[i].before)).toHex().toUpper()))
                    .arg(QString::fromLatin1(
                        QByteArray::fromStdString(std::string(changes[i].after)).toHex().toUpper()));
    return runs.join(QLatin1Char(' '));
}

} // namespace

void tst_PatchFile::readsTheRunsOrTheFirstBadLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("runs");
    QTest::addColumn<int>("errorLine");
    QTest::addColumn<int>("error");
    const auto read = [](const char* name, const QByteArray& text, const char* runs) {
        QTest::newRow(name) << text << QString::fromLatin1(runs) << 0 << int(PatchFile::Error::None);
    };
    const auto bad = [](const char* name, const QByteArray& text, int line, PatchFile::Error error) {
        QTest::newRow(name) << text << QString() << line << int(error);
    };
    const QByteArray lines = "00000001 3132 7879\n0000000A 41 5a\n";
    read("two lines, a comment", Header + "# file: /x, size 16\n" + lines, "1:3132:7879 10:41:5A");
    // The patch is read 64 KiB at a time: a line cut by the end of a piece must read as one.
    read("a line across two pieces read", Header + "# " + QByteArray(64 * 1024 - 24, 'x') + '\n' + lines,
        "1:3132:7879 10:41:5A");
    read("CR LF line ends, blank lines, no end at the last",
        "quillmoor-patch 1\r\n\r\n  \r\n00000001 3132 7879\r\n0000000A 41 5A", "1:3132:7879 10:41:5A");
    read("lines that meet stay apart", Header + "00000001 31 78\n00000002 32 79\n", "1:31:78 2:32:79");
    read("an offset past 32 bits of hex digits, within reach", Header + "07FFFFFFE 00 01\n", "2147483646:00:01");
    bad("no header", "00000001 31 78\n", 1, PatchFile::Error::NoHeader);
    bad("nothing at all", "", 1, PatchFile::Error::NoHeader);
    bad("two words", Header + "00000001 31\n", 2, PatchFile::Error::NotThreeWords);
    bad("four words", Header + "00000001 31 78 79\n", 2, PatchFile::Error::NotThreeWords);
    bad("a comment of a MiB where the header should be", "#" + QByteArray(1 << 20, 'x'), 1, PatchFile::Error::NoHeader);
    bad("an offset that is no hex", Header + "0000000G 31 78\n", 2, PatchFile::Error::OffsetNotHex);
    bad("odd hex digits", Header + "00000001 313 787\n", 2, PatchFile::Error::BytesNotHexPairs);
    bad("old and new of different lengths", Header + "00000001 31 7879\n", 2, PatchFile::Error::LengthsDiffer);
    bad("overlapping lines", Header + "00000001 3132 7879\n00000002 32 79\n", 3, PatchFile::Error::OutOfOrder);
    read("sixteen digits and more, leading zeros free",
        Header + "000000000000000000000001 31 78\n7FFFFFFFFFFFFFFE 00 01\n", "1:31:78 9223372036854775806:00:01");
    bad("past the end of any file", Header + "7FFFFFFFFFFFFFFF 00 01\n", 2, PatchFile::Error::BeyondReach);
    bad("one more than the last offset", Header + "8000000000000000 00 01\n", 2, PatchFile::Error::BeyondReach);
    bad("more than any offset", Header + "10000000000000000 00 01\n", 2, PatchFile::Error::BeyondReach);
}

void tst_PatchFile::readsTheRunsOrTheFirstBadLine()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, runs);
    QFETCH(int, errorLine);
    QFETCH(int, error);
    const auto [parsed, reads] = readText(text);
    // A text that does not start as a patch does is refused at its first bytes, however long it is.
    QVERIFY(reads <= 2 || error != int(PatchFile::Error::NoHeader));
    QCOMPARE(parsed.errorLine, errorLine);
    QCOMPARE(int(parsed.error), error);
    QCOMPARE(runsOf(parsed.changes), runs);
}

QTEST_GUILESS_MAIN(tst_PatchFile)
#include "tst_PatchFile.moc"

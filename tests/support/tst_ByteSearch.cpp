#include "support/ByteSearch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

class tst_ByteSearch : public QObject {
    Q_OBJECT
private slots:
    void anAnswerIsHexBytesOrAQuotedText_data();
    void anAnswerIsHexBytesOrAQuotedText();
    void findLooksFromTheCurrentByteAndWrapsOnce_data();
    void findLooksFromTheCurrentByteAndWrapsOnce();
};

void tst_ByteSearch::anAnswerIsHexBytesOrAQuotedText_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("understood");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("hex bytes with blanks") << QByteArray("4D 5A 90") << true << QByteArray("\x4D\x5A\x90");
    QTest::newRow("hex bytes without") << QByteArray("4d5a90") << true << QByteArray("\x4D\x5A\x90");
    QTest::newRow("blanks around and between") << QByteArray("  ff   00 ") << true << QByteArray("\xFF\x00", 2);
    QTest::newRow("an odd number of digits") << QByteArray("4D5") << false << QByteArray();
    QTest::newRow("a blank inside a byte") << QByteArray("4 D") << false << QByteArray();
    QTest::newRow("a letter that is no hex digit") << QByteArray("4G") << false << QByteArray();
    QTest::newRow("a prefix") << QByteArray("$4D") << false << QByteArray();
    QTest::newRow("empty") << QByteArray("   ") << false << QByteArray();
    QTest::newRow("a text") << QByteArray("\"MZ\"") << true << QByteArray("MZ");
    QTest::newRow("a text keeps its case and blanks") << QByteArray(" \" aB \" ") << true << QByteArray(" aB ");
    QTest::newRow("a Cyrillic text") << QByteArray("\"\xC6\xFF\"") << true << QByteArray("\xC6\xFF");
    QTest::newRow("a doubled quote is one") << QByteArray("\"a\"\"b\"") << true << QByteArray("a\"b");
    QTest::newRow("only a quote") << QByteArray("\"\"\"\"") << true << QByteArray("\"");
    QTest::newRow("a single quote inside") << QByteArray("\"a\"b\"") << false << QByteArray();
    QTest::newRow("unclosed") << QByteArray("\"ab") << false << QByteArray();
    QTest::newRow("unclosed after a doubled quote") << QByteArray("\"ab\"\"") << false << QByteArray();
    QTest::newRow("an empty text") << QByteArray("\"\"") << false << QByteArray();
    QTest::newRow("a lone quote") << QByteArray("\"") << false << QByteArray();
}

void tst_ByteSearch::anAnswerIsHexBytesOrAQuotedText()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, understood);
    QFETCH(QByteArray, bytes);
    const auto parsed = ByteSearch::parseAnswer(answer.toStdString());
    QCOMPARE(parsed.has_value(), understood);
    if (parsed)
        QCOMPARE(QByteArray::fromStdString(*parsed), bytes);
}

void tst_ByteSearch::findLooksFromTheCurrentByteAndWrapsOnce_data()
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

void tst_ByteSearch::findLooksFromTheCurrentByteAndWrapsOnce()
{
    QFETCH(qint64, size);
    QFETCH(QList<qlonglong>, at);
    QFETCH(qint64, from);
    QFETCH(bool, forward);
    QFETCH(qint64, found);
    const QByteArray needle("QUILL!");
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("f")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
    for (const qint64 offset : at)
        QVERIFY(file.seek(offset) && file.write(needle.left(int(std::min<qint64>(needle.size(), size - offset)))));
    file.close();
    FileHandle handle = FileHandle::open(file.fileName().toStdString(), FileHandle::Mode::Read);
    const std::int64_t limit = std::min<std::int64_t>(size, INT32_MAX);
    const auto result = ByteSearch::find(handle, limit, needle.toStdString(), from, forward, [] { return true; });
    QVERIFY(!result.stopped);
    QCOMPARE(result.found.value_or(-1), found);
    // Told to stop after its first chunk, a search that needs more gives up with nothing found.
    if (found < 0 && size > qint64(ByteSearch::ChunkSize)) {
        const auto stopped = ByteSearch::find(handle, limit, needle.toStdString(), from, forward, [] { return false; });
        QVERIFY(stopped.stopped && !stopped.found);
    }
}

QTEST_GUILESS_MAIN(tst_ByteSearch)
#include "tst_ByteSearch.moc"

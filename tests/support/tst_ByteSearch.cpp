#include "support/ByteSearch.h"

#include "support/Exception.h"
#include "support/FileFaults.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <climits>
#include <cstring>
#include <limits>

namespace {

// A value's bytes, its bits in little- and big-endian order, made here apart from the program's own conversion.
template <typename T> std::pair<QByteArray, QByteArray> orders(T value)
{
    std::conditional_t<sizeof(T) == 8, quint64, std::conditional_t<sizeof(T) == 4, quint32, quint16>> bits, little, big;
    std::memcpy(&bits, &value, sizeof bits);
    little = qToLittleEndian(bits);
    big = qToBigEndian(bits);
    return { QByteArray(reinterpret_cast<const char*>(&little), sizeof bits),
        QByteArray(reinterpret_cast<const char*>(&big), sizeof bits) };
}

// A pattern as hex pairs, ?? for an unknown byte.
QByteArray shown(const ByteSearch::Pattern& pattern)
{
    QByteArray text;
    for (std::size_t i = 0; i < pattern.bytes.size(); ++i)
        text += pattern.isKnown(i) ? QByteArray(1, pattern.bytes[i]).toHex().toUpper() : QByteArray("??");
    return text;
}

// Bytes written at an offset.
using Placed = std::pair<qint64, QByteArray>;

} // namespace

class tst_ByteSearch : public QObject {
    Q_OBJECT
private slots:
    void anAnswerIsBytesWildcardsATextOrANumber_data();
    void anAnswerIsBytesWildcardsATextOrANumber();
    void findLooksFromTheCurrentByteAndWrapsOnce_data();
    void findLooksFromTheCurrentByteAndWrapsOnce();
};

void tst_ByteSearch::anAnswerIsBytesWildcardsATextOrANumber_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("outcome"); // ByteSearch::Parsed::Outcome
    QTest::addColumn<QByteArray>("patterns"); // "D2040000 LE|000004D2 BE"; NoValue: the value's text

    using Outcome = ByteSearch::Parsed::Outcome;
    const int understood = int(Outcome::Understood), no = int(Outcome::NotUnderstood);
    QTest::newRow("hex bytes with blanks") << QByteArray("4D 5A 90") << understood << QByteArray("4D5A90");
    QTest::newRow("hex bytes without") << QByteArray("4d5a90") << understood << QByteArray("4D5A90");
    QTest::newRow("blanks around and between") << QByteArray("  ff   00 ") << understood << QByteArray("FF00");
    QTest::newRow("a copied line: tabs, a line end") << QByteArray("4D\t5A\r\n") << understood << QByteArray("4D5A");
    QTest::newRow("a line end inside a byte") << QByteArray("4\nD") << no << QByteArray();
    QTest::newRow("an odd number of digits") << QByteArray("4D5") << no << QByteArray();
    QTest::newRow("a blank inside a byte") << QByteArray("4 D") << no << QByteArray();
    QTest::newRow("a letter that is no hex digit") << QByteArray("4G") << no << QByteArray();
    QTest::newRow("a prefix") << QByteArray("$4D") << no << QByteArray();
    QTest::newRow("empty") << QByteArray("   ") << no << QByteArray();
    QTest::newRow("a text") << QByteArray("\"MZ\"") << understood << QByteArray("4D5A");
    QTest::newRow("a text keeps its case and blanks")
        << QByteArray(" \" aB \" ") << understood << QByteArray("20614220");
    QTest::newRow("a Cyrillic text") << QByteArray("\"\xC6\xFF\"") << understood << QByteArray("C6FF");
    QTest::newRow("a doubled quote is one") << QByteArray("\"a\"\"b\"") << understood << QByteArray("612262");
    QTest::newRow("a single quote inside") << QByteArray("\"a\"b\"") << no << QByteArray();
    QTest::newRow("unclosed after a doubled quote") << QByteArray("\"ab\"\"") << no << QByteArray();
    QTest::newRow("an empty text") << QByteArray("\"\"") << no << QByteArray();
    QTest::newRow("?? in a text is two question marks") << QByteArray("\"??\"") << understood << QByteArray("3F3F");
    QTest::newRow("wildcards at the start, middle and end")
        << QByteArray("??4D ?? 5A??") << understood << QByteArray("??4D??5A??");
    QTest::newRow("a lone question mark") << QByteArray("4D ? 5A") << no << QByteArray();
    QTest::newRow("half a wildcard") << QByteArray("4D ?A") << no << QByteArray();
    QTest::newRow("a blank inside a wildcard") << QByteArray("4D ? ?") << no << QByteArray();
    QTest::newRow("only wildcards") << QByteArray("?? ??") << int(Outcome::OnlyWildcards) << QByteArray();
    QTest::newRow("a number, both orders")
        << QByteArray("int32 1234") << understood << QByteArray("D2040000 LE|000004D2 BE");
    QTest::newRow("a type's name in any case, blanks around the value")
        << QByteArray("  UINT16   0xBEEF ") << understood << QByteArray("EFBE LE|BEEF BE");
    QTest::newRow("a value reading the same both ways is one pattern")
        << QByteArray("int64 -1") << understood << QByteArray("FFFFFFFFFFFFFFFF");
    QTest::newRow("a type of one order") << QByteArray("DOS 2024-01-31 12:00:00") << understood
                                         << QByteArray("00603F58");
    QTest::newRow("out of the type's range") << QByteArray("int8 128") << int(Outcome::NoValue) << QByteArray("128");
    QTest::newRow("no value of the type")
        << QByteArray("time32 2024-02-30 00:00:00") << int(Outcome::NoValue) << QByteArray("2024-02-30 00:00:00");
    QTest::newRow("a type's name alone") << QByteArray("int32") << no << QByteArray();
    QTest::newRow("a text is no number type") << QByteArray("\xD2\xE5\xEA\xF1\xF2 ab") << no << QByteArray();
}

void tst_ByteSearch::anAnswerIsBytesWildcardsATextOrANumber()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, outcome);
    QFETCH(QByteArray, patterns);
    const ByteSearch::Parsed parsed = ByteSearch::parseQuery(answer.toStdString());
    QCOMPARE(int(parsed.outcome), outcome);
    if (parsed.outcome == ByteSearch::Parsed::Outcome::NoValue) {
        QCOMPARE(QByteArray::fromStdString(parsed.value), patterns);
        return;
    }
    QByteArrayList texts;
    for (const ByteSearch::Pattern& pattern : parsed.query.patterns)
        texts += shown(pattern)
            + (pattern.order ? (*pattern.order == ByteValues::Order::Little ? " LE" : " BE") : QByteArray());
    QCOMPARE(texts.join('|'), patterns);
    // A paste takes the same bytes and texts, but no wildcard and no number.
    const std::optional<std::string> pasted = ByteSearch::parseAnswer(answer.toStdString());
    const bool plain = !patterns.isEmpty() && !patterns.contains('?') && !parsed.query.type;
    QCOMPARE(pasted.has_value(), plain);
    if (pasted)
        QCOMPARE(QByteArray::fromStdString(*pasted).toHex().toUpper(), patterns);
}

void tst_ByteSearch::findLooksFromTheCurrentByteAndWrapsOnce_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QByteArray>("fill"); // the byte the file holds; none: a hole all through
    // Bytes written, cut at the end of the file; none: the read of that byte fails (searching forward from 0).
    QTest::addColumn<QList<Placed>>("placed");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<qint64>("found"); // -1: none; -2: the failed read raised
    QTest::addColumn<QString>("order"); // of the number found: LE, BE or none

    const qint64 chunk = ByteSearch::ChunkSize, read = ByteSearch::ReadSize;
    const qint64 limit = INT32_MAX; // the program reaches offsets below limit
    const QByteArray quill("\"QUILL!\""), needle("QUILL!"), none, fill("\xEE");
    const auto at = [&](std::initializer_list<qint64> offsets) {
        QList<Placed> placed;
        for (const qint64 offset : offsets)
            placed.append({ offset, needle });
        return placed;
    };
    QTest::newRow("at offset 0") << quill << qint64(100) << none << at({ 0 }) << qint64(0) << true << qint64(0) << "";
    QTest::newRow("at the byte searched from")
        << quill << qint64(100) << none << at({ 10 }) << qint64(10) << true << qint64(10) << "";
    QTest::newRow("the next one after it")
        << quill << qint64(100) << none << at({ 5, 20, 50 }) << qint64(6) << true << qint64(20) << "";
    QTest::newRow("across a chunk boundary, its last byte past it")
        << quill << 2 * chunk << fill << at({ chunk - 5 }) << qint64(0) << true << chunk - 5 << "";
    QTest::newRow("at the last bytes of a file read ahead, after its last whole piece")
        << quill << 2 * chunk + 100 << fill << at({ 2 * chunk + 94 }) << qint64(0) << true << 2 * chunk + 94 << "";
    QTest::newRow("at the last bytes") << quill << qint64(100) << none << at({ 94 }) << qint64(0) << true << qint64(94)
                                       << "";
    QTest::newRow("cut off by the end") << quill << qint64(100) << none << at({ 95 }) << qint64(0) << true << qint64(-1)
                                        << "";
    QTest::newRow("wrapping") << quill << qint64(100) << none << at({ 5 }) << qint64(50) << true << qint64(5) << "";
    QTest::newRow("wrapping onto the byte searched from")
        << quill << qint64(100) << none << at({ 48 }) << qint64(50) << true << qint64(48) << "";
    QTest::newRow("backward") << quill << qint64(100) << none << at({ 5, 20, 50 }) << qint64(49) << false << qint64(20)
                              << "";
    QTest::newRow("backward, wrapping") << quill << qint64(100) << none << at({ 50 }) << qint64(10) << false
                                        << qint64(50) << "";
    QTest::newRow("backward across a chunk boundary")
        << quill << 2 * chunk + 100 << none << at({ chunk - 2 }) << 2 * chunk << false << chunk - 2 << "";
    QTest::newRow("no match in bytes read all through")
        << quill << 3 * chunk << QByteArray("Q") << at({}) << qint64(7) << true << qint64(-1) << "";
    // Read a few pieces ahead: a failure there counts only where the search comes to it, after asking goOn.
    QTest::newRow("a read failing in a piece read ahead, after the match")
        << quill << 3 * chunk << fill << (at({ chunk + 10 }) << Placed { chunk + 10 + 2 * read, {} }) << qint64(0)
        << true << chunk + 10 << "";
    QTest::newRow("a read failing in a piece read ahead")
        << quill << 3 * chunk << fill << QList<Placed> { { 2 * chunk + 10, {} } } << qint64(0) << true << qint64(-2)
        << "";
    QTest::newRow("only wholly below the 2 GiB limit")
        << quill << limit + 100 << none << at({ limit - 103, limit - 3, limit + 10 }) << limit + 50 << false
        << limit - 103 << "";

    // Wildcards
    QTest::newRow("wildcards in the middle")
        << QByteArray("51 ?? ?? 52") << qint64(100) << fill
        << QList<Placed> { { 10, "\x51\x52\x52" }, { 30, QByteArray::fromHex("5100FF52") } } << qint64(0) << true
        << qint64(30) << "";
    QTest::newRow("a wildcard at the start")
        << QByteArray("?? 51 52") << qint64(100) << fill << QList<Placed> { { 0, "\x51\x52" }, { 41, "\x51\x52" } }
        << qint64(0) << true << qint64(40) << "";
    QTest::newRow("a wildcard at the end, none after the last byte")
        << QByteArray("51 52 ??") << qint64(100) << fill << QList<Placed> { { 40, "\x51\x52" }, { 98, "\x51\x52" } }
        << qint64(99) << false << qint64(40) << "";
    QTest::newRow("wildcards across a read's edge")
        << QByteArray("51 ?? ?? 52") << 2 * read << fill
        << QList<Placed> { { read - 2, QByteArray::fromHex("51000052") } } << qint64(0) << true << read - 2 << "";
    QTest::newRow("wildcards across a chunk's edge, backward")
        << QByteArray("51????52") << chunk + 100 << fill
        << QList<Placed> { { chunk - 1, QByteArray::fromHex("51000052") } } << chunk + 50 << false << chunk - 1 << "";

    // Numbers: whichever order comes first, in the direction searched.
    const qint64 fileTime = (qint64(1706702400) + 11644473600) * 10000000;
    const std::pair<const char*, std::pair<QByteArray, QByteArray>> numbers[] = {
        { "int16 -12345", orders(qint16(-12345)) },
        { "uint16 0xBEEF", orders(quint16(0xBEEF)) },
        { "int32 -123456789", orders(qint32(-123456789)) },
        { "uint32 4000000000", orders(quint32(4000000000u)) },
        { "int64 -1234567890123456789", orders(qint64(-1234567890123456789)) },
        { "uint64 0x0123456789ABCDEF", orders(quint64(0x0123456789ABCDEF)) },
        { "float32 -3.14159", orders(-3.14159f) },
        { "float64 -0.25", orders(-0.25) },
        { "float64 -0.0", orders(-0.0) },
        { "float32 nan", orders(std::numeric_limits<float>::quiet_NaN()) },
        { "time32 2024-01-31 12:00:00", orders(qint32(1706702400)) },
        { "time64 2024-01-31 12:00:00 UTC", orders(qint64(1706702400)) },
        { "FILETIME 2024-01-31 12:00:00", orders(fileTime) },
    };
    for (const auto& [answer, bytes] : numbers) {
        const QList<Placed> both { { 1000, bytes.first }, { 3000, bytes.second } };
        QTest::addRow("%s, little-endian first", answer)
            << QByteArray(answer) << qint64(4096) << fill << both << qint64(0) << true << qint64(1000) << "LE";
        QTest::addRow("%s, big-endian first backward", answer)
            << QByteArray(answer) << qint64(4096) << fill << both << qint64(4095) << false << qint64(3000) << "BE";
    }
    QTest::newRow("a number of one byte") << QByteArray("int8 -2") << qint64(100) << fill
                                          << QList<Placed> { { 7, "\xFE" } } << qint64(0) << true << qint64(7) << "";
    QTest::newRow("a number of one order")
        << QByteArray("DOS 2024-01-31 12:00:00") << qint64(100) << fill
        << QList<Placed> { { 20, orders(0x583F6000u).second }, { 50, orders(0x583F6000u).first } } << qint64(0) << true
        << qint64(50) << "";
    QTest::newRow("minus zero is not zero")
        << QByteArray("float32 -0") << qint64(100) << fill
        << QList<Placed> { { 20, orders(0.0f).first }, { 60, orders(-0.0f).second } } << qint64(0) << true << qint64(60)
        << "BE";
    QTest::newRow("a number at the last bytes")
        << QByteArray("uint32 0xDEADBEEF") << qint64(4096) << fill
        << QList<Placed> { { 4092, orders(0xDEADBEEFu).second } } << qint64(0) << true << qint64(4092) << "BE";

    // A sparse file: a hole reads as zeros, data around 1 MiB and from 2 MiB on.
    const qint64 mib = qint64(1) << 20;
    const QList<Placed> edges { { mib - 2, "\xAB\xCD" }, { 2 * mib, "\xAB\xCD" } };
    QTest::newRow("from data into a hole")
        << QByteArray("AB CD 00 00") << 8 * mib << none << edges << qint64(0) << true << mib - 2 << "";
    QTest::newRow("from a hole into data")
        << QByteArray("00 00 AB CD") << 8 * mib << none << edges << mib << true << 2 * mib - 2 << "";
    QTest::newRow("from a hole into data, backward")
        << QByteArray("00 ?? AB CD") << 8 * mib << none << edges << 8 * mib << false << 2 * mib - 2 << "";
    QTest::newRow("zeros inside a hole") << QByteArray("00 00 00 00") << 8 * mib << none << edges << 5 * mib << true
                                         << 5 * mib << "";
    QTest::newRow("zeros and wildcards inside a hole, backward")
        << QByteArray("00 ?? 00") << 8 * mib << none << edges << 5 * mib << false << 5 * mib << "";
    QTest::newRow("a number across a hole's edge")
        << QByteArray("int32 -1412628480") << 8 * mib << none << edges << qint64(0) << true << mib - 2 << "BE";
    QTest::newRow("nothing in a large sparse file")
        << QByteArray("AB CD EF") << 64 * mib << none << edges << qint64(0) << true << qint64(-1) << "";
}

void tst_ByteSearch::findLooksFromTheCurrentByteAndWrapsOnce()
{
    QFETCH(QByteArray, answer);
    QFETCH(qint64, size);
    QFETCH(QByteArray, fill);
    QFETCH(QList<Placed>, placed);
    QFETCH(qint64, from);
    QFETCH(bool, forward);
    QFETCH(qint64, found);
    QFETCH(QString, order);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("f")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (fill.isEmpty())
        QVERIFY(file.resize(size));
    else
        QVERIFY(file.write(QByteArray(size, fill[0])) == size);
    std::optional<qint64> failing;
    for (const auto& [at, bytes] : placed) {
        if (bytes.isEmpty())
            failing = at;
        const QByteArray part = bytes.left(int(std::min<qint64>(bytes.size(), size - at)));
        QVERIFY(file.seek(at) && file.write(part) == part.size());
    }
    file.close();
    const ByteSearch::Parsed parsed = ByteSearch::parseQuery(answer.toStdString());
    QCOMPARE(parsed.outcome, ByteSearch::Parsed::Outcome::Understood);
    FileHandle handle = FileHandle::open(file.fileName().toStdString(), FileHandle::Mode::Read);
    const std::int64_t limit = std::min<std::int64_t>(size, INT32_MAX);
    const auto bytesRead = [] {
        qint64 read = 0;
        for (const FileFaults::Step& step : FileFaults::steps())
            read += step.op == FileFaults::Op::Read ? qint64(step.units) : 0;
        return read;
    };
    FileFaults::startListing();
    if (failing)
        FileFaults::failNth(FileFaults::Op::Read, int(*failing + 1), EIO);
    qint64 asked = 0;
    ByteSearch::Result result;
    try {
        result = ByteSearch::find(handle, limit, parsed.query, from, forward, [&] {
            ++asked;
            return true;
        });
    } catch (const EInOutError& error) {
        FileFaults::reset();
        QCOMPARE(found, qint64(-2));
        QCOMPARE(error.code(), EInOutError::codeForErrno(EIO));
        // Raised where the search came to the piece, after every chunk before it.
        QCOMPARE(asked, *failing / qint64(ByteSearch::ChunkSize));
        return;
    }
    const qint64 read = bytesRead();
    FileFaults::reset();
    QVERIFY(!result.stopped);
    QCOMPARE(result.found.value_or(-1), found);
    const std::optional<ByteValues::Order> foundOrder
        = result.found ? parsed.query.patterns[result.pattern].order : std::nullopt;
    QCOMPARE(foundOrder ? QString(*foundOrder == ByteValues::Order::Little ? "LE" : "BE") : QString(), order);
    // A hole is read only next to data, so no match can be missed at its edges: a sparse file costs its data.
    if (fill.isEmpty() && answer.contains("AB"))
        QVERIFY2(read <= qint64(ByteSearch::ReadSize) * 4, qPrintable(QString::number(read)));
    // Told to stop after its first chunk, a search that needs more gives up with nothing found.
    // It reads no further than the pieces it had read ahead.
    if (found < 0 && read > qint64(ByteSearch::ChunkSize)) {
        FileFaults::startListing();
        const auto stopped = ByteSearch::find(handle, limit, parsed.query, from, forward, [] { return false; });
        QVERIFY(stopped.stopped && !stopped.found);
        QVERIFY2(bytesRead() <= qint64(ByteSearch::ChunkSize + 8 * ByteSearch::ReadSize),
            qPrintable(QString::number(bytesRead())));
        FileFaults::reset();
    }
}

QTEST_GUILESS_MAIN(tst_ByteSearch)
#include "tst_ByteSearch.moc"

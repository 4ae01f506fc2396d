#include "mainwindow/RowFormat.h"
#include "support/Cp1251.h"
#include "support/IntParser.h"
#include "support/__Bin.h"

#include <QTest>

#include <array>
#include <limits>
#include <vector>

class tst_RowFormat : public QObject {
    Q_OBJECT
private slots:
    void offsetTextShowsHexAndDecimal_data();
    void offsetTextShowsHexAndDecimal();
    void offsetTextAgreesWithPrintfAcrossDigitCounts();
    void everyByteFormatsAndReadsBack();
    void formattingOverOldTextsLeavesNothingOfThem();
};

void tst_RowFormat::offsetTextShowsHexAndDecimal_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("size"); // of the file shown: its last offset sets how many hex digits each one has
    QTest::newRow("0") << qint64(0) << QByteArray("00000000 (0)") << qint64(0);
    QTest::newRow("31") << qint64(31) << QByteArray("0000001F (31)") << qint64(0);
    QTest::newRow("8192") << qint64(8192) << QByteArray("00002000 (8192)") << qint64(0);
    QTest::newRow("1000000 is longer than 16") << qint64(1000000) << QByteArray("000F4240 (1000000)") << qint64(0);
    QTest::newRow("int max") << qint64(2147483647) << QByteArray("7FFFFFFF (2147483647)") << qint64(0);
    QTest::newRow("beyond 32 bits grows the hex")
        << qint64(4294967296) << QByteArray("100000000 (4294967296)") << qint64(0);
    QTest::newRow("negative shows all 64 bits") << qint64(-1) << QByteArray("FFFFFFFFFFFFFFFF (-1)") << qint64(0);
    QTest::newRow("the longest text") << std::numeric_limits<qint64>::min()
                                      << QByteArray("8000000000000000 (-9223372036854775808)") << qint64(0);
    const auto inFile = [](const char* name, qint64 offset, const char* text, qint64 size) {
        QTest::newRow(name) << offset << QByteArray(text) << size;
    };
    inFile("the last offset of 4 GiB takes eight", 4294967295, "FFFFFFFF (4294967295)", qint64(4) << 30);
    inFile("a file past 4 GiB: nine from its first offset on", 0, "000000000 (0)", (qint64(4) << 30) + 1);
    inFile("the last offset of 8 GiB", 8589934591, "1FFFFFFFF (8589934591)", qint64(8) << 30);
    inFile("the largest file: sixteen", 31, "000000000000001F (31)", std::numeric_limits<qint64>::max());
}

void tst_RowFormat::offsetTextShowsHexAndDecimal()
{
    QFETCH(qint64, offset);
    QFETCH(QByteArray, text);
    QFETCH(qint64, size);
    const int digits = HexText::offsetDigits(size);
    GridSource::TextBuffer buffer;
    QCOMPARE(QByteArray::fromStdString(std::string(formatOffset(buffer, offset, digits))), text);
    // Counted up from the row before, shown while a smaller file was: the digits follow the file.
    OffsetTexts counted;
    if (offset > std::numeric_limits<qint64>::min())
        (void)counted.text(offset - 1);
    QCOMPARE(QByteArray::fromStdString(std::string(counted.text(offset, digits))), text);
}

void tst_RowFormat::offsetTextAgreesWithPrintfAcrossDigitCounts()
{
    // Either side of every change in the number of decimal or hex digits.
    std::vector<qint64> offsets;
    for (qint64 power = 1; power <= qint64(1) << 40; power *= 10)
        offsets.insert(offsets.end(), { power - 1, power, power + 1 });
    for (int shift = 0; shift <= 40; shift += 4)
        offsets.insert(offsets.end(), { (qint64(1) << shift) - 1, qint64(1) << shift });
    // Consecutive rows count the text up in place, through every carry.
    OffsetTexts counted;
    for (const qint64 offset : offsets) {
        const QByteArray expected
            = QByteArray::number(offset, 16).toUpper().rightJustified(8, '0') + " (" + QByteArray::number(offset) + ")";
        GridSource::TextBuffer buffer;
        QVERIFY2(
            QByteArray::fromStdString(std::string(formatOffset(buffer, offset))) == expected, expected.constData());
        if (offset > 0)
            (void)counted.text(offset - 1);
        QVERIFY2(QByteArray::fromStdString(std::string(counted.text(offset))) == expected, expected.constData());
    }
}

void tst_RowFormat::everyByteFormatsAndReadsBack()
{
    const auto valueTexts = [](std::uint8_t v) {
        GridSource::RowTexts row;
        formatValues(v, row);
        return std::array<std::string, 4> { std::string(row[1]), std::string(row[2]), std::string(row[3]),
            std::string(row[4]) };
    };
    for (int v = 0; v < 256; ++v) {
        const auto texts = valueTexts(static_cast<std::uint8_t>(v));
        const QByteArray row = QByteArray::number(v);
        QCOMPARE(texts[0].size(), std::size_t(2));
        QVERIFY2(tryParseInt("$" + texts[0]) == v, row);
        QVERIFY2(texts[0] == QByteArray::number(v, 16).rightJustified(2, '0').toUpper().toStdString(), row);
        QVERIFY2(tryParseInt(texts[1]) == v && texts[1] == std::to_string(v), row);
        QVERIFY2(BinStrToByte(texts[2]) == v && texts[2].size() == 8, row);
        if (v < 32)
            QVERIFY2(texts[3] == "<...>", row);
        else
            QVERIFY2(texts[3] == std::string(1, static_cast<char>(v)), row);
    }
    const auto ten = valueTexts(10);
    QCOMPARE(ten[0], std::string("0A"));
    QCOMPARE(ten[2], std::string("00001010"));
    QCOMPARE(valueTexts(32)[3], std::string(" "));
    QCOMPARE(Cp1251::toQString(valueTexts(0xC0)[3]), QStringLiteral("А"));
}

void tst_RowFormat::formattingOverOldTextsLeavesNothingOfThem()
{
    // Painting formats each offset into the buffer the cell before left, longer or shorter.
    GridSource::TextBuffer offset;
    offset.fill('y');
    for (int v = 255; v >= 0; --v) {
        const std::int64_t at = (std::int64_t(1) << (v % 40)) - v;
        GridSource::TextBuffer fresh;
        QVERIFY2(formatOffset(offset, at) == formatOffset(fresh, at), QByteArray::number(at));
    }
}

QTEST_GUILESS_MAIN(tst_RowFormat)
#include "tst_RowFormat.moc"

#include "support/Exception.h"
#include "support/IntParser.h"

#include <QTest>

#include <limits>
#include <string>

class tst_IntParser : public QObject {
    Q_OBJECT
private slots:
    void acceptsAndRejectsAsTheTableSays_data();
    void acceptsAndRejectsAsTheTableSays();
    void raisingFormQuotesTheRejectedText();
    void everyDecimalAndHexPatternOfSampledValuesRoundTrips();
    void anOffsetPast32BitsIsReadOnlyWhereTheFileReachesIt_data();
    void anOffsetPast32BitsIsReadOnlyWhereTheFileReachesIt();
};

void tst_IntParser::acceptsAndRejectsAsTheTableSays_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("value");

    QTest::newRow("plain") << QByteArray("42") << true << 42;
    QTest::newRow("leading blank") << QByteArray(" 42") << true << 42;
    QTest::newRow("many leading blanks") << QByteArray("     7") << true << 7;
    QTest::newRow("trailing blank") << QByteArray("42 ") << false << 0;
    QTest::newRow("leading tab") << QByteArray("\t42") << false << 0;
    QTest::newRow("plus") << QByteArray("+17") << true << 17;
    QTest::newRow("minus") << QByteArray("-5") << true << -5;
    QTest::newRow("lone plus") << QByteArray("+") << false << 0;
    QTest::newRow("lone minus") << QByteArray("-") << false << 0;
    QTest::newRow("blank after sign") << QByteArray("- 5") << false << 0;
    QTest::newRow("max") << QByteArray("2147483647") << true << 2147483647;
    QTest::newRow("max+1") << QByteArray("2147483648") << false << 0;
    QTest::newRow("min") << QByteArray("-2147483648") << true << int(-2147483647 - 1);
    QTest::newRow("min-1") << QByteArray("-2147483649") << false << 0;
    QTest::newRow("huge") << QByteArray("99999999999999999999999") << false << 0;
    QTest::newRow("leading zeros") << QByteArray("0000000000000042") << true << 42;
    QTest::newRow("empty") << QByteArray("") << false << 0;
    QTest::newRow("blanks only") << QByteArray("   ") << false << 0;
    QTest::newRow("decimal point") << QByteArray("4.5") << false << 0;
    QTest::newRow("letters after") << QByteArray("42abc") << false << 0;
    QTest::newRow("dollar") << QByteArray("$10") << true << 16;
    QTest::newRow("dollar all ones") << QByteArray("$FFFFFFFF") << true << -1;
    QTest::newRow("dollar sign bit") << QByteArray("$80000000") << true << int(-2147483647 - 1);
    QTest::newRow("dollar nine digits") << QByteArray("$100000000") << false << 0;
    QTest::newRow("dollar leading zeros") << QByteArray("$000000000FF") << true << 255;
    QTest::newRow("lone dollar") << QByteArray("$") << false << 0;
    QTest::newRow("double dollar") << QByteArray("$$FF") << false << 0;
    QTest::newRow("x") << QByteArray("x10") << true << 16;
    QTest::newRow("X") << QByteArray("X1f") << true << 31;
    QTest::newRow("0x") << QByteArray("0x2000") << true << 8192;
    QTest::newRow("0X mixed case") << QByteArray("0X1f") << true << 31;
    QTest::newRow("lone 0x") << QByteArray("0x") << false << 0;
    QTest::newRow("blank then dollar") << QByteArray(" $ff") << true << 255;
    QTest::newRow("sign before prefix") << QByteArray("-$10") << false << 0;
    QTest::newRow("hex blank after") << QByteArray("$ff ") << false << 0;
    QTest::newRow("bad hex digit") << QByteArray("$xyz") << false << 0;
    QTest::newRow("hex in decimal") << QByteArray("AB") << false << 0;
    QTest::newRow("zero") << QByteArray("0") << true << 0;
    QTest::newRow("minus zero") << QByteArray("-0") << true << 0;
}

void tst_IntParser::acceptsAndRejectsAsTheTableSays()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, accepted);
    QFETCH(int, value);

    const auto result = tryParseInt(std::string_view(text.constData(), text.size()));
    QCOMPARE(result.has_value(), accepted);
    if (accepted)
        QCOMPARE(*result, value);
}

void tst_IntParser::raisingFormQuotesTheRejectedText()
{
    QCOMPARE(parseInt("$1F"), 31);
    try {
        (void)parseInt("$xyz");
        QFAIL("no error raised");
    } catch (const EConvertError& error) {
        QCOMPARE(QByteArray::fromStdString(error.message()), QByteArray("'$xyz' is not a valid integer value"));
    }
    try {
        (void)parseInt("");
        QFAIL("no error raised");
    } catch (const EConvertError& error) {
        QCOMPARE(QByteArray::fromStdString(error.message()), QByteArray("'' is not a valid integer value"));
    }
}

void tst_IntParser::everyDecimalAndHexPatternOfSampledValuesRoundTrips()
{
    // Walk the whole 32-bit range in coarse steps plus the edges; both notations must give the value back.
    for (std::int64_t v = INT32_MIN; v <= INT32_MAX; v += 65521) {
        const auto value = static_cast<std::int32_t>(v);
        const std::string decimal = std::to_string(value);
        char hex[16];
        std::snprintf(hex, sizeof hex, "$%X", static_cast<std::uint32_t>(value));
        QVERIFY2(tryParseInt(decimal) == value, decimal.c_str());
        QVERIFY2(tryParseInt(hex) == value, hex);
    }
}

void tst_IntParser::anOffsetPast32BitsIsReadOnlyWhereTheFileReachesIt_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<qint64>("value");
    constexpr qint64 GiB = qint64(1) << 30;
    constexpr qint64 Largest = std::numeric_limits<qint64>::max();
    const auto row = [](const char* name, const char* text, qint64 size, bool accepted, qint64 value) {
        QTest::newRow(name) << QByteArray(text) << size << accepted << value;
    };
    row("decimal in a file of 8 GiB", "5000000000", 8 * GiB, true, 5000000000);
    row("the same in a small file: refused as ever", "5000000000", 20000, false, 0);
    row("hex past eight digits", "$100000000", 8 * GiB, true, 4294967296);
    row("0x past eight digits", "0x100000000", 8 * GiB, true, 4294967296);
    row("the file's last byte", "8589934591", 8 * GiB, true, 8589934591);
    row("the file's end: refused", "8589934592", 8 * GiB, false, 0);
    row("the sign bit reached", "$80000000", 3 * GiB, true, 2147483648);
    row("the sign bit not reached: the 32-bit pattern", "$80000000", 20000, true, -2147483648);
    row("all ones not reached: -1", "$FFFFFFFF", 3 * GiB, true, -1);
    row("small numbers as ever", " -5", 8 * GiB, true, -5);
    row("the largest offset is no byte of any file", "9223372036854775807", Largest, false, 0);
    row("one past the largest", "9223372036854775808", Largest, false, 0);
    row("seventeen hex digits", "$10000000000000000", Largest, false, 0);
    row("a 64-bit pattern with its sign bit", "$8000000000000000", Largest, false, 0);
    row("sixteen hex digits reached", "$7FFFFFFFFFFFFFFE", Largest, true, Largest - 1);
}

void tst_IntParser::anOffsetPast32BitsIsReadOnlyWhereTheFileReachesIt()
{
    QFETCH(QByteArray, text);
    QFETCH(qint64, size);
    QFETCH(bool, accepted);
    QFETCH(qint64, value);
    const std::optional<std::int64_t> result = tryParseOffset(text.toStdString(), size);
    QCOMPARE(result.has_value(), accepted);
    if (accepted)
        QCOMPARE(*result, value);
}

QTEST_GUILESS_MAIN(tst_IntParser)
#include "tst_IntParser.moc"

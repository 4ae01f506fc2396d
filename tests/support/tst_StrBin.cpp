#include "support/__Bin.h"
#include "support/__Str.h"

#include <QTest>

#include <string>

class tst_StrBin : public QObject {
    Q_OBJECT
private slots:
    void trimsOnlyByte32_data();
    void trimsOnlyByte32();
    void replicateCharIsCappedAt255_data();
    void replicateCharIsCappedAt255();
    void padToNeverCutsAndHonoursTheWidthLimit_data();
    void padToNeverCutsAndHonoursTheWidthLimit();
    void everyByteRoundTripsThroughItsBinaryText();
    void binStrToByteReadsTheLastEightCharacters_data();
    void binStrToByteReadsTheLastEightCharacters();
    void binStrToBitsOfLongTextsReadsTheLastSixteen();
};

void tst_StrBin::trimsOnlyByte32_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("right");
    QTest::addColumn<QByteArray>("both");
    QTest::newRow("inner blank kept") << QByteArray("  a b  ") << QByteArray("a b  ") << QByteArray("  a b")
                                      << QByteArray("a b");
    QTest::newRow("blanks only") << QByteArray("    ") << QByteArray("") << QByteArray("") << QByteArray("");
    QTest::newRow("empty") << QByteArray("") << QByteArray("") << QByteArray("") << QByteArray("");
    QTest::newRow("tab kept") << QByteArray("\t x \t") << QByteArray("\t x \t") << QByteArray("\t x \t")
                              << QByteArray("\t x \t");
    QTest::newRow("high bytes kept") << QByteArray(" \xA0\xC0 ") << QByteArray("\xA0\xC0 ") << QByteArray(" \xA0\xC0")
                                     << QByteArray("\xA0\xC0");
}

void tst_StrBin::trimsOnlyByte32()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, right);
    QFETCH(QByteArray, both);
    std::string l = text.toStdString(), r = l, b = l;
    TrimLeftSpaces(l);
    TrimRightSpaces(r);
    TrimSpaces(b);
    QCOMPARE(QByteArray::fromStdString(l), left);
    QCOMPARE(QByteArray::fromStdString(r), right);
    QCOMPARE(QByteArray::fromStdString(b), both);
}

void tst_StrBin::replicateCharIsCappedAt255_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("length");
    QTest::newRow("55") << 55 << 55;
    QTest::newRow("255") << 255 << 255;
    QTest::newRow("300") << 300 << 255;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("negative") << -3 << 0;
    QTest::newRow("int min") << int(INT32_MIN) << 0;
}

void tst_StrBin::replicateCharIsCappedAt255()
{
    QFETCH(int, n);
    QFETCH(int, length);
    QCOMPARE(ReplicateChar('=', n), std::string(static_cast<std::size_t>(length), '='));
}

void tst_StrBin::padToNeverCutsAndHonoursTheWidthLimit_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("atEnd");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("at end") << QByteArray("Hex") << 5 << true << QByteArray("Hex  ");
    QTest::newRow("at front") << QByteArray("Hex") << 5 << false << QByteArray("  Hex");
    QTest::newRow("longer text kept") << QByteArray("0000001F (31) xxxxxx") + "x" << 16 << true
                                      << QByteArray("0000001F (31) xxxxxxx");
    QTest::newRow("exact width") << QByteArray("abcd") << 4 << true << QByteArray("abcd");
    QTest::newRow("width 255") << QByteArray("a") << 255 << true << QByteArray("a") + QByteArray(254, ' ');
    QTest::newRow("width 256 ignored") << QByteArray("a") << 256 << true << QByteArray("a");
    QTest::newRow("negative width") << QByteArray("a") << -1 << true << QByteArray("a");
}

void tst_StrBin::padToNeverCutsAndHonoursTheWidthLimit()
{
    QFETCH(QByteArray, text);
    QFETCH(int, width);
    QFETCH(bool, atEnd);
    QFETCH(QByteArray, expected);
    QCOMPARE(QByteArray::fromStdString(PaddedCopy(text.toStdString(), ' ', width, atEnd)), expected);
}

void tst_StrBin::everyByteRoundTripsThroughItsBinaryText()
{
    for (int v = 0; v < 256; ++v) {
        const std::string bits = ByteToBinStr(static_cast<std::uint8_t>(v));
        QCOMPARE(bits.size(), std::size_t(8));
        QVERIFY2(bits.find_first_not_of("01") == std::string::npos, bits.c_str());
        QCOMPARE(int(BinStrToByte(bits)), v);
    }
    QCOMPARE(ByteToBinStr(0), std::string("00000000"));
    QCOMPARE(ByteToBinStr(77), std::string("01001101"));
    QCOMPARE(ByteToBinStr(255), std::string("11111111"));
    // The high byte of a word never leaks into the 8-digit text.
    QCOMPARE(BitsToBinStr(WordToBits(0xAB0F)), std::string("00001111"));
}

void tst_StrBin::binStrToByteReadsTheLastEightCharacters_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("101") << QByteArray("101") << 5;
    QTest::newRow("inner blank clears a bit") << QByteArray(" 1000 0001 ") << 1;
    QTest::newRow("eleven ones") << QByteArray("11111111111") << 255;
    QTest::newRow("2") << QByteArray("2") << 0;
    QTest::newRow("empty") << QByteArray("") << 0;
    QTest::newRow("blanks") << QByteArray("    ") << 0;
    QTest::newRow("letters clear") << QByteArray("1a1b") << 10;
    QTest::newRow("tab is a character") << QByteArray("1\t") << 2;
}

void tst_StrBin::binStrToByteReadsTheLastEightCharacters()
{
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(int(BinStrToByte(text.toStdString())), value);
}

void tst_StrBin::binStrToBitsOfLongTextsReadsTheLastSixteen()
{
    for (const std::size_t length : { 255u, 256u, 1000u, 70000u }) {
        std::string text(length, '1');
        text[length - 2] = '0';
        text[length - 16] = '0';
        const BitFlags16 flags = BinStrToBits(text);
        BitFlags16 expected;
        expected.fill(1);
        expected[1] = 0;
        expected[15] = 0;
        QVERIFY2(flags == expected, std::to_string(length).c_str());
    }
}

QTEST_GUILESS_MAIN(tst_StrBin)
#include "tst_StrBin.moc"

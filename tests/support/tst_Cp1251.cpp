#include "support/Cp1251.h"

#include <QTest>

#include <iconv.h>

class tst_Cp1251 : public QObject {
    Q_OBJECT
private slots:
    void everyByteRoundTrips();
    void agreesWithTheSystemCodec();
    void charactersOutsideTheCodePageBecomeQuestionMarks();
    void pathsBecomeTextsByTheirLetters_data();
    void pathsBecomeTextsByTheirLetters();
};

void tst_Cp1251::everyByteRoundTrips()
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const QString unicode = Cp1251::toQString(all);
    QCOMPARE(unicode.size(), 256);
    QCOMPARE(Cp1251::fromQString(unicode), all);
    QCOMPARE(Cp1251::toUnicode(0x98), u'\x0098');
}

void tst_Cp1251::agreesWithTheSystemCodec()
{
    // glibc's iconv is an independent table; it leaves 0x98 undefined, which we map to U+0098.
    iconv_t cd = iconv_open("UTF-16LE", "CP1251");
    QVERIFY(cd != reinterpret_cast<iconv_t>(-1));
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98)
            continue;
        char in = static_cast<char>(b);
        char16_t out = 0;
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(&out);
        std::size_t inLeft = 1, outLeft = sizeof out;
        QVERIFY2(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1),
            qPrintable(QString::number(b, 16)));
        QVERIFY2(Cp1251::toUnicode(static_cast<unsigned char>(b)) == out, qPrintable(QString::number(b, 16)));
    }
    iconv_close(cd);
}

void tst_Cp1251::charactersOutsideTheCodePageBecomeQuestionMarks()
{
    QCOMPARE(Cp1251::fromQString(QStringLiteral("Я")), std::string("\xDF"));
    QCOMPARE(Cp1251::fromQString(QStringLiteral("ÄЖ€😀")), std::string("?\xC6\x88?"));
    QCOMPARE(Cp1251::fromUtf8("Готово !"), std::string("\xC3\xEE\xF2\xEE\xE2\xEE !"));
    QCOMPARE(Cp1251::fromQStringExactly(QStringLiteral("ÄЖ")), std::nullopt);
    QCOMPARE(Cp1251::fromQStringExactly(QStringLiteral("a?Я")), std::string("a?\xDF"));
}

void tst_Cp1251::pathsBecomeTextsByTheirLetters_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("ascii") << QByteArray("/tmp/a b.bin") << QByteArray("/tmp/a b.bin");
    QTest::newRow("cyrillic letters") << QByteArray("/home/юзер/Ёлка.ini")
                                      << QByteArray("/home/\xFE\xE7\xE5\xF0/\xA8\xEB\xEA\xE0.ini");
    QTest::newRow("outside the code page") << QByteArray("/d/€ä😀") << QByteArray("/d/\x88??");
    QTest::newRow("bytes of no valid name") << QByteArray("/d/\xFF\xC0x") << QByteArray("/d/??x");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
}

void tst_Cp1251::pathsBecomeTextsByTheirLetters()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, text);
    QCOMPARE(QByteArray::fromStdString(Cp1251::fromPath(path.toStdString())), text);
}

QTEST_GUILESS_MAIN(tst_Cp1251)
#include "tst_Cp1251.moc"

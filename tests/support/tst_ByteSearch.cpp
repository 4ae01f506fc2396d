#include "support/ByteSearch.h"

#include <QTest>

class tst_ByteSearch : public QObject {
    Q_OBJECT
private slots:
    void anAnswerIsHexBytesOrAQuotedText_data();
    void anAnswerIsHexBytesOrAQuotedText();
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

QTEST_GUILESS_MAIN(tst_ByteSearch)
#include "tst_ByteSearch.moc"

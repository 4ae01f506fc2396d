#include "support/IniText.h"

#include <QRandomGenerator>
#include <QTest>

#include <string>

using namespace std::string_literals;

class tst_IniText : public QObject {
    Q_OBJECT
private slots:
    void looksUpAsThePlatformDoes_data();
    void looksUpAsThePlatformDoes();
    void writesChangeOnlyTheOneLine_data();
    void writesChangeOnlyTheOneLine();
    void refusesValuesThatWouldBreakTheLine();
    void whatIsWrittenIsReadBackAndNothingElseMoves();
};

void tst_IniText::looksUpAsThePlatformDoes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("value");

    const QByteArray basic = "[File]\r\nNameFile=/a/b\r\nStartByte=8192\r\n";
    QTest::newRow("crlf") << basic << QByteArray("StartByte") << true << QByteArray("8192");
    QTest::newRow("lf only") << QByteArray("[File]\nNameFile=x\nStartByte=5\n") << QByteArray("StartByte") << true
                             << QByteArray("5");
    QTest::newRow("cr only") << QByteArray("[File]\rNameFile=x\rStartByte=6") << QByteArray("StartByte") << true
                             << QByteArray("6");
    QTest::newRow("case-insensitive names")
        << QByteArray("[fILE]\r\nstartbyte=7\r\n") << QByteArray("StartByte") << true << QByteArray("7");
    QTest::newRow("blanks around names and value")
        << QByteArray("  [ File ]  \r\n  StartByte  =   9  \r\n") << QByteArray("StartByte") << true << QByteArray("9");
    QTest::newRow("tab in value kept") << QByteArray("[File]\r\nStartByte=\t9\r\n") << QByteArray("StartByte") << true
                                       << QByteArray("\t9");
    QTest::newRow("first key wins") << QByteArray("[File]\r\nStartByte=1\r\nStartByte=2\r\n") << QByteArray("StartByte")
                                    << true << QByteArray("1");
    QTest::newRow("only the first section counts") << QByteArray("[File]\r\nNameFile=a\r\n[File]\r\nStartByte=2\r\n")
                                                   << QByteArray("StartByte") << false << QByteArray();
    QTest::newRow("comment is no key") << QByteArray("[File]\r\n;StartByte=3\r\n") << QByteArray("StartByte") << false
                                       << QByteArray();
    QTest::newRow("indented comment") << QByteArray("[File]\r\n   ; StartByte=3\r\n") << QByteArray("StartByte")
                                      << false << QByteArray();
    QTest::newRow("other section") << QByteArray("[Other]\r\nStartByte=3\r\n") << QByteArray("StartByte") << false
                                   << QByteArray();
    QTest::newRow("key before any section")
        << QByteArray("StartByte=3\r\n[File]\r\n") << QByteArray("StartByte") << false << QByteArray();
    QTest::newRow("empty value") << QByteArray("[File]\r\nStartByte=\r\n") << QByteArray("StartByte") << true
                                 << QByteArray("");
    QTest::newRow("equals in value") << QByteArray("[File]\r\nNameFile=/a=b\r\n") << QByteArray("NameFile") << true
                                     << QByteArray("/a=b");
    QTest::newRow("utf-8 bom skipped") << QByteArray("\xEF\xBB\xBF[File]\r\nStartByte=4\r\n") << QByteArray("StartByte")
                                       << true << QByteArray("4");
    QTest::newRow("binary junk around") << QByteArray(
        "\x01\x02\xFF\x00junk\r\n[File]\r\n\xFE\xFF\r\nStartByte=8\r\n", 35)
                                        << QByteArray("StartByte") << true << QByteArray("8");
    QTest::newRow("no trailing newline") << QByteArray("[File]\r\nStartByte=12") << QByteArray("StartByte") << true
                                         << QByteArray("12");
    QTest::newRow("value cut at 2047") << QByteArray("[File]\r\nNameFile=" + QByteArray(3000, 'v') + "\r\n")
                                       << QByteArray("NameFile") << true << QByteArray(2047, 'v');
    QTest::newRow("empty file") << QByteArray() << QByteArray("StartByte") << false << QByteArray();
}

void tst_IniText::looksUpAsThePlatformDoes()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, key);
    QFETCH(bool, found);
    QFETCH(QByteArray, value);
    const auto result = IniText::lookup(content.toStdString(), "File", key.toStdString());
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(QByteArray::fromStdString(*result), value);
}

void tst_IniText::writesChangeOnlyTheOneLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("fresh file") << QByteArray() << QByteArray("NameFile") << QByteArray("[File]\r\nNameFile=VALUE\r\n");
    QTest::newRow("second key follows the first") << QByteArray("[File]\r\nNameFile=/x\r\n") << QByteArray("StartByte")
                                                  << QByteArray("[File]\r\nNameFile=/x\r\nStartByte=VALUE\r\n");
    QTest::newRow("replaced in place keeping spelling and order")
        << QByteArray("[file]\r\nSTARTBYTE=1\r\nNameFile=/x\r\n") << QByteArray("StartByte")
        << QByteArray("[file]\r\nSTARTBYTE=VALUE\r\nNameFile=/x\r\n");
    QTest::newRow("other sections comments and blank lines kept")
        << QByteArray("; mine\r\n\r\n[A]\nk=v\n\n[File]\r\n; note\r\nStartByte=0\r\n\r\n[B]\rz=1\r")
        << QByteArray("StartByte")
        << QByteArray("; mine\r\n\r\n[A]\nk=v\n\n[File]\r\n; note\r\nStartByte=VALUE\r\n\r\n[B]\rz=1\r");
    QTest::newRow("new key after the last key, before trailing blank lines")
        << QByteArray("[File]\r\nNameFile=/x\r\n\r\n[B]\r\nz=1\r\n") << QByteArray("StartByte")
        << QByteArray("[File]\r\nNameFile=/x\r\nStartByte=VALUE\r\n\r\n[B]\r\nz=1\r\n");
    QTest::newRow("new key in a section without keys") << QByteArray("[File]\r\n[B]\r\n") << QByteArray("StartByte")
                                                       << QByteArray("[File]\r\nStartByte=VALUE\r\n[B]\r\n");
    QTest::newRow("new section at the end of a file without final newline") << QByteArray(
        "[A]\r\nk=v") << QByteArray("StartByte") << QByteArray("[A]\r\nk=v\r\n[File]\r\nStartByte=VALUE\r\n");
    QTest::newRow("new key after an unterminated last line")
        << QByteArray("[File]\r\nNameFile=/x") << QByteArray("StartByte")
        << QByteArray("[File]\r\nNameFile=/x\r\nStartByte=VALUE\r\n");
    QTest::newRow("lf line replaced ends in crlf, neighbours untouched")
        << QByteArray("[File]\nStartByte=1\nNameFile=/x\n") << QByteArray("StartByte")
        << QByteArray("[File]\nStartByte=VALUE\r\nNameFile=/x\n");
    QTest::newRow("blanks before the equals sign kept")
        << QByteArray("[File]\r\n  StartByte = 1\r\n") << QByteArray("StartByte")
        << QByteArray("[File]\r\n  StartByte =VALUE\r\n");
    QTest::newRow("bom kept") << QByteArray("\xEF\xBB\xBF[File]\r\nStartByte=1\r\n") << QByteArray("StartByte")
                              << QByteArray("\xEF\xBB\xBF[File]\r\nStartByte=VALUE\r\n");
    QTest::newRow("duplicate sections: the first one is written")
        << QByteArray("[File]\r\nNameFile=a\r\n[File]\r\nStartByte=2\r\n") << QByteArray("StartByte")
        << QByteArray("[File]\r\nNameFile=a\r\nStartByte=VALUE\r\n[File]\r\nStartByte=2\r\n");
}

void tst_IniText::writesChangeOnlyTheOneLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, after);
    const auto result = IniText::withValue(before.toStdString(), "File", key.toStdString(), "VALUE");
    QVERIFY(result.has_value());
    QCOMPARE(QByteArray::fromStdString(*result), after);
    QCOMPARE(IniText::lookup(*result, "File", key.toStdString()), std::optional("VALUE"s));
}

void tst_IniText::refusesValuesThatWouldBreakTheLine()
{
    // A path holding a line break would otherwise plant a forged key in the file.
    QVERIFY(!IniText::withValue("", "File", "NameFile", "/tmp/a\r\nStartByte=5").has_value());
    QVERIFY(!IniText::withValue("", "File", "NameFile", "/tmp/a\rb").has_value());
    QVERIFY(!IniText::withValue("", "File", "NameFile", "/tmp/a\nb").has_value());
}

void tst_IniText::whatIsWrittenIsReadBackAndNothingElseMoves()
{
    // Random files built from awkward lines; after a write, the key reads back and every other key of every
    // section reads as before.
    const std::string pieces[] = { "[File]", "[file]", "[Other]", "NameFile=a", "StartByte=1", " ; c=1", "", "junk",
        "x=y", "[", "=", "StartByte = 2 ", "\xFF\xFE", "[File" };
    const std::string breaks[] = { "\r\n", "\n", "\r", "" };
    QRandomGenerator random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::string content;
        const int count = random.bounded(8);
        for (int i = 0; i < count; ++i)
            content += pieces[random.bounded(int(std::size(pieces)))] + breaks[random.bounded(int(std::size(breaks)))];
        const std::string value = std::to_string(random.bounded(100000));
        const auto written = IniText::withValue(content, "File", "StartByte", value);
        QVERIFY(written.has_value());
        QVERIFY2(IniText::lookup(*written, "File", "StartByte") == value, content.c_str());
        for (const char* section : { "File", "Other" })
            for (const char* key : { "NameFile", "x", "c" })
                QVERIFY2(
                    IniText::lookup(*written, section, key) == IniText::lookup(content, section, key), content.c_str());
    }
}

QTEST_GUILESS_MAIN(tst_IniText)
#include "tst_IniText.moc"

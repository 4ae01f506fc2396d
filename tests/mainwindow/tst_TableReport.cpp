#include "mainwindow/TableReport.h"
#include "tests/mainwindow/RowOracle.h"

#include <QTest>

#include <array>
#include <map>

class tst_TableReport : public QObject {
    Q_OBJECT
private slots:
    void linesComeInOrderWithRulesAsLongAsTheHeader();
    void dataLinesAre55CharactersUntilTheOffsetTextGrows();
    void eachTextIsPaddedToItsColumnOrKeptWholeWhenLonger_data();
    void eachTextIsPaddedToItsColumnOrKeptWholeWhenLonger();
    void anEmptyStartUpGridGivesOneBlankFilledLine();
    void aFailingSinkStopsTheReport();
    void dateLineFollowsTheLocaleFormats();
};

namespace {

struct Cells {
    std::map<std::pair<int, int>, std::string> texts;
    std::string empty;
    Cells()
    {
        const char* headers[] = { "N\xE1\xE0\xE9\xF2\xE0", "Hex", "Dec", "Bin", "Ascii" };
        for (int col = 0; col < 5; ++col)
            texts[{ col, 0 }] = headers[col];
    }
    void row(int r, std::int64_t offset, std::uint8_t v)
    {
        texts[{ 0, r }] = offsetText(offset);
        const auto values = valueTexts(v);
        for (int col = 1; col <= 4; ++col)
            texts[{ col, r }] = values[col - 1];
    }
    TableReport::RowReader reader()
    {
        return [this](std::int32_t row, TableReport::RowTexts& texts) {
            for (int col = 0; col < 5; ++col) {
                const auto it = this->texts.find({ col, row });
                texts[static_cast<std::size_t>(col)] = it == this->texts.end() ? empty : it->second;
            }
        };
    }
};

QList<QByteArray> reportLines(const TableReport& report)
{
    QByteArray all;
    report.write([&](const std::string& piece) { all += QByteArray::fromStdString(piece); });
    if (!all.endsWith("\r\n"))
        return {};
    QList<QByteArray> lines = all.split('\n');
    lines.removeLast(); // after the final line break
    for (QByteArray& line : lines) {
        if (!line.endsWith('\r'))
            return {};
        line.chop(1);
    }
    return lines;
}

} // namespace

void tst_TableReport::linesComeInOrderWithRulesAsLongAsTheHeader()
{
    Cells cells;
    for (int r = 1; r <= 3; ++r)
        cells.row(r, 30 + r - 1, static_cast<std::uint8_t>(r));
    const TableReport report("Date : 08.12.2026", "/tmp/a.bin", cells.reader(), 3);
    const QList<QByteArray> lines = reportLines(report);
    QCOMPARE(lines.size(), 3 + 8);
    QCOMPARE(lines[0], QByteArray("Date : 08.12.2026"));
    QCOMPARE(lines[1], QByteArray("FileName : /tmp/a.bin"));
    const QByteArray header = "N\xE1\xE0\xE9\xF2\xE0          |Hex  |Dec  |Bin             |Ascii   |";
    QCOMPARE(lines[3], header);
    QCOMPARE(header.size(), 55);
    QCOMPARE(lines[2], QByteArray(55, '='));
    QCOMPARE(lines[4], lines[2]);
    QCOMPARE(lines[5], QByteArray("0000001E (30)    01    1     00000001         <...>    "));
    QCOMPARE(lines[8], lines[2]);
    QVERIFY(!lines[9].isEmpty());
    QCOMPARE(lines[10], QByteArray());
}

void tst_TableReport::dataLinesAre55CharactersUntilTheOffsetTextGrows()
{
    Cells cells;
    cells.row(1, 99999, 65); // the longest offset text that fits its 16 columns
    cells.row(2, 1000000, 66);
    const QList<QByteArray> lines = reportLines(TableReport("Date : x", "f", cells.reader(), 2));
    QCOMPARE(lines[5].size(), 55);
    QVERIFY(lines[5].endsWith(' '));
    QCOMPARE(lines[6], QByteArray("000F4240 (1000000) 42    66    01000010         B        "));
}

void tst_TableReport::eachTextIsPaddedToItsColumnOrKeptWholeWhenLonger_data()
{
    QTest::addColumn<QByteArrayList>("texts");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("all empty") << QByteArrayList { "", "", "", "", "" } << QByteArray(55, ' ');
    QTest::newRow("exactly the widths") << QByteArrayList { "0123456789ABCDEF", "12345", "67890", "0000111100001111",
        "abcdefgh" } << QByteArray("0123456789ABCDEF 12345 67890 0000111100001111 abcdefgh ");
    QTest::newRow("one column too long shifts the rest") << QByteArrayList { "1", "typed by hand", "3", "4",
        "5" } << QByteArray("1                typed by hand 3     4                5        ");
    QTest::newRow("every column too long")
        << QByteArrayList { QByteArray(17, 'a'), "bbbbbb", "cccccc", QByteArray(17, 'd'), "eeeeeeeee" }
        << QByteArray(17, 'a') + " bbbbbb cccccc " + QByteArray(17, 'd') + " eeeeeeeee ";
    QTest::newRow("short texts of many lengths") << QByteArrayList { "1234567", "123", "1", "123456789",
        "1234" } << QByteArray("1234567          123   1     123456789        1234     ");
    QTest::newRow("short texts of other lengths") << QByteArrayList { "12345678", "12", "1234", "123456789ABCDEF",
        "123456" } << QByteArray("12345678         12    1234  123456789ABCDEF  123456   ");
    QTest::newRow("a text longer than a written piece") << QByteArrayList { QByteArray(70000, 'x'), "b", "c", "d",
        "e" } << QByteArray(70000, 'x') + " b     c     d                e        ";
}

// Widths 16, 5, 5, 16 and 8, a blank after each; the report never cuts a text the user typed.
void tst_TableReport::eachTextIsPaddedToItsColumnOrKeptWholeWhenLonger()
{
    QFETCH(QByteArrayList, texts);
    QFETCH(QByteArray, line);
    Cells cells;
    for (int col = 0; col < 5; ++col)
        cells.texts[{ col, 1 }] = texts[col].toStdString();
    const QList<QByteArray> lines = reportLines(TableReport("Date : x", "f", cells.reader(), 1));
    QCOMPARE(lines[5], line);
}

void tst_TableReport::anEmptyStartUpGridGivesOneBlankFilledLine()
{
    Cells cells;
    const QList<QByteArray> lines = reportLines(TableReport("Date : x", "", cells.reader(), 1));
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines[1], QByteArray("FileName : "));
    QCOMPARE(lines[5], QByteArray(55, ' '));
}

void tst_TableReport::aFailingSinkStopsTheReport()
{
    Cells cells;
    for (int r = 1; r <= 8193; ++r)
        cells.row(r, r - 1, static_cast<std::uint8_t>(r));
    int calls = 0;
    struct Full { };
    try {
        TableReport("Date : x", "f", cells.reader(), 8193).write([&](const std::string&) {
            ++calls;
            throw Full {};
        });
        QFAIL("the failure did not stop the report");
    } catch (const Full&) {
    }
    QCOMPARE(calls, 1);
}

void tst_TableReport::dateLineFollowsTheLocaleFormats()
{
    const QByteArray line = QByteArray::fromStdString(TableReport::dateLineForNow());
    QVERIFY2(line.startsWith("Date : "), line);
    const QString expectedDate = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    QVERIFY2(line.contains(expectedDate.toLatin1()), line);
}

QTEST_GUILESS_MAIN(tst_TableReport)
#include "tst_TableReport.moc"

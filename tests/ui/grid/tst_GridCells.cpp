#include "ui/grid/GridCells.h"

#include <QTest>

#include <string>
#include <vector>

// The grid's text store alone: rows packed side by side, rows too long for that kept aside, and the way between.
class tst_GridCells : public QObject {
    Q_OBJECT
private slots:
    void aRowKeepsItsTextsWhateverTheirLength_data();
    void aRowKeepsItsTextsWhateverTheirLength();
    void cellsNeverWrittenReadEmpty();
};

namespace {
// "a|b|c|d|e" writes a whole row, "2=text" one cell of it.
void apply(GridCells& cells, std::int32_t row, const QString& write)
{
    if (write.size() > 1 && write[1] == QLatin1Char('=')) {
        cells.setText(write[0].digitValue(), row, write.mid(2).toStdString());
        return;
    }
    const QStringList parts = write.split(QLatin1Char('|'));
    std::vector<std::string> texts;
    for (const QString& part : parts)
        texts.push_back(part.toStdString());
    GridCells::RowView views;
    for (std::size_t col = 0; col < views.size(); ++col)
        views[col] = texts.at(col);
    cells.setRow(row, views);
}

QStringList textsOf(const GridCells& cells, std::int32_t row)
{
    QStringList texts;
    for (std::int32_t col = 0; col < GridCells::BlockColumns; ++col)
        texts << QString::fromStdString(std::string(cells.text(col, row)));
    return texts;
}
} // namespace

void tst_GridCells::aRowKeepsItsTextsWhateverTheirLength_data()
{
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<QString>("expected");
    const QString offset = QStringLiteral("0000001F (31)");
    const QString room = QString(43 - 4, QLatin1Char('r')); // with four one-letter texts, exactly the room
    const QString long300 = QString(300, QLatin1Char('L'));
    QTest::newRow("a load's row") << QStringList { offset + "|1F|31|00011111|<...>" }
                                  << offset + "|1F|31|00011111|<...>";
    QTest::newRow("empty texts") << QStringList { "||||" } << "||||";
    QTest::newRow("exactly the room") << QStringList { room + "|a|b|c|d" } << room + "|a|b|c|d";
    QTest::newRow("a byte beyond the room") << QStringList { room + "x|a|b|c|d" } << room + "x|a|b|c|d";
    QTest::newRow("a text longer than any length byte")
        << QStringList { offset + "|" + long300 + "|b|c|d" } << offset + "|" + long300 + "|b|c|d";
    QTest::newRow("kept aside, then packed again") << QStringList { room + "xx|a|b|c|d", "p|q|r|s|t" } << "p|q|r|s|t";
    QTest::newRow("packed, then kept aside") << QStringList { "p|q|r|s|t", room + "xx|a|b|c|d" } << room + "xx|a|b|c|d";
    QTest::newRow("one cell of a packed row")
        << QStringList { offset + "|1F|31|00011111|<...>", "2=255" } << offset + "|1F|255|00011111|<...>";
    QTest::newRow("one cell emptied") << QStringList { offset + "|1F|31|00011111|<...>", "1=" }
                                      << offset + "||31|00011111|<...>";
    QTest::newRow("one cell growing to the room") << QStringList { "p|q|r|s|t", "1=" + room } << "p|" + room + "|r|s|t";
    QTest::newRow("one cell outgrowing the room")
        << QStringList { "p|q|r|s|t", "4=" + long300 } << "p|q|r|s|" + long300;
    QTest::newRow("one cell shrinking a row kept aside") << QStringList { "p|q|r|s|" + long300, "4=t" } << "p|q|r|s|t";
    QTest::newRow("one cell of a row kept aside")
        << QStringList { "p|q|r|s|" + long300, "0=x" } << "x|q|r|s|" + long300;
    QTest::newRow("one cell of a row never written") << QStringList { "3=bits" } << "|||bits|";
}

void tst_GridCells::aRowKeepsItsTextsWhateverTheirLength()
{
    QFETCH(QStringList, writes);
    QFETCH(QString, expected);
    // Around rows 255 to 257, where one block of rows ends and the next begins.
    for (const std::int32_t row : { 255, 256, 257 }) {
        GridCells cells;
        apply(cells, row - 1, QStringLiteral("before|1|2|3|4"));
        apply(cells, row + 1, QStringLiteral("after|5|6|7|") + QString(60, QLatin1Char('z')));
        for (const QString& write : writes)
            apply(cells, row, write);
        QCOMPARE(textsOf(cells, row).join(QLatin1Char('|')), expected);
        GridCells::RowView whole;
        QVERIFY(cells.rowTexts(row, whole));
        QStringList viaRow;
        for (const std::string_view text : whole)
            viaRow << QString::fromStdString(std::string(text));
        QCOMPARE(viaRow.join(QLatin1Char('|')), expected);
        QCOMPARE(textsOf(cells, row - 1).join(QLatin1Char('|')), QStringLiteral("before|1|2|3|4"));
        QCOMPARE(textsOf(cells, row + 1).join(QLatin1Char('|')), "after|5|6|7|" + QString(60, QLatin1Char('z')));
    }
}

void tst_GridCells::cellsNeverWrittenReadEmpty()
{
    GridCells cells;
    cells.setText(7, 3, "beyond the five columns");
    QCOMPARE(cells.text(7, 3), std::string_view("beyond the five columns"));
    for (const auto& [col, row] : { std::pair { 0, 0 }, { 4, 300 }, { 7, 4 }, { -1, 3 }, { 2, -5 } })
        QVERIFY2(cells.text(col, row).empty(), qPrintable(QStringLiteral("%1,%2").arg(col).arg(row)));
    GridCells::RowView texts;
    QVERIFY(!cells.rowTexts(3, texts));
    QVERIFY(!cells.rowTexts(-1, texts));
}

QTEST_GUILESS_MAIN(tst_GridCells)
#include "tst_GridCells.moc"

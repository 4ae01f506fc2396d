#include "ui/grid/GridCellImages.h"
#include "ui/grid/GridTextCache.h"

#include "support/Cp1251.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

// The cell texts kept laid out, and cells kept as painted: drawn from the caches or not, a text must come out to the
// pixel as the drawing of a rectangle's text puts it, cut at the same edges, and a cell as its painting puts it.
class tst_GridTextCache : public QObject {
    Q_OBJECT
private slots:
    void drawsEveryTextAsTheRectangleDrawingDoes_data();
    void drawsEveryTextAsTheRectangleDrawingDoes();
    void staysBoundedAndForgetsAnotherFontsTexts();
    void keptCellsCopyThePaintedPixels_data();
    void keptCellsCopyThePaintedPixels();
};

namespace {

// What a grid of bytes shows: every single character, the hex, decimal and binary texts of every byte, offsets,
// and a few texts with control characters, which only a user's edit can bring.
std::vector<std::string> cellTexts()
{
    std::vector<std::string> texts = { "<...>", "00001F40 (8000)", "C0000000 (3221225472)", "FFFFFFFF (-1)", "a\tb",
        "x\ny", std::string("nul\0in", 6), "\x7F" };
    constexpr char Hex[] = "0123456789ABCDEF";
    for (int v = 0; v < 256; ++v) {
        if (v >= 32)
            texts.emplace_back(1, static_cast<char>(v));
        texts.push_back({ Hex[v >> 4], Hex[v & 15] });
        texts.push_back(std::to_string(v));
        std::string bits;
        for (int bit = 7; bit >= 0; --bit)
            bits += (v >> bit) & 1 ? '1' : '0';
        texts.push_back(bits);
    }
    return texts;
}

QImage blankCell(QSize size, qreal scale)
{
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    return image;
}

} // namespace

void tst_GridTextCache::drawsEveryTextAsTheRectangleDrawingDoes_data()
{
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<QRect>("room");
    for (const qreal scale : { 1.0, 1.5, 2.0 }) {
        const QByteArray at = QByteArray::number(scale);
        // A cell of the window's default size, and rooms that cut texts at the right and at the bottom.
        QTest::addRow("roomy, scale %s", at.constData()) << scale << QRect(2, 2, 94, 18);
        QTest::addRow("narrow, scale %s", at.constData()) << scale << QRect(2, 2, 12, 18);
        QTest::addRow("low, scale %s", at.constData()) << scale << QRect(2, 2, 94, 9);
        QTest::addRow("no room, scale %s", at.constData()) << scale << QRect(2, 2, 0, 0);
    }
}

void tst_GridTextCache::drawsEveryTextAsTheRectangleDrawingDoes()
{
    QFETCH(qreal, scale);
    QFETCH(QRect, room);
    const QFont font = QApplication::font();
    GridTextCache cache;
    cache.setFont(font);
    const QSize cell(110, 30);
    for (const std::string& text : cellTexts()) {
        QImage expected = blankCell(cell, scale);
        {
            QPainter painter(&expected);
            painter.setFont(font);
            painter.drawText(room, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Cp1251::toQString(text));
        }
        // Twice: once laying the text out, once drawing it as kept.
        for (int round = 0; round < 2; ++round) {
            QImage drawn = blankCell(cell, scale);
            {
                QPainter painter(&drawn);
                painter.setFont(font);
                cache.draw(painter, text, room);
            }
            QVERIFY2(drawn == expected,
                qPrintable(QStringLiteral("\"%1\", round %2").arg(QString::fromLatin1(text.c_str())).arg(round)));
        }
    }
}

void tst_GridTextCache::staysBoundedAndForgetsAnotherFontsTexts()
{
    QImage image = blankCell({ 40, 20 }, 1);
    QPainter painter(&image);
    GridTextCache cache;
    cache.setFont(QApplication::font());
    for (std::size_t i = 0; i <= GridTextCache::MaxTexts; ++i) {
        cache.draw(painter, std::to_string(i), QRect(0, 0, 40, 20));
        QVERIFY(cache.size() <= GridTextCache::MaxTexts);
    }
    QVERIFY(cache.size() > 0);
    cache.setFont(QApplication::font());
    QVERIFY(cache.size() > 0);
    QFont larger = QApplication::font();
    larger.setPointSize(larger.pointSize() + 4);
    cache.setFont(larger);
    QCOMPARE(cache.size(), std::size_t(0));
}

void tst_GridTextCache::keptCellsCopyThePaintedPixels_data()
{
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<QPoint>("corner");
    for (const qreal scale : { 1.0, 1.5, 2.0 }) {
        const QByteArray at = QByteArray::number(scale);
        QTest::addRow("scale %s", at.constData()) << scale << QPoint(4, 6);
        // At 1.5 an odd corner lies between device pixels, where only painting sets the right ones.
        QTest::addRow("scale %s, odd corner", at.constData()) << scale << QPoint(5, 7);
    }
}

void tst_GridTextCache::keptCellsCopyThePaintedPixels()
{
    QFETCH(qreal, scale);
    QFETCH(QPoint, corner);
    const QFont font = QApplication::font();
    GridTextCache texts;
    texts.setFont(font);
    GridCellImages cells;
    cells.setFont(font);
    const QRect rect(corner, QSize(62, 22));
    const auto paintCell = [&](QPainter& painter, QRect room, const GridCellImages::Look& look) {
        painter.fillRect(room, QColor::fromRgba(look.fill));
        painter.setPen(QColor::fromRgba(look.ink));
        texts.draw(painter, look.text, room.adjusted(2, 2, 0, 0));
    };
    const auto onCanvas = [&](const std::function<void(QPainter&)>& paint) {
        QImage canvas = blankCell({ 80, 40 }, scale);
        QPainter painter(&canvas);
        painter.setFont(font);
        paint(painter);
        return canvas;
    };
    const QRgb plain = qRgb(255, 255, 255);
    const QRgb selected = qRgb(0, 0, 128);
    for (const std::string text : { "7F", "01111111", "\xC6", "" }) {
        for (const QRgb fill : { plain, selected }) {
            const GridCellImages::Look look { text, fill, fill, fill == plain ? qRgb(0, 0, 0) : plain, false, 0, 0 };
            const QImage expected = onCanvas([&](QPainter& painter) { paintCell(painter, rect, look); });
            // Painted, painted and kept, then copied from what was kept.
            for (int round = 0; round < 3; ++round) {
                const QImage drawn = onCanvas([&](QPainter& painter) {
                    cells.draw(painter, rect, look, [&](QPainter& on, QRect room) { paintCell(on, room, look); });
                });
                QVERIFY2(drawn == expected,
                    qPrintable(QStringLiteral("\"%1\", round %2").arg(QString::fromLatin1(text.c_str())).arg(round)));
            }
        }
    }
    const bool aligned = corner.x() * scale == std::round(corner.x() * scale);
    QCOMPARE(cells.size() > 0, aligned);
    cells.setFont(QFont(font.family(), font.pointSize() + 4));
    QCOMPARE(cells.size(), std::size_t(0));
}

QTEST_MAIN(tst_GridTextCache)
#include "tst_GridTextCache.moc"

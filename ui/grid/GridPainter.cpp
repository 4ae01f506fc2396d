#include "ui/grid/GridPainter.h"

#include "ui/grid/GridModel.h"

#include <QPainter>

#include <algorithm>

namespace {
const QColor LineBetweenFixed = Qt::black;
const QColor LineBetweenScrollable(192, 192, 192);
const QColor LineOnSilver(128, 128, 128);
} // namespace

void GridPainter::paint(
    QPainter& painter, const GridModel& model, const QPalette& colors, QRect dirty, QSize client, const Look& look)
{
    m_texts.setFont(painter.font());
    m_cells.setFont(painter.font());
    const GridLayout& layout = model.layout();
    const std::int32_t lastCol = layout.lastVisibleCol();
    const std::int32_t lastRow = layout.lastVisibleRow();
    const std::int32_t right
        = layout.colX(lastCol).value_or(layout.fixedWidth()) + layout.colWidth(lastCol) + GridLayout::LineWidth;
    const std::int32_t bottom
        = layout.rowY(lastRow).value_or(layout.fixedHeight()) + layout.rowHeight(lastRow) + GridLayout::LineWidth;
    const auto each = [](std::int32_t fixed, std::int32_t first, std::int32_t last, auto&& visit) {
        for (std::int32_t i = 0; i < fixed; ++i)
            visit(i);
        for (std::int32_t i = first; i <= last; ++i)
            visit(i);
    };
    each(layout.fixedRows(), layout.topRow(), lastRow, [&](std::int32_t row) {
        const auto y = layout.rowY(row);
        if (!y)
            return;
        const std::int32_t height = layout.rowHeight(row) + GridLayout::LineWidth;
        if (*y >= dirty.bottom() + 1 || *y + height <= dirty.top())
            return;
        each(GridLayout::FixedCols, layout.leftCol(), lastCol, [&](std::int32_t col) {
            const auto x = layout.colX(col);
            if (!x)
                return;
            const std::int32_t width = layout.colWidth(col) + GridLayout::LineWidth;
            if (*x >= dirty.right() + 1 || *x + width <= dirty.left())
                return;
            paintCell(painter, model, colors, { col, row }, QRect(*x, *y, width, height), look);
        });
    });
    const QColor background = colors.color(QPalette::Base);
    if (right < client.width())
        painter.fillRect(QRect(right, 0, client.width() - right, client.height()), background);
    if (bottom < client.height())
        painter.fillRect(QRect(0, bottom, std::min(right, client.width()), client.height() - bottom), background);
}

void GridPainter::paintCell(
    QPainter& painter, const GridModel& model, const QPalette& colors, GridCell cell, QRect rect, const Look& look)
{
    const bool fixed = cell.col < GridLayout::FixedCols || cell.row < model.layout().fixedRows();
    QColor line = LineBetweenFixed;
    if (!fixed)
        line = colors.color(QPalette::Base) == LineBetweenScrollable ? LineOnSilver : LineBetweenScrollable;
    if (!fixed && look.underEditor == cell) {
        paintLines(painter, rect, line);
        return;
    }
    QPalette::ColorRole fill = QPalette::Base;
    QPalette::ColorRole ink = QPalette::Text;
    if (fixed) {
        fill = QPalette::Button;
        ink = QPalette::ButtonText;
    } else if (model.cursor().isSelected(cell)) {
        fill = QPalette::Highlight;
        ink = QPalette::HighlightedText;
    }
    GridSource::TextBuffer buffer;
    const GridCellImages::Look cellLook { model.cellText(cell, buffer), line.rgba(), colors.color(fill).rgba(),
        colors.color(ink).rgba(), fixed, colors.color(QPalette::Light).rgba(), colors.color(QPalette::Dark).rgba() };
    const auto paintOn = [&](QPainter& on, QRect room) { paintCellImage(on, room, cellLook); };
    // Scaled, the bevel's lines reach a device pixel into the neighbouring cells' lines, which no kept cell can
    // bring back.
    if (fixed && painter.device()->devicePixelRatio() != 1)
        paintOn(painter, rect);
    else
        m_cells.draw(painter, rect, cellLook, paintOn);
    if (look.active && !fixed && cell == model.current()) {
        const QRect inner = rect.adjusted(0, 0, -GridLayout::LineWidth, -GridLayout::LineWidth);
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.drawRect(inner.adjusted(0, 0, -1, -1));
        painter.restore();
    }
}

void GridPainter::paintLines(QPainter& painter, QRect rect, const QColor& color)
{
    // The lines are filled as rectangles, not drawn with a pen: a pen of one pixel stays one device pixel thin at
    // a scale of 2 or 1.5, and what the cell's fill leaves of the line's place would show unpainted.
    const QRect inner = rect.adjusted(0, 0, -GridLayout::LineWidth, -GridLayout::LineWidth);
    painter.fillRect(QRect(inner.right() + 1, rect.top(), GridLayout::LineWidth, rect.height()), color);
    painter.fillRect(QRect(rect.left(), inner.bottom() + 1, rect.width(), GridLayout::LineWidth), color);
}

void GridPainter::paintCellImage(QPainter& painter, QRect rect, const GridCellImages::Look& look)
{
    paintLines(painter, rect, QColor::fromRgba(look.line));
    const QRect inner = rect.adjusted(0, 0, -GridLayout::LineWidth, -GridLayout::LineWidth);
    painter.fillRect(inner, QColor::fromRgba(look.fill));
    if (look.bevel) {
        // A raised bevel: light above and left, shadow below and right.
        const QColor light = QColor::fromRgba(look.light);
        const QColor dark = QColor::fromRgba(look.dark);
        if (painter.device()->devicePixelRatio() == 1) {
            // The same pixels as the pen's lines below, filled several times faster.
            painter.fillRect(QRect(inner.left(), inner.top(), inner.width(), 1), light);
            painter.fillRect(QRect(inner.left(), inner.top(), 1, inner.height()), light);
            painter.fillRect(QRect(inner.left(), inner.bottom(), inner.width(), 1), dark);
            painter.fillRect(QRect(inner.right(), inner.top(), 1, inner.height()), dark);
        } else {
            // Scaled, the pen's lines stay one device pixel thin, as the bevel has always been drawn.
            painter.setPen(light);
            painter.drawLine(inner.topLeft(), inner.topRight());
            painter.drawLine(inner.topLeft(), inner.bottomLeft());
            painter.setPen(dark);
            painter.drawLine(inner.bottomLeft(), inner.bottomRight());
            painter.drawLine(inner.topRight(), inner.bottomRight());
        }
    }
    if (!look.text.empty()) {
        painter.setPen(QColor::fromRgba(look.ink));
        m_texts.draw(painter, look.text, inner.adjusted(2, 2, 0, 0));
    }
}

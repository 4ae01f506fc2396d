#include "ui/grid/GridPainter.h"

#include "support/Cp1251.h"
#include "ui/Contrast.h"
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
    paintLines(painter, rect, line);
    if (!fixed && look.underEditor == cell)
        return;
    QPalette::ColorRole fill = QPalette::Base;
    QPalette::ColorRole ink = QPalette::Text;
    if (fixed) {
        fill = QPalette::Button;
        ink = QPalette::ButtonText;
    } else if (model.cursor().isSelected(cell)) {
        fill = QPalette::Highlight;
        ink = QPalette::HighlightedText;
    }
    const QRect inner = rect.adjusted(0, 0, -GridLayout::LineWidth, -GridLayout::LineWidth);
    if (fill == QPalette::Base && model.rowMarked(cell.row))
        painter.fillRect(inner, markBackground(colors));
    else if (fill == QPalette::Highlight)
        painter.fillRect(inner, selectionBackground(colors));
    else
        painter.fillRect(inner, colors.color(fill));
    if (fixed) {
        // A raised bevel: light above and left, shadow below and right.
        painter.setPen(colors.color(QPalette::Light));
        painter.drawLine(inner.topLeft(), inner.topRight());
        painter.drawLine(inner.topLeft(), inner.bottomLeft());
        painter.setPen(colors.color(QPalette::Dark));
        painter.drawLine(inner.bottomLeft(), inner.bottomRight());
        painter.drawLine(inner.topRight(), inner.bottomRight());
    }
    GridSource::TextBuffer buffer;
    if (const std::string_view text = model.cellText(cell, buffer); !text.empty()) {
        painter.setPen(colors.color(ink));
        painter.drawText(
            inner.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Cp1251::toQString(text));
    }
    if (look.active && !fixed && cell == model.current()) {
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

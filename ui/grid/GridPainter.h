#pragma once

#include "ui/grid/GridCell.h"
#include "ui/grid/GridCellImages.h"
#include "ui/grid/GridTextCache.h"

#include <QPalette>
#include <QRect>
#include <QSize>

#include <optional>

class GridModel;
class QPainter;

// Paints the byte grid as its model stands: the cells that meet the dirty rectangle (lines, the headers' bevels,
// the selection, the texts and the focus rectangle) and the background beyond the last row and column.
class GridPainter {
public:
    struct Look {
        // The grid or its editor has the keyboard focus: the current cell shows its focus rectangle.
        bool active = false;
        // The cell the shown editor covers, left unpainted.
        std::optional<GridCell> underEditor;
    };

    void paint(
        QPainter& painter, const GridModel& model, const QPalette& colors, QRect dirty, QSize client, const Look& look);

private:
    void paintCell(
        QPainter& painter, const GridModel& model, const QPalette& colors, GridCell cell, QRect rect, const Look& look);
    // A cell's lines, fill, bevel and text: the pixels a cell keeps from one painting to the next.
    void paintCellImage(QPainter& painter, QRect rect, const GridCellImages::Look& look);
    static void paintLines(QPainter& painter, QRect rect, const QColor& color);

    GridTextCache m_texts;
    GridCellImages m_cells;
};

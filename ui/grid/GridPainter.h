#pragma once

#include "ui/grid/GridCell.h"

#include <QPalette>
#include <QRect>
#include <QSize>

#include <optional>

class GridModel;
class QColor;
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

    static void paint(
        QPainter& painter, const GridModel& model, const QPalette& colors, QRect dirty, QSize client, const Look& look);

private:
    static void paintCell(
        QPainter& painter, const GridModel& model, const QPalette& colors, GridCell cell, QRect rect, const Look& look);
    static void paintLines(QPainter& painter, QRect rect, const QColor& color);
};

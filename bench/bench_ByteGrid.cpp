// Measures the byte grid against a QTableWidget filled the same way in the same process: a fill (row count 2, then
// one row more at a time with five cell writes per row, 8193 rows), a full repaint, and the memory the texts take.

#include "ui/grid/ByteGrid.h"

#include "mainwindow/RowFormat.h"

#include "bench/Median.h"

#include <QApplication>
#include <QTableWidget>

#include <malloc.h>

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {
constexpr int Rows = 8193;

// The five texts of one row, as long as the window's: offset, hex, dec, binary, character.
std::array<std::string, 5> rowTexts(int row)
{
    char offset[32];
    std::snprintf(offset, sizeof offset, "%08X (%d)", row - 1, row - 1);
    const int byte = (row * 37) & 0xFF;
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", byte);
    std::string bits;
    for (int bit = 7; bit >= 0; --bit)
        bits += (byte >> bit) & 1 ? '1' : '0';
    return { offset, hex, std::to_string(byte), bits, std::string(1, static_cast<char>(byte | 0x20)) };
}

std::vector<std::array<std::string, 5>> allRows()
{
    std::vector<std::array<std::string, 5>> rows(Rows + 1);
    for (int row = 1; row <= Rows; ++row)
        rows[static_cast<std::size_t>(row)] = rowTexts(row);
    return rows;
}

void fillGrid(ByteGrid& grid, const std::vector<std::array<std::string, 5>>& rows, bool processEvents)
{
    grid.setRowCount(2);
    for (int row = 1; row <= Rows; ++row) {
        if (grid.rowCount() < row + 1)
            grid.setRowCount(row + 1);
        const auto& texts = rows[static_cast<std::size_t>(row)];
        for (int col = 0; col < 5; ++col)
            grid.setCell(col, row, texts[static_cast<std::size_t>(col)]);
        if (processEvents && row % 256 == 0)
            QCoreApplication::processEvents();
    }
    if (processEvents)
        QCoreApplication::processEvents();
}

void fillTable(QTableWidget& table, const std::vector<std::array<std::string, 5>>& rows, bool processEvents)
{
    table.setRowCount(2);
    for (int row = 1; row <= Rows; ++row) {
        if (table.rowCount() < row + 1)
            table.setRowCount(row + 1);
        const auto& texts = rows[static_cast<std::size_t>(row)];
        for (int col = 0; col < 5; ++col) {
            const QString text = QString::fromLatin1(texts[static_cast<std::size_t>(col)].c_str());
            if (QTableWidgetItem* item = table.item(row, col))
                item->setText(text);
            else
                table.setItem(row, col, new QTableWidgetItem(text));
        }
        if (processEvents && row % 256 == 0)
            QCoreApplication::processEvents();
    }
    if (processEvents)
        QCoreApplication::processEvents();
}

// The bytes of a block as the window's rows show them.
class BytesSource : public GridSource {
public:
    explicit BytesSource(const QByteArray& bytes)
        : m_bytes(bytes)
    {
    }
    std::string_view cellText(std::int32_t col, std::int32_t row, TextBuffer& buffer) const override
    {
        if (row < 1 || row > m_bytes.size())
            return {};
        if (col == 0)
            return formatOffset(buffer, row - 1);
        return formatValue(col, static_cast<std::uint8_t>(m_bytes[row - 1]));
    }
    void rowTexts(std::int32_t row, RowTexts& texts) const override
    {
        for (std::size_t col = 0; col < texts.size(); ++col)
            texts[col] = cellText(static_cast<std::int32_t>(col), row, m_offset);
    }

private:
    const QByteArray& m_bytes;
    // Only the offset is formatted into it; the value texts view tables of their own.
    mutable TextBuffer m_offset;
};

std::size_t heapInUse()
{
    return mallinfo2().uordblks;
}
} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto rows = allRows();

    ByteGrid grid;
    grid.resize(550, 400);
    grid.setColWidth(0, 120);
    grid.show();
    QTableWidget table(2, 5);
    table.resize(550, 400);
    table.show();
    QCoreApplication::processEvents();

    // One untimed round each, so that the first timed one does not pay for first allocations and page faults.
    fillGrid(grid, rows, true);
    fillTable(table, rows, true);
    const double gridFill = medianMs([&] { fillGrid(grid, rows, false); });
    const double tableFill = medianMs([&] { fillTable(table, rows, false); });
    const double gridLoad = medianMs([&] { fillGrid(grid, rows, true); });
    const double tableLoad = medianMs([&] { fillTable(table, rows, true); });
    std::printf("fill 8193 rows x 5 cells (grid ops only):   ByteGrid %8.3f ms   QTableWidget %8.3f ms   ratio %.1fx\n",
        gridFill, tableFill, tableFill / gridFill);
    std::printf("load with events processed every 256 rows:  ByteGrid %8.3f ms   QTableWidget %8.3f ms   ratio %.1fx\n",
        gridLoad, tableLoad, tableLoad / gridLoad);

    const double gridPaint = medianMs([&] { grid.viewport()->repaint(); }, 201);
    const double tablePaint = medianMs([&] { table.viewport()->repaint(); }, 201);
    std::printf("full viewport repaint (%dx%d):              ByteGrid %8.3f ms   QTableWidget %8.3f ms\n",
        grid.viewport()->width(), grid.viewport()->height(), gridPaint, tablePaint);

    QByteArray bytes(Rows, Qt::Uninitialized);
    for (int i = 0; i < Rows; ++i)
        bytes[i] = static_cast<char>(i * 37 + 11);
    const BytesSource source(bytes);

    // The heap a grid's texts take: a block shown from its bytes, as the window shows it, and texts of their own in
    // every cell, which the grid keeps for cells set one by one.
    const auto heapFor = [&](const std::function<void(ByteGrid&)>& fill) {
        const std::size_t before = heapInUse();
        ByteGrid fresh;
        fresh.setRowCount(Rows + 1);
        fill(fresh);
        return static_cast<double>(heapInUse() - before) / (1024.0 * 1024.0);
    };
    std::printf("memory for a block shown from its bytes:     %.2f MB\n", heapFor([&](ByteGrid& fresh) {
        fresh.setSource(&source);
        fresh.sourceChanged({ 0, 1 }, { 4, Rows });
    }));
    std::printf("memory for 8193 x 5 cells of 20 bytes:       %.2f MB\n", heapFor([](ByteGrid& fresh) {
        for (int row = 1; row <= Rows; ++row)
            for (int col = 0; col < 5; ++col)
                fresh.setCell(col, row, std::string(20, 'x'));
    }));
    std::printf("medians of %d runs (repaints: 201)\n", Runs);
    return 0;
}

#include "mainwindow/TableReport.h"

#include "support/Cp1251.h"
#include "support/__Str.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <array>
#include <utility>

namespace {
constexpr std::array<std::int32_t, 5> ColumnWidths = { 16, 5, 5, 16, 8 };
constexpr std::string_view LineEnd = "\r\n";
// Written pieces are gathered to this size, so a block of 8193 rows costs a handful of writes.
constexpr std::size_t ChunkSize = 64 * 1024;
} // namespace

TableReport::TableReport(std::string dateLine, std::string filePath, CellReader cell, std::int32_t lastRow)
    : m_dateLine(std::move(dateLine))
    , m_fileName(Cp1251::fromPath(filePath))
    , m_cell(std::move(cell))
    , m_lastRow(lastRow)
{
}

std::string TableReport::dateLineForNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    QString text = locale.toString(now.date(), QLocale::ShortFormat);
    if (now.time().hour() != 0 || now.time().minute() != 0 || now.time().second() != 0)
        text += QLatin1Char(' ') + locale.toString(now.time(), QLocale::LongFormat);
    return "Date : " + Cp1251::fromQString(text);
}

std::string TableReport::rowLine(std::int32_t row, char separator) const
{
    std::string line;
    line.reserve(64);
    for (std::int32_t col = 0; col < static_cast<std::int32_t>(ColumnWidths.size()); ++col) {
        line += PaddedCopy(m_cell(col, row), ' ', ColumnWidths[col], true);
        line += separator;
    }
    return line;
}

void TableReport::write(const std::function<void(const std::string&)>& sink) const
{
    std::string buffer;
    buffer.reserve(ChunkSize + 512);
    auto line = [&](std::string_view text) {
        buffer.append(text).append(LineEnd);
        if (buffer.size() >= ChunkSize) {
            sink(buffer);
            buffer.clear();
        }
    };

    const std::string header = rowLine(0, '|');
    const std::string rule = ReplicateChar('=', static_cast<std::int32_t>(std::min<std::size_t>(header.size(), 255)));
    line(m_dateLine);
    line("FileName : " + m_fileName);
    line(rule);
    line(header);
    line(rule);
    for (std::int32_t row = 1; row <= m_lastRow; ++row)
        line(rowLine(row, ' '));
    line(rule);
    line(Cp1251::fromUtf8("Отчёт составлен программой Quillmoor"));
    line("");
    if (!buffer.empty())
        sink(buffer);
}

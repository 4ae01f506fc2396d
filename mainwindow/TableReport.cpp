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
// A line whose texts all fit their columns: the widths and a separator after each.
constexpr std::size_t FittingLineLength = [] {
    std::size_t length = 0;
    for (const std::int32_t width : ColumnWidths)
        length += static_cast<std::size_t>(width) + 1;
    return length;
}();
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

TableReport::TableReport(std::string dateLine, std::string filePath, RowReader rows, std::int32_t lastRow)
    : m_dateLine(std::move(dateLine))
    , m_fileName(Cp1251::fromPath(filePath))
    , m_rows(std::move(rows))
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
    appendRowLine(line, row, separator);
    return line;
}

void TableReport::appendRowLine(std::string& out, std::int32_t row, char separator) const
{
    // Each text padded with blanks to its column's width, a longer text kept whole. A report of a full block has
    // 41k cells, nearly all of them within their widths: such a line is a blank line with the texts copied in.
    constexpr std::size_t Columns = ColumnWidths.size();
    RowTexts texts {};
    if (m_rows) {
        if (const std::optional<RowTexts> written = m_rows(row))
            texts = *written;
    } else {
        for (std::size_t col = 0; col < Columns; ++col)
            texts[col] = m_cell(static_cast<std::int32_t>(col), row);
    }
    bool allFit = true;
    std::size_t length = 0;
    for (std::size_t col = 0; col < Columns; ++col) {
        const auto width = static_cast<std::size_t>(ColumnWidths[col]);
        allFit = allFit && texts[col].size() <= width;
        length += std::max(texts[col].size(), width) + 1;
    }
    if (allFit) {
        std::size_t at = out.size();
        out.append(FittingLineLength, ' ');
        char* line = out.data();
        for (std::size_t col = 0; col < Columns; ++col) {
            std::copy(texts[col].begin(), texts[col].end(), line + at);
            at += static_cast<std::size_t>(ColumnWidths[col]);
            line[at++] = separator;
        }
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + length);
    char* p = out.data() + start;
    for (std::size_t col = 0; col < Columns; ++col) {
        const std::string_view text = texts[col];
        const auto width = static_cast<std::size_t>(ColumnWidths[col]);
        p = std::copy(text.begin(), text.end(), p);
        if (text.size() < width)
            p = std::fill_n(p, width - text.size(), ' ');
        *p++ = separator;
    }
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
    // Data rows go straight into the buffer: a report of a full block is 8193 of them.
    for (std::int32_t row = 1; row <= m_lastRow; ++row) {
        appendRowLine(buffer, row, ' ');
        line({});
    }
    line(rule);
    line(Cp1251::fromUtf8("Отчёт составлен программой Quillmoor"));
    line("");
    if (!buffer.empty())
        sink(buffer);
}

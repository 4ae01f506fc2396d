#include "mainwindow/TableReport.h"

#include "support/Cp1251.h"
#include "support/FileHandle.h"
#include "support/__Str.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cstring>
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
constexpr auto BlankLine = [] {
    std::array<char, FittingLineLength> blanks {};
    blanks.fill(' ');
    return blanks;
}();
// Written pieces are gathered to this size, so a block of 8193 rows costs a handful of writes.
constexpr std::size_t ChunkSize = 64 * 1024;

static_assert(std::all_of(ColumnWidths.begin(), ColumnWidths.end(), [](std::int32_t width) { return width <= 16; }),
    "a text that fits its column is one for copyShort");

// Copies a text of at most 16 bytes with two moves of a fixed size, which the compiler makes plain loads and
// stores: a report copies 41k such texts, and a call per text cost more than the copying.
void copyShort(char* to, std::string_view text)
{
    const std::size_t n = text.size();
    const char* from = text.data();
    if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n >= 2) {
        std::memcpy(to, from, 2);
        std::memcpy(to + n - 2, from + n - 2, 2);
    } else if (n == 1) {
        *to = *from;
    }
}
} // namespace

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

std::size_t TableReport::lineLength(const RowTexts& texts)
{
    std::size_t length = 0;
    for (std::size_t col = 0; col < texts.size(); ++col)
        length += std::max(texts[col].size(), static_cast<std::size_t>(ColumnWidths[col])) + 1;
    return length;
}

char* TableReport::writeLine(char* to, const RowTexts& texts, std::size_t length, char separator)
{
    // Each text padded with blanks to its column's width, a longer text kept whole. A report of a full block has
    // 41k cells, nearly all of them within their widths: such a line is a blank line with the texts copied in.
    if (length == FittingLineLength) {
        std::memcpy(to, BlankLine.data(), FittingLineLength);
        char* at = to;
        for (std::size_t col = 0; col < texts.size(); ++col) {
            copyShort(at, texts[col]);
            at += ColumnWidths[col];
            *at++ = separator;
        }
        return at;
    }
    for (std::size_t col = 0; col < texts.size(); ++col) {
        const std::string_view text = texts[col];
        const auto width = static_cast<std::size_t>(ColumnWidths[col]);
        to = std::copy(text.begin(), text.end(), to);
        if (text.size() < width)
            to = std::fill_n(to, width - text.size(), ' ');
        *to++ = separator;
    }
    return to;
}

std::string TableReport::rowLine(std::int32_t row, char separator) const
{
    RowTexts texts;
    m_rows(row, texts);
    std::string line(lineLength(texts), ' ');
    writeLine(line.data(), texts, line.size(), separator);
    return line;
}

void TableReport::writeTo(const std::string& path) const
{
    FileHandle file = FileHandle::open(path, FileHandle::Mode::CreateText);
    write([&file](const std::string& piece) { file.write(piece); });
    file.close();
}

void TableReport::write(const std::function<void(const std::string&)>& sink) const
{
    // Lines are written into a buffer of a chunk and a line's room, handed on whenever a chunk is full; a longer
    // line, which only a long text can make, grows it.
    std::size_t size = ChunkSize + 512;
    std::string buffer(size, ' ');
    std::size_t used = 0;
    const auto flush = [&] {
        buffer.resize(used);
        sink(buffer);
        buffer.resize(size);
        used = 0;
    };
    const auto room = [&](std::size_t length) {
        if (used + length > size)
            flush();
        if (length > size) {
            size = length;
            buffer.resize(size);
        }
        return buffer.data() + used;
    };
    const auto line = [&](std::string_view text) {
        char* to = room(text.size() + LineEnd.size());
        to = std::copy(text.begin(), text.end(), to);
        std::copy(LineEnd.begin(), LineEnd.end(), to);
        used += text.size() + LineEnd.size();
        if (used >= ChunkSize)
            flush();
    };

    const std::string header = rowLine(0, '|');
    const std::string rule = ReplicateChar('=', static_cast<std::int32_t>(std::min<std::size_t>(header.size(), 255)));
    line(m_dateLine);
    line("FileName : " + m_fileName);
    line(rule);
    line(header);
    line(rule);
    // Data rows go straight into the buffer: a report of a full block is 8193 of them.
    RowTexts texts;
    for (std::int32_t row = 1; row <= m_lastRow; ++row) {
        m_rows(row, texts);
        const std::size_t length = lineLength(texts);
        char* end = writeLine(room(length + LineEnd.size()), texts, length, ' ');
        std::copy(LineEnd.begin(), LineEnd.end(), end);
        used += length + LineEnd.size();
        if (used >= ChunkSize)
            flush();
    }
    line(rule);
    line(Cp1251::fromUtf8("Отчёт составлен программой Quillmoor"));
    line("");
    if (used != 0)
        flush();
}

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The plain text report of the grid: date and file name, the header row and every data row between rules of
// equals signs, an attribution and an empty line; Windows-1251 bytes, every line ended by CR LF.
class TableReport {
public:
    using CellReader = std::function<const std::string&(std::int32_t col, std::int32_t row)>;
    // Reads the five texts of a row into texts, or gives false for a row of empty texts: one call per row.
    using RowTexts = std::array<std::string_view, 5>;
    using RowReader = std::function<bool(std::int32_t row, RowTexts& texts)>;

    // filePath is the file system's own bytes; the report shows it in its code page.
    TableReport(std::string dateLine, std::string filePath, CellReader cell, std::int32_t lastRow);
    TableReport(std::string dateLine, std::string filePath, RowReader rows, std::int32_t lastRow);

    // Calls sink with consecutive pieces of the report, in order; a sink that throws stops the report.
    void write(const std::function<void(const std::string&)>& sink) const;

    // "Date : " with the user's short date and, unless it is exactly midnight, the long time.
    [[nodiscard]] static std::string dateLineForNow();
    // A data line (blank separators) or the header line ("|" separators) of one grid row.
    [[nodiscard]] std::string rowLine(std::int32_t row, char separator) const;

private:
    void rowTexts(std::int32_t row, RowTexts& texts) const;
    // The length of a row's line, and the line of that length written at to; returns the line's end.
    [[nodiscard]] static std::size_t lineLength(const RowTexts& texts);
    static char* writeLine(char* to, const RowTexts& texts, std::size_t length, char separator);

    std::string m_dateLine;
    std::string m_fileName;
    CellReader m_cell;
    RowReader m_rows;
    std::int32_t m_lastRow;
};

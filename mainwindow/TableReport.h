#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The plain text report of the grid: date and file name, the header row and every data row between rules of
// equals signs, an attribution and an empty line; Windows-1251 bytes, every line ended by CR LF.
class TableReport {
public:
    using CellReader = std::function<const std::string&(std::int32_t col, std::int32_t row)>;
    // The five texts of a row, or nothing for a row of empty texts: one call per row.
    using RowTexts = std::array<std::string_view, 5>;
    using RowReader = std::function<std::optional<RowTexts>(std::int32_t row)>;

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
    void appendRowLine(std::string& out, std::int32_t row, char separator) const;

    std::string m_dateLine;
    std::string m_fileName;
    CellReader m_cell;
    RowReader m_rows;
    std::int32_t m_lastRow;
};

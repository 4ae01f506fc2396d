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
    // Reads the five texts of a row into texts, good until the next row is read: one call per row.
    using RowTexts = std::array<std::string_view, 5>;
    using RowReader = std::function<void(std::int32_t row, RowTexts& texts)>;

    // filePath is the file system's own bytes; the report shows it in its code page.
    TableReport(std::string dateLine, std::string filePath, RowReader rows, std::int32_t lastRow);

    // Creates the file path, or empties it, writes the report into it and closes it, raising EInOutError at the
    // first step that fails; what was written before stays.
    void writeTo(const std::string& path) const;
    // Calls sink with consecutive pieces of the report, in order; a sink that throws stops the report.
    void write(const std::function<void(const std::string&)>& sink) const;

    // "Date : " with the user's short date and, unless it is exactly midnight, the long time.
    [[nodiscard]] static std::string dateLineForNow();
    // A data line (blank separators) or the header line ("|" separators) of one grid row.
    [[nodiscard]] std::string rowLine(std::int32_t row, char separator) const;

private:
    // The length of a row's line, and the line of that length written at to; returns the line's end.
    [[nodiscard]] static std::size_t lineLength(const RowTexts& texts);
    static char* writeLine(char* to, const RowTexts& texts, std::size_t length, char separator);

    std::string m_dateLine;
    std::string m_fileName;
    RowReader m_rows;
    std::int32_t m_lastRow;
};

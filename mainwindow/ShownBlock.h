#pragma once

#include "mainwindow/RowFormat.h"
#include "mainwindow/WriteHistory.h"
#include "support/ByteSearch.h"
#include "support/FileHandle.h"
#include "ui/grid/GridSource.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class BlockSink;

// The block of the file that the window shows, without the window: which file its rows came from, the offset
// of row 1 (StartByte), the byte behind every row, how far the last load got, where each block command
// moves, how a typed cell becomes a byte on disk, and the position kept in the settings file.
//
// Rows are numbered as the grid's: row 1 shows offset StartByte, row r offset StartByte + r - 1.
class ShownBlock {
public:
    // The step of the previous and next commands; a block shows BlockSpan + 1 bytes, so neighbours share one.
    static constexpr std::int32_t BlockSpan = 8192;
    // The last block starts this many bytes before the end of the file.
    static constexpr std::int32_t EndPlacement = 8191;
    // A load lets pending events run after every this many rows.
    static constexpr std::int32_t RowsBetweenEvents = 256;

    enum class Move { Previous, Next, Start, End };

    explicit ShownBlock(BlockSink& sink);

    // The settings file that keeps the last file and position.
    void setSettingsFile(std::string path) { m_settingsFile = std::move(path); }

    [[nodiscard]] std::int32_t startByte() const { return StartByte; }
    void setStartByte(std::int32_t start) { StartByte = start; }
    // The file the rows were last loaded from (also when that load failed).
    [[nodiscard]] const std::string& file() const { return m_file; }
    // How many rows, from row 1, the last load filled.
    [[nodiscard]] std::int32_t loadedRows() const { return m_loadedRows; }
    // A load or a search is running; commands that would start another meanwhile are dropped.
    [[nodiscard]] bool busy() const { return m_busy; }
    // A block command may run: more than one byte is shown and nothing is running.
    [[nodiscard]] bool canNavigate() const { return !m_busy && m_loadedRows > 1; }

    // The placement rule: a start at or beyond the end of a file of size bytes shows the last block.
    [[nodiscard]] static std::int32_t placed(std::int64_t start, std::int64_t size);
    // Where a block command moves from the shown block, the file at path being the current one.
    [[nodiscard]] std::int32_t startFor(Move move, const std::string& path) const;
    // Where going to byte n moves: a start inside the last block shows the whole last block.
    [[nodiscard]] static std::int32_t startForByte(std::int64_t n, const std::string& path);

    // Reads the block of path at start into the rows, one positioned read per RowsBetweenEvents rows. False,
    // with nothing read, when the file is missing, empty or cannot be opened. A failing byte raises
    // EInOutError with every row before it filled.
    [[nodiscard]] bool load(const std::string& path, std::int32_t start);

    // Looks for needle in the file at path (see ByteSearch::find), within the offsets the program reaches, with the
    // hourglass up, letting pending events run after every chunk read; stop is asked then whether to give up.
    // Nothing when the file cannot be opened.
    [[nodiscard]] std::optional<ByteSearch::Result> find(const std::string& path, std::string_view needle,
        std::int64_t from, bool forward, const std::function<bool()>& stop);

    // The text of a row's cell as the window shows it: the offset the row was last filled from and the byte it was
    // last given; empty for a row never filled.
    [[nodiscard]] std::string_view rowText(std::int32_t col, std::int32_t row, GridSource::TextBuffer& buffer) const;
    // All five texts of a row, good until the next row's are asked for.
    void rowTexts(std::int32_t row, GridSource::RowTexts& texts) const;
    // True when text is what the program last put into cell (col, row): the grid handing its editor back, not a
    // change of the user's.
    [[nodiscard]] bool showsOwnText(std::int32_t col, std::int32_t row, const std::string& text) const;
    // The byte a cell text stands for in its column (1 Hex, 2 Dec, 3 Bin, 4 Ascii): trimmed, empty is 0, the
    // low 8 bits of the value. Raises EConvertError for a Hex or Dec text that is no number.
    [[nodiscard]] static std::uint8_t cellByte(std::int32_t col, std::string text);
    // Commits the text typed into (col, row): converts it, writes the byte into the loaded file when writing
    // is on, and shows the row's values again. The byte is written only while the path still leads to the
    // file the rows were loaded from and that file still holds the byte the row shows; each write goes into
    // the history. False when the byte should have been written but was not: for a row of no loaded byte or
    // a file that cannot be written the row shows the converted value; when the file changed, the byte the
    // file at the path now holds, or the row keeps its texts when there is none to read. Conversion and I/O
    // errors raise, leaving the row as it is.
    [[nodiscard]] bool commit(std::int32_t col, std::int32_t row, const std::string& text, bool writing);
    // The bytes written in this run.
    [[nodiscard]] const WriteHistory& history() const { return m_history; }
    // The row of the shown block that holds the byte of write, in the file it was written to.
    [[nodiscard]] std::optional<std::int32_t> rowOf(const WrittenByte& write) const;
    // The shown block holds that byte as it was when written: the same file, and its row loaded.
    [[nodiscard]] bool shows(const WrittenByte& write) const { return rowOf(write) && m_identity == write.identity; }
    // Takes the history's next write back or writes it again, checked as a commit is (the file must hold the
    // byte the write left, or the one it replaced), when its row is shown. False when it could not be done;
    // when the file changed, or its row is not shown, the write is dropped from the history with those it
    // depends on, and the row shows what the file now holds.
    [[nodiscard]] bool rewrite(WriteHistory::Direction direction);
    // Shows again the byte row was last filled with, dropping what was typed there.
    void showOwnValue(std::int32_t row);

    // The position in the settings file: the start alone after a block command, the file and then the start
    // after opening one.
    void storeStartByte() const;
    void storeFile(const std::string& path) const;
    // Reads the stored file and start; the start is taken as stored. Returns the file's path.
    [[nodiscard]] std::string restore();

private:
    void showValue(std::int32_t row, std::uint8_t v);
    // After a refused write: the row shows the byte found, or keeps its texts when there was none.
    void showRefused(std::int32_t row, std::optional<std::uint8_t> found, std::int32_t col, const std::string& text);
    void fillRows(std::int32_t firstRow, std::int64_t firstOffset, const char* bytes, std::size_t count);

    BlockSink& m_sink;
    std::string m_settingsFile;
    std::int32_t StartByte = 0;
    std::string m_file;
    // The file the last load read, whatever its path leads to now.
    std::optional<FileIdentity> m_identity;
    std::int32_t m_loadedRows = 0;
    bool m_busy = false;
    // The byte each row was last filled with by the program (-1: never), so a hand-back of the grid's editor
    // is told apart from a change the user made.
    std::vector<std::int16_t> m_rowBytes;
    // The offset of row 1 in the last load that filled any row: a load that fills none leaves the rows before.
    std::optional<std::int64_t> m_shownStart;
    mutable OffsetTexts m_offsetTexts;
    // A typed text left in its cell by a refused write, with no byte of the file to show instead: handed back,
    // it is no new change either.
    struct KeptText {
        std::int32_t col;
        std::int32_t row;
        std::string text;
    };
    std::optional<KeptText> m_kept;
    WriteHistory m_history;
};

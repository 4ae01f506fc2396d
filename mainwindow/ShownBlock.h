#pragma once

#include "mainwindow/RowFormat.h"
#include "mainwindow/WriteHistory.h"
#include "support/FileHandle.h"
#include "ui/grid/GridCell.h"
#include "ui/grid/GridSource.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class BlockView;

// The window's commands without the window: the block of the file it shows and everything done to it. It keeps
// which file the rows came from, the offset of row 1 (StartByte), the byte behind every row and how far the last
// load got; the pending edit of a cell and its commit into the file; where each block command moves; the bytes
// written in the run, to take back and write again; what was last looked for; and the position kept in the
// settings file. Each command commits a pending edit where it was made, moves, loads and stores the position in
// one call. The grid reads the rows' texts from it (GridSource).
//
// Rows are numbered as the grid's: row 1 shows offset StartByte, row r offset StartByte + r - 1.
class ShownBlock : public GridSource {
public:
    // The step of the previous and next commands; a block shows BlockSpan + 1 bytes, so neighbours share one.
    static constexpr std::int32_t BlockSpan = 8192;
    // The last block starts this many bytes before the end of the file.
    static constexpr std::int32_t EndPlacement = 8191;
    // A load lets pending events run after every this many rows.
    static constexpr std::int32_t RowsBetweenEvents = 256;

    enum class Move { Previous, Next, Start, End };

    explicit ShownBlock(BlockView& view);

    // The settings file that keeps the last file and position.
    void setSettingsFile(std::string path) { m_settingsFile = std::move(path); }

    [[nodiscard]] std::int32_t startByte() const { return StartByte; }
    // How many rows, from row 1, the last load filled.
    [[nodiscard]] std::int32_t loadedRows() const { return m_loadedRows; }
    // The file the rows come from, and what this run's writes not taken back changed in it.
    [[nodiscard]] const std::string& file() const { return m_file; }
    [[nodiscard]] PatchFile::Patch netChanges() const
    {
        return m_identity ? m_history.netChanges(m_file, *m_identity) : PatchFile::Patch {};
    }
    // A load or a search is running; commands that would start another meanwhile are dropped.
    [[nodiscard]] bool busy() const { return m_busy; }
    // A block command may run: more than one byte is shown and nothing is running.
    [[nodiscard]] bool canNavigate() const { return !m_busy && m_loadedRows > 1; }
    [[nodiscard]] bool editPending() const { return EditPending; }

    // The texts of the rows, as the offset each row was last filled from and the byte it was last given show them;
    // empty for a row never given a byte.
    [[nodiscard]] std::string_view cellText(std::int32_t col, std::int32_t row, TextBuffer& buffer) const override;
    void rowTexts(std::int32_t row, RowTexts& texts) const override;

    // Typed bytes reach the file only while writing is on.
    void setWriting(bool on) { m_writing = on; }
    // The user changed the text of cell (col, row): it is the pending edit. noByte is the first character typed
    // that has no byte in the code page (0 for none): such a text is refused, not written as "?".
    void edited(std::int32_t col, std::int32_t row, char32_t noByte = 0);
    // Commits the pending edit: the cell's text converted by its column is written into the file the rows were
    // loaded from, at its row's offset, when writing is on, and the row shows the byte. The byte is written only
    // while the path still leads to that file and it still holds the byte the row shows; otherwise the row shows
    // what the file at the path holds there (it keeps the text when there is nothing to read), and so it does when
    // writing is off. A write that was to be made and was not is noticed. A text that is no number raises
    // EConvertError and an I/O failure EInOutError, the edit staying pending and the row as it is.
    void commitPending();

    // The commands. Each commits a pending edit where it was made first (one that is no number is dropped, with
    // the error shown), then loads the block and stores the position; a load failing halfway raises, with the rows
    // before the failing byte shown and nothing stored.
    //
    // The open command: path shown from start, its name and start stored.
    void open(const std::string& path, std::int32_t start = 0);
    // Reads the stored file and start; the start is taken as stored. Returns the file's path.
    [[nodiscard]] std::string restore();
    // Shows the current file at the restored start, as stored, storing nothing.
    void showRestored();
    // The block commands; each does nothing unless canNavigate().
    void move(Move move);
    // Going to byte n: a start inside the last block shows the whole last block.
    void goToByte(std::int64_t n);
    // Takes the last write back, or writes the last one taken back again, when writing is on. Its file and block
    // are shown first, as they were shown when it was written; it is checked as a commit is (the file must hold the
    // byte the write left, or the one it replaced). When the file changed, the write goes from the history with
    // those that depend on it, and the row shows what the file holds. Gives the cell the byte was typed in.
    [[nodiscard]] std::optional<GridCell> rewrite(WriteHistory::Direction direction);

    // The bytes rows first to last show, as far as the block holds them.
    [[nodiscard]] std::string shownBytes(std::int32_t first, std::int32_t last) const;
    enum class Pasted { Written, Nothing, DoesNotFit, NotWritten };
    // Writes bytes over the shown rows, as one checked write and one undo step, after committing a pending edit:
    // from row first on when first == last, else repeated to fill exactly rows first to last. Nothing while
    // writing is off; DoesNotFit, with nothing written, for bytes beyond the last row shown; NotWritten, with
    // the write error shown, when the check or the write fails.
    Pasted paste(std::int32_t first, std::int32_t last, const std::string& bytes);

    // Finding bytes: the last answer of the find prompt and the bytes it stands for.
    [[nodiscard]] const std::string& findAnswer() const { return m_findAnswer; }
    [[nodiscard]] bool canFindAgain() const { return !m_findBytes.empty(); }
    // Takes an answer of the find prompt; false, keeping the last one, when it is neither hex bytes nor a quoted
    // text.
    [[nodiscard]] bool takeFindAnswer(const std::string& answer);
    enum class FindFrom { Here, After, Before };
    struct Found {
        enum class Outcome { Found, NotFound, Stopped, CannotOpen } outcome = Outcome::NotFound;
        // The rows of the match's bytes, as far as the block shows them.
        std::optional<GridRange> rows;
    };
    // Looks for the bytes in the current file from the byte of row currentRow (FindFrom::Here), or after or before
    // it, to the end of the file and once round from the other end, within the offsets the program reaches. The
    // hourglass is up and pending events run after every chunk read; stop is asked then whether to give up. A match
    // is shown as going to its byte shows it.
    [[nodiscard]] Found find(FindFrom from, std::int32_t currentRow, const std::function<bool()>& stop);
    struct Replaced {
        enum class Outcome { Replaced, NotFound, Stopped, CannotOpen, NotWritten } outcome = Outcome::NotFound;
        std::size_t count = 0;
        // The rows of the first replaced bytes, as a find shows a match.
        std::optional<GridRange> rows;
    };
    // Replaces every match of the find answer that does not overlap the one before, in the reachable bytes of the
    // file the rows come from, by replacement (as long): the whole search first, as find() searches, then one
    // checked write of every match and one undo step. The first replaced byte is then shown as a match is;
    // refused, the write error is shown and the rows show what the file holds.
    [[nodiscard]] Replaced replaceAll(const std::string& replacement, const std::function<bool()>& stop);

private:
    enum class Store { Nothing, Start, FileAndStart };
    // The start of the block a command shows, given the size of the file (-1 when it cannot be read).
    using Placement = std::function<std::int32_t(std::int32_t size)>;

    // Where going to byte n moves.
    [[nodiscard]] static Placement showingByte(std::int64_t n);
    // The block at start, or, when the file no longer reaches it, the last block.
    [[nodiscard]] static Placement keepingStart(std::int32_t start);
    // Every command that shows a block ends here: the pending edit committed, the file opened once, the start
    // placed, the rows loaded, the position stored.
    void change(const std::string& path, const Placement& place, Store store, bool newFile);
    // Fills the rows from the opened file at StartByte, one read per RowsBetweenEvents rows, up to size, the
    // part of the file the program reaches (-1 when it could not be read).
    void LoadBlock(FileHandle::Opened& opened, std::int32_t size);
    void commitBeforeBlockChange();
    // False when a byte that should have been written was not.
    [[nodiscard]] bool commit(std::int32_t col, std::int32_t row, const std::string& text);
    // The row of the shown block that holds the byte of write, in the file it was written to.
    // The row of the write's first byte, when the rows show its first range.
    [[nodiscard]] std::optional<std::int32_t> rowOf(const WrittenRange& write) const;
    void showValue(std::int32_t row, std::uint8_t v);
    void showValues(std::int32_t firstRow, std::string_view bytes);
    void showOwnValue(std::int32_t row);
    void fillRows(std::int32_t firstRow, const char* bytes, std::size_t count);

    BlockView& m_view;
    std::string m_settingsFile;
    std::int32_t StartByte = 0;
    std::string m_file;
    // The file the last load read, whatever its path leads to now.
    std::optional<FileIdentity> m_identity;
    std::int32_t m_loadedRows = 0;
    bool m_busy = false;
    bool m_writing = false;
    bool EditPending = false;
    char32_t m_editNoByte = 0;
    std::int32_t EditCol = -1;
    std::int32_t EditRow = -1;
    // The byte each row was last given, or NoByte.
    static constexpr std::int16_t NoByte = -1;
    std::vector<std::int16_t> m_rowBytes;
    // The offset of row 1 in the last load that filled any row: a load that fills none leaves the rows before.
    std::optional<std::int64_t> m_shownStart;
    mutable OffsetTexts m_offsetTexts;
    WriteHistory m_history;
    std::string m_findAnswer;
    std::string m_findBytes;
};

#pragma once

#include "mainwindow/WriteHistory.h"
#include "support/Address.h"
#include "support/ByteChanges.h"
#include "support/ByteSearch.h"
#include "support/ClipboardContent.h"
#include "support/FileHandle.h"
#include "support/__Files.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class BlockView;

// What changed in the shown block, as its watchers hear it.
struct BlockChange {
    enum class Kind {
        Loaded, // a load's first bytes, from StartByte, took the place of everything shown before
        LoadedMore, // a load showed further bytes
        Emptied, // a load showed no byte: the first byte shown before stays, belonging to no block
        Bytes, // the bytes shown at these addresses changed: written, typed, or as the file holds them now
        Written, // a change set was written to the file the bytes come from (written)
        Current, // the current address moved
        Writing, // writing was switched on or off
    };
    Kind kind;
    AddressRange bytes {};
    const ByteChanges* written = nullptr;
};

// The window's commands without the window: the block of the file it shows and everything done to it. It keeps
// which file the bytes came from, StartByte, the bytes shown and how far the last load got; the current address;
// the pending edit of a byte and its commit into the file; where each block command moves; the bytes written in
// the run, to take back and write again; what was last looked for; and the position kept in the settings file.
// Each command commits a pending edit where it was made, moves, loads and stores the position in one call, and
// every write is one change set through the one checked write and one step of the history.
//
// It speaks addresses: the window shows the byte at firstShown() + r - 1 in its row r, and tools read the bytes
// from the current address on. Whatever changes is told to the watchers.
class ShownBlock {
public:
    // The step of the previous and next commands; a block shows BlockSpan + 1 bytes, so neighbours share one.
    static constexpr Address BlockSpan = 8192;
    // The last block starts this many bytes before the end of the file.
    static constexpr Address EndPlacement = 8191;
    // A load lets pending events run after every this many bytes.
    static constexpr std::int32_t RowsBetweenEvents = 256;

    enum class Move { Previous, Next, Start, End };

    explicit ShownBlock(BlockView& view);

    // Hears every change, in order, from inside the command that makes it; it may not throw.
    using Watch = std::function<void(const BlockChange&)>;
    void watch(Watch watch) { m_watches.push_back(std::move(watch)); }

    // The settings file that keeps the last file and position.
    void setSettingsFile(std::string path) { m_settingsFile = std::move(path); }

    [[nodiscard]] Address startByte() const { return StartByte; }
    // The bytes the last load showed, from StartByte on.
    [[nodiscard]] AddressRange loaded() const { return { StartByte, StartByte + m_loadedCount }; }
    // Where the bytes shown begin: at the start of the last load that showed any (one that shows none leaves the
    // bytes before in place), or at StartByte before any did.
    [[nodiscard]] Address firstShown() const { return m_shownStart.value_or(StartByte); }
    [[nodiscard]] bool anyShown() const { return m_shownStart.has_value(); }
    // The byte shown at address, as the last load or command left it; none for an address never given a byte.
    [[nodiscard]] std::optional<std::uint8_t> shownByte(Address address) const;
    // The bytes of range that the last load showed, as they are shown now.
    [[nodiscard]] std::string shownBytes(AddressRange range) const;
    // The file the bytes come from, and what this run's writes not taken back changed in it.
    [[nodiscard]] const std::string& file() const { return m_file; }
    [[nodiscard]] ByteChanges netChanges() const;
    // A load or a search is running; commands that would start another meanwhile are dropped.
    [[nodiscard]] bool busy() const { return m_busy; }
    // A block command may run: more than one byte is shown and nothing is running.
    [[nodiscard]] bool canNavigate() const { return !m_busy && m_loadedCount > 1; }
    [[nodiscard]] bool editPending() const { return EditPending; }
    // The size of the shown file as the last command found it (-1 when it could not be read), and how many hex
    // digits its offsets are shown with.
    [[nodiscard]] Address fileSize() const { return m_fileSize; }
    [[nodiscard]] int offsetDigits() const { return m_offsetDigits; }

    // Where the user is: the window's current row, which tools read from.
    [[nodiscard]] Address current() const { return m_current; }
    void setCurrent(Address address);

    // Bytes reach the file only while writing is on.
    [[nodiscard]] bool writing() const { return m_writing; }
    void setWriting(bool on);
    // The user changed the text of the byte at address in column col (1 Hex, 2 Dec, 3 Bin, 4 Ascii): it is the
    // pending edit. noByte is the first character typed that has no byte in the code page (0 for none): such a
    // text is refused, not written as "?".
    void edited(std::int32_t col, Address address, char32_t noByte = 0);
    // Commits the pending edit: the text converted by its column is written into the file the bytes were loaded
    // from, at its address, when writing is on, and the byte is shown. The byte is written only while the path
    // still leads to that file and it still holds the byte shown; otherwise what the file at the path holds there is
    // shown (the typed value when there is nothing to read), and so it is when writing is off. A write that was to
    // be made and was not is noticed. A text that is no number raises EConvertError and an I/O failure EInOutError,
    // the edit staying pending and the byte shown as it was.
    void commitPending();

    // The commands. Each commits a pending edit where it was made first (one that is no number is dropped, with
    // the error shown), then loads the block and stores the position; a load failing halfway raises, with the bytes
    // before the failing one shown and nothing stored.
    //
    // The open command: path shown from start, its name and start stored.
    void open(const std::string& path, Address start = 0);
    // Reads the stored file and start; the start is taken as stored, one beyond 32 bits only while the file reaches
    // it (else 0). Returns the file's path.
    [[nodiscard]] std::string restore();
    // Shows the current file at the restored start, as stored, storing nothing.
    void showRestored();
    // The block commands; each does nothing unless canNavigate().
    void move(Move move);
    // Going to byte n: a start inside the last block shows the whole last block.
    void goToByte(Address n);
    // Where a step of the history was typed: its column and first byte.
    struct Place {
        std::int32_t col = 1;
        Address address = 0;
    };
    // Takes the last write back, or writes the last one taken back again, when writing is on. Its file and block
    // are shown first, as they were shown when it was written; it is checked as a commit is (the file must hold the
    // bytes the write left, or those it replaced). When the file changed, the write goes from the history with those
    // that depend on it, and what the file holds is shown. Gives the place of its first byte when it is shown.
    [[nodiscard]] std::optional<Place> rewrite(WriteHistory::Direction direction);

    struct Pasted {
        enum class Outcome { Written, Nothing, NotUnderstood, DoesNotFit, NotWritten } outcome = Outcome::Nothing;
        // NotUnderstood: the text, trimmed, as it can be shown.
        std::string text;
    };
    // Writes the clipboard's bytes over the selected bytes, as one checked write and one undo step, after committing
    // a pending edit: from its first byte on when one is selected, else repeated to fill exactly those selected (00
    // over a selection is a zero fill). Its raw bytes are taken as they are, a text read as an answer of the find
    // prompt. Nothing while writing is off; DoesNotFit, with nothing written, for bytes beyond the last one shown;
    // NotWritten, with the write error shown, when the check or the write fails.
    [[nodiscard]] Pasted paste(AddressRange selected, const ClipboardContent& clipboard);
    // Writes the bytes of a typed value from the current address on, as a paste of them would.
    [[nodiscard]] Pasted::Outcome writeValue(const std::string& bytes);

    // Finding bytes: the last answer of the find prompt and what it asks for.
    [[nodiscard]] const std::string& findAnswer() const { return m_findAnswer; }
    [[nodiscard]] bool canFindAgain() const { return !m_findQuery.empty(); }
    struct FindAnswer {
        ByteSearch::Parsed::Outcome outcome = ByteSearch::Parsed::Outcome::NotUnderstood;
        // NoValue: the value's text, as the answer gave it.
        std::string value;
        explicit operator bool() const { return outcome == ByteSearch::Parsed::Outcome::Understood; }
    };
    // Takes an answer of the find prompt (ByteSearch::parseQuery); one not understood keeps the last one.
    [[nodiscard]] FindAnswer takeFindAnswer(const std::string& answer);
    enum class FindFrom { Here, After, Before };
    struct Found {
        enum class Outcome { Found, NotFound, Stopped, CannotOpen } outcome = Outcome::NotFound;
        // The match's bytes.
        AddressRange match;
        // A number found: its type, and the order of its bytes there when the other order reads differently.
        std::optional<ByteValues::Type> type;
        std::optional<ByteValues::Order> order;
    };
    // Looks for the answer in the current file from the current address (FindFrom::Here), or after or before it,
    // to the end of the file and once round from the other end; a number in both orders at once. The hourglass is
    // up and pending events run after every chunk read; stop is asked then whether to give up. A match is shown as
    // going to its byte shows it.
    [[nodiscard]] Found find(FindFrom from, const std::function<bool()>& stop);
    struct Replaced {
        enum class Outcome {
            Replaced,
            NotFound,
            Stopped,
            CannotOpen,
            NotWritten,
            WritingOff,
            NotUnderstood,
            LengthDiffers,
            OnlyWildcards,
            NoValue,
            UnknownWhereKnown,
            NumberAndBytes,
            WidthDiffers,
            OrderUnknown,
        } outcome
            = Outcome::NotFound;
        std::size_t count = 0;
        // The first replaced bytes, shown as a find shows a match.
        AddressRange first;
        // NoValue: the value's text, as the answer gave it.
        std::string value;
    };
    // Replaces every match of the find answer that does not overlap the one before, in the file the bytes come
    // from, by what answer stands for (none: it had a character of no byte): bytes as many, where ?? keeps the byte
    // each match has and stands only where the find answer has ??; or a number by a number of the same width, in the
    // order of each match's bytes. The whole search first, as find() searches, then one checked write of every
    // match and one undo step. The first replaced byte is then shown as a match is; refused, the write error is
    // shown and the bytes are shown as the file holds them.
    [[nodiscard]] Replaced replaceAll(const std::optional<std::string>& answer, const std::function<bool()>& stop);

    // Runs work, a long read such as a comparison of files, as a search runs: after committing a pending edit, with
    // the hourglass up and other commands dropped; goOn runs pending events and asks stop whether to give up.
    // False, running nothing, while something else runs.
    using GoOn = std::function<bool()>;
    [[nodiscard]] bool runLong(const std::function<void(const GoOn& goOn)>& work, const std::function<bool()>& stop);

    // Saves the run's changes of the file the bytes come from as a patch file at path. Raises EInOutError when it
    // cannot be written.
    void savePatch(const std::string& path) const;

private:
    enum class Store { Nothing, Start, FileAndStart };
    // The start of the block a command shows, given the size of the file (-1 when it cannot be read).
    using Placement = std::function<Address(Address size)>;

    // Where going to byte n moves.
    [[nodiscard]] static Placement showingByte(Address n);
    // The block at start, or, when the file no longer reaches it, the last block.
    [[nodiscard]] static Placement keepingStart(Address start);
    // Every command that shows a block ends here: the pending edit committed, the file opened once, the start
    // placed, the bytes loaded, the position stored.
    void change(const std::string& path, const Placement& place, Store store, bool newFile);
    // Shows the bytes of the opened file from StartByte, one read per RowsBetweenEvents bytes, up to size (-1 when
    // it could not be read).
    void LoadBlock(FileHandle::Opened& opened, Address size);
    void commitBeforeBlockChange();
    // False when a byte that should have been written was not.
    [[nodiscard]] bool commit(std::int32_t col, Address address, const std::string& text);
    // One checked write of changes to the file the bytes come from and, when written, one step of the history,
    // kept with the block at startByte and the column col.
    [[nodiscard]] CheckedWrite writeChanges(const ByteChanges& changes, std::int32_t col, Address startByte);
    // After a write another program cut short, the size shown is the one the file has now.
    void showSizeIfCut(const CheckedWrite& done);
    // Writes bytes from selected's first byte on, or repeated over all of it.
    [[nodiscard]] Pasted::Outcome writeOver(AddressRange selected, const std::string& bytes);
    // The rows show bytes from address on; the watchers hear of it.
    void show(Address address, std::string_view bytes);
    void showOwnByte(Address address);
    void tell(const BlockChange& change) const;

    BlockView& m_view;
    std::vector<Watch> m_watches;
    std::string m_settingsFile;
    Address StartByte = 0;
    std::string m_file;
    // The file the last load read, whatever its path leads to now.
    std::optional<FileIdentity> m_identity;
    Address m_loadedCount = 0;
    Address m_fileSize = -1;
    int m_offsetDigits = 8;
    Address m_current = 0;
    bool m_busy = false;
    bool m_writing = false;
    bool EditPending = false;
    char32_t m_editNoByte = 0;
    std::int32_t EditCol = -1;
    Address m_editAddress = -1;
    // The byte shown at each address from firstShown() on, or NoByte.
    static constexpr std::int16_t NoByte = -1;
    std::vector<std::int16_t> m_bytes;
    // The start of the last load that showed any byte.
    std::optional<Address> m_shownStart;
    WriteHistory m_history;
    std::string m_findAnswer;
    ByteSearch::Query m_findQuery;
};

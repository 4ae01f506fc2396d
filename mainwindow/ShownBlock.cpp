#include "mainwindow/ShownBlock.h"

#include "mainwindow/BlockView.h"
#include "support/ByteSearch.h"
#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/IntParser.h"
#include "support/StrHF.h"
#include "support/__Bin.h"
#include "support/__Files.h"
#include "support/__Str.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>

namespace {

const char* const FileSection = "File";
const char* const NameFileKey = "NameFile";
const char* const StartByteKey = "StartByte";

// The hourglass while a file is read, taken down on every path.
class BusyScope {
public:
    explicit BusyScope(BlockView& view)
        : m_view(view)
    {
        m_view.setBusy(true);
    }
    ~BusyScope() { m_view.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BlockView& m_view;
};

std::int32_t clampedStart(std::int64_t start)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(start, 0, INT32_MAX));
}

// The file's true size, shown as it is; -1 when it could not be opened or its size read.
std::int64_t sizeOf(const FileHandle::Opened& opened)
{
    if (!opened)
        return -1;
    try {
        return opened.file.size();
    } catch (const EInOutError&) {
        return -1;
    }
}

// The byte a cell text stands for in its column (1 Hex, 2 Dec, 3 Bin, 4 Ascii): trimmed, empty is 0, the low 8 bits
// of the value. Raises EConvertError for a Hex or Dec text that is no number.
std::uint8_t cellByte(std::int32_t col, std::string text)
{
    TrimSpaces(text);
    if (text.empty())
        return 0;
    std::int32_t value = 0;
    switch (col) {
    case 1:
        value = parseInt("$" + text);
        break;
    case 2:
        value = parseInt(text);
        break;
    case 3:
        value = BinStrToByte(text);
        break;
    default:
        value = static_cast<unsigned char>(text.front());
        break;
    }
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

ShownBlock::ShownBlock(BlockView& view)
    : m_view(view)
    , m_rowBytes(BlockSpan + 2, NoByte)
{
}

std::string_view ShownBlock::cellText(std::int32_t col, std::int32_t row, TextBuffer& buffer) const
{
    if (row < 1 || row >= static_cast<std::int32_t>(m_rowBytes.size()))
        return {};
    if (col == 0) {
        if (!m_shownStart)
            return {};
        // Copied out: the next row's text is counted up in the same place.
        const std::string_view text = m_offsetTexts.text(*m_shownStart + row - 1);
        std::copy(text.begin(), text.end(), buffer.begin());
        return { buffer.data(), text.size() };
    }
    const std::int16_t v = m_rowBytes[static_cast<std::size_t>(row)];
    return v == NoByte ? std::string_view() : formatValue(col, static_cast<std::uint8_t>(v));
}

void ShownBlock::rowTexts(std::int32_t row, RowTexts& texts) const
{
    const bool known = row >= 1 && row < static_cast<std::int32_t>(m_rowBytes.size());
    // The offset's text views the place it is counted up in, good until the next one is asked for: all a reader
    // of whole rows needs, and a copy fewer for each of a report's 8193.
    texts[0] = known && m_shownStart ? m_offsetTexts.text(*m_shownStart + row - 1) : std::string_view();
    const std::int16_t v = known ? m_rowBytes[static_cast<std::size_t>(row)] : NoByte;
    if (v == NoByte)
        std::fill(texts.begin() + 1, texts.end(), std::string_view());
    else
        formatValues(static_cast<std::uint8_t>(v), texts);
}

void ShownBlock::edited(std::int32_t col, std::int32_t row, char32_t noByte)
{
    EditPending = true;
    EditCol = col;
    EditRow = row;
    m_editNoByte = noByte;
}

void ShownBlock::commitPending()
{
    if (EditPending && m_editNoByte) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", unsigned(m_editNoByte));
        throw EConvertError(Cp1251::fromUtf8("Символ ") + code + Cp1251::fromUtf8(" не имеет байта в Windows-1251"));
    }
    if (EditPending && !commit(EditCol, EditRow, m_view.typedText(EditCol, EditRow)))
        m_view.showNotice(BlockView::Notice::CannotWrite);
    EditPending = false;
}

void ShownBlock::commitBeforeBlockChange()
{
    try {
        commitPending();
    } catch (const EConvertError& error) {
        // The edit cannot wait for a correction any more: its row is about to show another byte. It is dropped,
        // and the error box says why nothing was written; holding the command back would leave the user stuck
        // whenever the text cannot be corrected (writing switched off, no file to go back to).
        EditPending = false;
        showOwnValue(EditRow);
        m_view.showDroppedEdit(error);
    }
}

bool ShownBlock::commit(std::int32_t col, std::int32_t row, const std::string& text)
{
    const std::int64_t offset = std::int64_t(StartByte) + row - 1;
    // Typed over a row before offset 0 (a start restored from a hand-edited settings file): no byte to take it.
    if (offset < 0)
        return true;
    std::uint8_t v = cellByte(col, text);
    // A row beyond those the last load filled (row 1 after a failed load still shows the block before) belongs
    // to no byte of this block, so its edit is written nowhere.
    const bool inBlock = row >= 1 && row <= m_loadedRows && offset <= INT32_MAX;
    if (!m_writing) {
        // Nothing is written while writing is off, so the row shows the byte the file really holds.
        if (inBlock) {
            FileHandle::Opened opened = FileHandle::tryOpen(m_file, FileHandle::Mode::Read);
            char found = 0;
            try {
                if (opened && opened.file.readRange(offset, &found, 1) == 1)
                    v = static_cast<std::uint8_t>(found);
            } catch (const EInOutError&) {
            }
        }
        showValue(row, v);
        return true;
    }
    if (!inBlock) {
        showValue(row, v);
        return false;
    }
    const auto shown = static_cast<std::uint8_t>(m_rowBytes[row]);
    const CheckedWrite done = WriteByteAt(m_file, *m_identity, offset, shown, v);
    switch (done.outcome) {
    case CheckedWrite::Outcome::Written:
        m_history.record({ m_file, *m_identity, { static_cast<std::int32_t>(offset) }, done.found,
            std::string(1, static_cast<char>(v)), StartByte, col });
        showValue(row, v);
        return true;
    case CheckedWrite::Outcome::NotWritable:
        showValue(row, v);
        return false;
    case CheckedWrite::Outcome::Refused:
        // The row shows what the file at the path holds there; with nothing to read there (the file gone or cut
        // short), the typed value in every column, as for a file that cannot be written.
        showValue(row, done.found.empty() ? v : static_cast<std::uint8_t>(done.found.front()));
        return false;
    }
    return false;
}

std::optional<std::int32_t> ShownBlock::rowOf(const WrittenRange& write) const
{
    const std::int64_t row = std::int64_t(write.offsets.front()) - StartByte + 1;
    if (write.path != m_file || row < 1 || row + std::int64_t(write.after.size()) - 1 > m_loadedRows)
        return std::nullopt;
    return static_cast<std::int32_t>(row);
}

std::optional<GridCell> ShownBlock::rewrite(WriteHistory::Direction direction)
{
    if (!m_writing || m_busy)
        return std::nullopt;
    // What is typed and not yet committed is committed first, so that it is the last write.
    commitPending();
    const std::optional<WrittenRange> write = m_history.next(direction);
    if (!write)
        return std::nullopt;
    // Made before any reload: what the reload lets run (keys typed ahead) then comes after it, in the file and in
    // the history alike, and cannot change which write this key takes back.
    const bool back = direction == WriteHistory::Direction::Back;
    const std::string& from = back ? write->after : write->before;
    const std::string& to = back ? write->before : write->after;
    const std::vector<std::int64_t> offsets(write->offsets.begin(), write->offsets.end());
    const CheckedWrite done = writeRangesIfUnchanged(write->path, write->identity, offsets, from, to);
    if (done.outcome == CheckedWrite::Outcome::Written)
        m_history.step(direction);
    else if (done.outcome == CheckedWrite::Outcome::Refused)
        m_history.dropRefused(direction);
    // Shown as it was when written: that file, that block; after a refusal, the file as it is now.
    std::optional<std::int32_t> row = rowOf(*write);
    const bool allShown = row && write->offsets.back() - StartByte + std::int64_t(to.size()) <= m_loadedRows;
    if (!allShown || m_identity != write->identity || done.outcome == CheckedWrite::Outcome::Refused) {
        const Store store = m_view.currentFile() == write->path ? Store::Start : Store::FileAndStart;
        change(write->path, keepingStart(write->startByte), store, true);
        row = rowOf(*write);
    } else if (done.outcome == CheckedWrite::Outcome::Written) {
        for (const std::int32_t offset : write->offsets)
            showValues(offset - StartByte + 1, to);
    }
    if (done.outcome != CheckedWrite::Outcome::Written)
        m_view.showNotice(BlockView::Notice::CannotWrite);
    if (!row)
        return std::nullopt;
    return GridCell { write->col, *row };
}

std::string ShownBlock::shownBytes(std::int32_t first, std::int32_t last) const
{
    std::string bytes;
    for (std::int32_t row = std::max(first, 1); row <= std::min(last, m_loadedRows); ++row)
        bytes += static_cast<char>(m_rowBytes[static_cast<std::size_t>(row)]);
    return bytes;
}

ShownBlock::Pasted ShownBlock::paste(std::int32_t first, std::int32_t last, const std::string& bytes)
{
    if (!m_writing || m_busy || bytes.empty() || !m_identity)
        return Pasted::Nothing;
    commitPending();
    std::string data = bytes;
    if (last > first) {
        // Several rows: the bytes repeated to fill exactly those rows (00 over a selection is a zero fill).
        data.clear();
        while (data.size() < std::size_t(last - first + 1))
            data += bytes;
        data.resize(std::size_t(last - first + 1));
    }
    // Never past the last row shown, and so never past the end of the file: the file never grows.
    if (first < 1 || std::int64_t(first) + std::int64_t(data.size()) - 1 > m_loadedRows)
        return Pasted::DoesNotFit;
    const std::string shown = shownBytes(first, first + static_cast<std::int32_t>(data.size()) - 1);
    const std::int32_t offset = StartByte + first - 1;
    const CheckedWrite done = writeIfUnchanged(m_file, *m_identity, offset, shown, data);
    if (done.outcome == CheckedWrite::Outcome::Written) {
        m_history.record({ m_file, *m_identity, { offset }, done.found, data, StartByte, 1 });
        showValues(first, data);
        return Pasted::Written;
    }
    // The rows show what the file holds there now, as far as it can be read.
    if (done.outcome == CheckedWrite::Outcome::Refused)
        showValues(first, done.found);
    m_view.showNotice(BlockView::Notice::CannotWrite);
    return Pasted::NotWritten;
}

void ShownBlock::open(const std::string& path, std::int32_t start)
{
    change(
        path, [start](std::int32_t) { return start; }, Store::FileAndStart, true);
}

std::string ShownBlock::restore()
{
    // A name too long to be read back whole would name another file, or none: the last file is not restored
    // then, rather than some other one opened in its place.
    std::string path = readWholeSettingsString(m_settingsFile, FileSection, NameFileKey, "").value_or("");
    StartByte = SettingsReadInt(m_settingsFile, FileSection, StartByteKey, 0);
    return path;
}

void ShownBlock::showRestored()
{
    const std::int32_t stored = StartByte;
    change(
        m_view.currentFile(), [stored](std::int32_t) { return stored; }, Store::Nothing, true);
}

void ShownBlock::move(Move move)
{
    if (!canNavigate())
        return;
    const std::int64_t from = StartByte;
    change(
        m_view.currentFile(),
        [move, from](std::int32_t size) -> std::int32_t {
            switch (move) {
            case Move::Previous:
                return clampedStart(from - BlockSpan);
            case Move::Next:
                // The placement rule: a start at or beyond the end of the file shows the last block.
                return clampedStart(from + BlockSpan >= size ? std::int64_t(size) - EndPlacement : from + BlockSpan);
            case Move::Start:
                return 0;
            case Move::End:
                return clampedStart(std::int64_t(size) - EndPlacement);
            }
            return 0;
        },
        Store::Start, false);
}

void ShownBlock::goToByte(std::int64_t n)
{
    if (!canNavigate())
        return;
    change(m_view.currentFile(), showingByte(n), Store::Start, false);
}

ShownBlock::Placement ShownBlock::keepingStart(std::int32_t start)
{
    // A block that starts at or beyond the end (the file was cut short) is placed as Next places it.
    return
        [start](std::int32_t size) { return start < size ? start : clampedStart(std::int64_t(size) - EndPlacement); };
}

ShownBlock::Placement ShownBlock::showingByte(std::int64_t n)
{
    // A start inside the last 8191 bytes would show a stub of a block (a single row would even leave every
    // block command without effect), so the last block is shown instead, as for a start past the end.
    return
        [n](std::int32_t size) { return clampedStart(std::min<std::int64_t>(n, std::int64_t(size) - EndPlacement)); };
}

void ShownBlock::change(const std::string& path, const Placement& place, Store store, bool newFile)
{
    commitBeforeBlockChange();
    if (newFile)
        m_view.showFile(path);
    FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
    const std::int64_t size = sizeOf(opened);
    if (newFile)
        m_view.showFileSize(size);
    // Offsets and sizes are signed 32-bit in the program: a file of 2 GiB or more is reached within its first
    // 2147483647 bytes.
    const auto reachable = static_cast<std::int32_t>(std::min<std::int64_t>(size, INT32_MAX));
    StartByte = place(reachable);
    m_file = path;
    LoadBlock(opened, reachable);
    if (store == Store::FileAndStart)
        SettingsWriteString(m_settingsFile, FileSection, NameFileKey, path);
    if (store != Store::Nothing)
        SettingsWriteInt(m_settingsFile, FileSection, StartByteKey, StartByte);
}

void ShownBlock::LoadBlock(FileHandle::Opened& opened, std::int32_t size)
{
    // Set while the load runs: commands that would start a second load inside it are dropped.
    const QScopedValueRollback<bool> running(m_busy, true);
    m_loadedRows = 0;
    m_identity.reset();
    if (size < 1) {
        m_view.clearRows();
        m_view.showNotice(BlockView::Notice::CannotOpen);
        return;
    }
    m_identity = opened.file.identity();
    const BusyScope hourglass(m_view);
    const std::int64_t end = std::min<std::int64_t>(std::int64_t(StartByte) + BlockSpan + 1, size);
    // The rows before give way to the first rows shown, or are cleared when there are none.
    try {
        std::array<char, RowsBetweenEvents> chunk;
        for (std::int64_t offset = StartByte; offset < end;) {
            const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(RowsBetweenEvents, end - offset));
            // Short before a byte that cannot be read, whose read then raises: the rows before it are shown.
            const std::size_t got = opened.file.readAt(offset, chunk.data(), wanted);
            // The file has shrunk since its size was taken.
            if (got == 0)
                throw EInOutError(EInOutError::ReadBeyondEnd);
            fillRows(static_cast<std::int32_t>(offset - StartByte + 1), chunk.data(), got);
            offset += static_cast<std::int64_t>(got);
            if (got == RowsBetweenEvents)
                m_view.processEvents();
        }
    } catch (const EInOutError&) {
        if (m_loadedRows == 0)
            m_view.clearRows();
        throw;
    }
    if (m_loadedRows == 0)
        m_view.clearRows();
}

void ShownBlock::fillRows(std::int32_t firstRow, const char* bytes, std::size_t count)
{
    const auto* values = reinterpret_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < count; ++i)
        m_rowBytes[static_cast<std::size_t>(firstRow) + i] = values[i];
    m_shownStart = StartByte;
    m_loadedRows = firstRow + static_cast<std::int32_t>(count) - 1;
    m_view.rowsChanged(firstRow, m_loadedRows);
}

void ShownBlock::showOwnValue(std::int32_t row)
{
    if (row >= 0 && row < static_cast<std::int32_t>(m_rowBytes.size()) && m_rowBytes[row] != NoByte)
        showValue(row, static_cast<std::uint8_t>(m_rowBytes[row]));
}

void ShownBlock::showValues(std::int32_t firstRow, std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        showValue(firstRow + static_cast<std::int32_t>(i), static_cast<std::uint8_t>(bytes[i]));
}

void ShownBlock::showValue(std::int32_t row, std::uint8_t v)
{
    if (row >= 0 && row < static_cast<std::int32_t>(m_rowBytes.size()))
        m_rowBytes[row] = v;
    m_view.valuesChanged(row);
}

bool ShownBlock::takeFindAnswer(const std::string& answer)
{
    const std::optional<std::string> bytes = ByteSearch::parseAnswer(answer);
    if (!bytes)
        return false;
    m_findAnswer = answer;
    m_findBytes = *bytes;
    return true;
}

ShownBlock::Found ShownBlock::find(FindFrom from, std::int32_t currentRow, const std::function<bool()>& stop)
{
    using Outcome = Found::Outcome;
    if (m_busy || m_findBytes.empty())
        return { Outcome::Stopped, std::nullopt };
    const std::int64_t current = std::int64_t(StartByte) + currentRow - 1;
    commitBeforeBlockChange();
    const std::string path = m_view.currentFile();
    ByteSearch::Result result;
    {
        const QScopedValueRollback<bool> running(m_busy, true);
        FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
        if (!opened)
            return { Outcome::CannotOpen, std::nullopt };
        const BusyScope hourglass(m_view);
        const std::int64_t limit = std::min<std::int64_t>(opened.file.size(), INT32_MAX);
        const std::int64_t after = from == FindFrom::After ? 1 : (from == FindFrom::Before ? -1 : 0);
        result = ByteSearch::find(opened.file, limit, m_findBytes, current + after, from != FindFrom::Before, [&] {
            m_view.processEvents();
            return !stop();
        });
    }
    if (result.stopped)
        return { Outcome::Stopped, std::nullopt };
    if (!result.found)
        return { Outcome::NotFound, std::nullopt };
    const std::int64_t match = *result.found;
    change(path, showingByte(match), Store::Start, false);
    const std::int64_t first = match - StartByte + 1;
    if (first < 1 || first > m_loadedRows)
        return { Outcome::Found, std::nullopt };
    const auto last = std::min<std::int64_t>(first + std::int64_t(m_findBytes.size()) - 1, m_loadedRows);
    return { Outcome::Found,
        GridRange { { 1, static_cast<std::int32_t>(first) }, { 1, static_cast<std::int32_t>(last) } } };
}

ShownBlock::Replaced ShownBlock::replaceAll(const std::string& replacement, const std::function<bool()>& stop)
{
    using Outcome = Replaced::Outcome;
    if (!m_writing || m_busy || m_findBytes.empty() || replacement.size() != m_findBytes.size())
        return { Outcome::Stopped, 0, std::nullopt };
    commitBeforeBlockChange();
    if (!m_identity)
        return { Outcome::CannotOpen, 0, std::nullopt };
    const std::string path = m_file;
    const FileIdentity identity = *m_identity;
    ByteSearch::Matches matches;
    std::int64_t limit = 0;
    {
        const QScopedValueRollback<bool> running(m_busy, true);
        FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
        if (!opened || opened.file.identity() != identity)
            return { Outcome::CannotOpen, 0, std::nullopt };
        const BusyScope hourglass(m_view);
        limit = std::min<std::int64_t>(opened.file.size(), INT32_MAX);
        matches = ByteSearch::findAll(opened.file, limit, m_findBytes, [&] {
            m_view.processEvents();
            return !stop();
        });
    }
    if (matches.stopped)
        return { Outcome::Stopped, 0, std::nullopt };
    if (matches.offsets.empty())
        return { Outcome::NotFound, 0, std::nullopt };
    // The writes come only after the whole search, and only while every match still holds the bytes searched.
    const CheckedWrite done = writeRangesIfUnchanged(path, identity, matches.offsets, m_findBytes, replacement);
    const std::int64_t first = matches.offsets.front();
    if (done.outcome != CheckedWrite::Outcome::Written) {
        m_view.showNotice(BlockView::Notice::CannotWrite);
        change(path, keepingStart(StartByte), Store::Start, false);
        return { Outcome::NotWritten, 0, std::nullopt };
    }
    m_history.record({ path, identity, { matches.offsets.begin(), matches.offsets.end() }, m_findBytes, replacement,
        clampedStart(std::min<std::int64_t>(first, limit - EndPlacement)), 1 });
    change(path, showingByte(first), Store::Start, false);
    const std::int64_t row = first - StartByte + 1;
    const auto last = std::min<std::int64_t>(row + std::int64_t(replacement.size()) - 1, m_loadedRows);
    return { Outcome::Replaced, matches.offsets.size(),
        GridRange { { 1, static_cast<std::int32_t>(row) }, { 1, static_cast<std::int32_t>(last) } } };
}

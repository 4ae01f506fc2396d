#include "mainwindow/ShownBlock.h"

#include "mainwindow/BlockSink.h"
#include "mainwindow/RowFormat.h"
#include "support/Exception.h"
#include "support/FileHandle.h"
#include "support/IntParser.h"
#include "support/StrHF.h"
#include "support/__Bin.h"
#include "support/__Files.h"
#include "support/__Str.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <array>
#include <climits>

namespace {

const char* const FileSection = "File";
const char* const NameFileKey = "NameFile";
const char* const StartByteKey = "StartByte";

// The hourglass while the file is open for the load, taken down on every path.
class BusyScope {
public:
    explicit BusyScope(BlockSink& sink)
        : m_sink(sink)
    {
        m_sink.setBusy(true);
    }
    ~BusyScope() { m_sink.setBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BlockSink& m_sink;
};

} // namespace

ShownBlock::ShownBlock(BlockSink& sink)
    : m_sink(sink)
    , m_rowBytes(BlockSpan + 2, -1)
{
}

std::int32_t ShownBlock::placed(std::int64_t start, std::int64_t size)
{
    if (start >= size)
        start = size - EndPlacement;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(start, 0, INT32_MAX));
}

std::int32_t ShownBlock::startFor(Move move, const std::string& path) const
{
    std::int64_t start = 0;
    switch (move) {
    case Move::Previous:
        start = std::int64_t(StartByte) - BlockSpan;
        break;
    case Move::Next:
        start = placed(std::int64_t(StartByte) + BlockSpan, FileSizeOf(path));
        break;
    case Move::Start:
        break;
    case Move::End:
        start = std::int64_t(FileSizeOf(path)) - EndPlacement;
        break;
    }
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(start, 0, INT32_MAX));
}

std::int32_t ShownBlock::startForByte(std::int64_t n, const std::string& path)
{
    // A start inside the last 8191 bytes would show a stub of a block (a single row would even leave every
    // block command without effect), so the last block is shown instead, as for a start past the end.
    const std::int64_t start = std::min<std::int64_t>(n, std::int64_t(FileSizeOf(path)) - EndPlacement);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(start, 0, INT32_MAX));
}

bool ShownBlock::load(const std::string& path, std::int32_t start)
{
    // Set while the load runs: commands that would start a second load inside it are dropped.
    const QScopedValueRollback<bool> running(m_busy, true);
    m_sink.clearRows();
    m_loadedRows = 0;
    m_file = path;
    m_identity.reset();
    m_kept.reset();
    const std::int32_t size = FileSizeOf(path);
    if (size < 1)
        return false;
    FileHandle file;
    if (file.open(path, FileHandle::Mode::Read) != 0)
        return false;
    m_identity = file.identity();
    const BusyScope busy(m_sink);
    const std::int64_t end = std::min<std::int64_t>(std::int64_t(start) + BlockSpan + 1, size);
    std::array<char, RowsBetweenEvents> chunk;
    for (std::int64_t offset = start; offset < end;) {
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(RowsBetweenEvents, end - offset));
        int failure = 0;
        const std::size_t got = file.readAt(offset, chunk.data(), wanted, failure);
        fillRows(static_cast<std::int32_t>(offset - start + 1), offset, chunk.data(), got);
        if (failure)
            throw EInOutError::fromErrno(failure);
        // The file has shrunk since its size was taken.
        if (got < wanted)
            throw EInOutError(EInOutError::ReadBeyondEnd);
        offset += static_cast<std::int64_t>(got);
        if (got == RowsBetweenEvents)
            m_sink.processEvents();
    }
    return true;
}

std::optional<ByteSearch::Result> ShownBlock::find(const std::string& path, std::string_view needle, std::int64_t from,
    bool forward, const std::function<bool()>& stop)
{
    const QScopedValueRollback<bool> running(m_busy, true);
    FileHandle file;
    if (file.open(path, FileHandle::Mode::Read) != 0)
        return std::nullopt;
    const BusyScope hourglass(m_sink);
    const std::int64_t limit = std::min<std::int64_t>(file.size(), INT32_MAX);
    return ByteSearch::find(file, limit, needle, from, forward, [&] {
        m_sink.processEvents();
        return !stop();
    });
}

void ShownBlock::fillRows(std::int32_t firstRow, std::int64_t firstOffset, const char* bytes, std::size_t count)
{
    if (count == 0)
        return;
    const auto* values = reinterpret_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < count; ++i)
        m_rowBytes[static_cast<std::size_t>(firstRow) + i] = values[i];
    m_shownStart = firstOffset - (firstRow - 1);
    m_sink.showRows(firstRow, firstOffset, { values, count });
    m_loadedRows = firstRow + static_cast<std::int32_t>(count) - 1;
}

std::string_view ShownBlock::rowText(std::int32_t col, std::int32_t row, GridSource::TextBuffer& buffer) const
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
    return v < 0 ? std::string_view() : formatValue(col, static_cast<std::uint8_t>(v));
}

void ShownBlock::rowTexts(std::int32_t row, GridSource::RowTexts& texts) const
{
    const bool known = row >= 1 && row < static_cast<std::int32_t>(m_rowBytes.size());
    // The offset's text views the place it is counted up in, good until the next one is asked for: all a reader
    // of whole rows needs, and a copy fewer for each of a report's 8193.
    texts[0] = known && m_shownStart ? m_offsetTexts.text(*m_shownStart + row - 1) : std::string_view();
    const std::int16_t v = known ? m_rowBytes[static_cast<std::size_t>(row)] : -1;
    if (v < 0)
        std::fill(texts.begin() + 1, texts.end(), std::string_view());
    else
        formatValues(static_cast<std::uint8_t>(v), texts);
}

bool ShownBlock::showsOwnText(std::int32_t col, std::int32_t row, const std::string& text) const
{
    if (m_kept && m_kept->col == col && m_kept->row == row && m_kept->text == text)
        return true;
    const bool knownRow = row >= 0 && row < static_cast<std::int32_t>(m_rowBytes.size()) && m_rowBytes[row] >= 0;
    if (!knownRow || col < 1 || col > 4)
        return text.empty();
    return text == valueTexts(static_cast<std::uint8_t>(m_rowBytes[row]))[col - 1];
}

std::uint8_t ShownBlock::cellByte(std::int32_t col, std::string text)
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

bool ShownBlock::commit(std::int32_t col, std::int32_t row, const std::string& text, bool writing)
{
    const std::int64_t offset = std::int64_t(StartByte) + row - 1;
    // Typed over a row before offset 0 (a start restored from a hand-edited settings file): no byte to take it.
    if (offset < 0)
        return true;
    std::uint8_t v = cellByte(col, text);
    // A row beyond those the last load filled (row 1 after a failed load still shows the block before) belongs
    // to no byte of this block, so its edit is written nowhere.
    const bool inBlock = row >= 1 && row <= m_loadedRows && offset <= INT32_MAX;
    if (!writing) {
        // Nothing is written while writing is off, so the row shows the byte the file really holds.
        FileHandle file;
        if (inBlock && file.open(m_file, FileHandle::Mode::Read) == 0) {
            try {
                v = file.readByteAt(offset);
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
    const CheckedWrite done = writeByteIfUnchanged(m_file, *m_identity, offset, shown, v);
    switch (done.outcome) {
    case CheckedWrite::Outcome::Written:
        m_history.record(
            { m_file, *m_identity, static_cast<std::int32_t>(offset), done.found.value_or(shown), v, StartByte, col });
        showValue(row, v);
        return true;
    case CheckedWrite::Outcome::NotWritable:
        showValue(row, v);
        return false;
    case CheckedWrite::Outcome::Refused:
        break;
    }
    showRefused(row, done.found, col, text);
    return false;
}

std::optional<std::int32_t> ShownBlock::rowOf(const WrittenByte& write) const
{
    const std::int64_t row = std::int64_t(write.offset) - StartByte + 1;
    if (write.path != m_file || row < 1 || row > m_loadedRows)
        return std::nullopt;
    return static_cast<std::int32_t>(row);
}

bool ShownBlock::rewrite(WriteHistory::Direction direction)
{
    const std::optional<WrittenByte> write = m_history.next(direction);
    if (!write)
        return true;
    const bool back = direction == WriteHistory::Direction::Back;
    const std::uint8_t from = back ? write->after : write->before;
    const std::uint8_t to = back ? write->before : write->after;
    const std::optional<std::int32_t> row = rowOf(*write);
    CheckedWrite done;
    if (row)
        done = writeByteIfUnchanged(m_file, write->identity, write->offset, from, to);
    switch (done.outcome) {
    case CheckedWrite::Outcome::Written:
        m_history.step(direction);
        showValue(*row, to);
        return true;
    case CheckedWrite::Outcome::NotWritable:
        // The file is still the one written: a later try may succeed.
        return false;
    case CheckedWrite::Outcome::Refused:
        break;
    }
    m_history.dropRefused(direction);
    if (row && done.found)
        showValue(*row, *done.found);
    return false;
}

void ShownBlock::showOwnValue(std::int32_t row)
{
    if (row >= 0 && row < static_cast<std::int32_t>(m_rowBytes.size()) && m_rowBytes[row] >= 0)
        showValue(row, static_cast<std::uint8_t>(m_rowBytes[row]));
}

void ShownBlock::showRefused(
    std::int32_t row, std::optional<std::uint8_t> found, std::int32_t col, const std::string& text)
{
    if (found)
        showValue(row, *found);
    else
        m_kept = KeptText { col, row, text };
}

void ShownBlock::showValue(std::int32_t row, std::uint8_t v)
{
    if (m_kept && m_kept->row == row)
        m_kept.reset();
    if (row >= 0 && row < static_cast<std::int32_t>(m_rowBytes.size()))
        m_rowBytes[row] = v;
    m_sink.showValue(row, v);
}

void ShownBlock::storeStartByte() const
{
    SettingsWriteInt(m_settingsFile, FileSection, StartByteKey, StartByte);
}

void ShownBlock::storeFile(const std::string& path) const
{
    SettingsWriteString(m_settingsFile, FileSection, NameFileKey, path);
    storeStartByte();
}

std::string ShownBlock::restore()
{
    // A name too long to be read back whole would name another file, or none: the last file is not restored
    // then, rather than some other one opened in its place.
    std::string path = readWholeSettingsString(m_settingsFile, FileSection, NameFileKey, "").value_or("");
    StartByte = SettingsReadInt(m_settingsFile, FileSection, StartByteKey, 0);
    return path;
}

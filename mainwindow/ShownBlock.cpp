#include "mainwindow/ShownBlock.h"

#include "mainwindow/BlockView.h"
#include "support/ByteSearch.h"
#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/HexText.h"
#include "support/IntParser.h"
#include "support/PatchFile.h"
#include "support/StrHF.h"
#include "support/__Bin.h"
#include "support/__Files.h"
#include "support/__Str.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <limits>

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

Address clampedStart(Address start)
{
    return std::clamp<Address>(start, 0, ReachableSize);
}

// The file's true size, shown as it is; -1 when it could not be opened or its size read.
Address sizeOf(const FileHandle::Opened& opened)
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
    , m_bytes(BlockSpan + 1, NoByte)
{
}

void ShownBlock::tell(const BlockChange& change) const
{
    for (const Watch& watch : m_watches)
        watch(change);
}

std::optional<std::uint8_t> ShownBlock::shownByte(Address address) const
{
    const Address index = address - firstShown();
    if (index < 0 || index >= Address(m_bytes.size()) || m_bytes[std::size_t(index)] == NoByte)
        return std::nullopt;
    return static_cast<std::uint8_t>(m_bytes[std::size_t(index)]);
}

std::string ShownBlock::shownBytes(AddressRange range) const
{
    std::string bytes;
    for (Address at = std::max(range.begin, loaded().begin); at < std::min(range.end, loaded().end); ++at)
        bytes += static_cast<char>(m_bytes[std::size_t(at - StartByte)]);
    return bytes;
}

ByteChanges ShownBlock::netChanges() const
{
    return m_identity ? m_history.netChanges(m_file, *m_identity) : ByteChanges {};
}

void ShownBlock::setCurrent(Address address)
{
    if (address == m_current)
        return;
    m_current = address;
    tell({ BlockChange::Kind::Current });
}

void ShownBlock::setWriting(bool on)
{
    m_writing = on;
    tell({ BlockChange::Kind::Writing });
}

void ShownBlock::edited(std::int32_t col, Address address, char32_t noByte)
{
    EditPending = true;
    EditCol = col;
    m_editAddress = address;
    m_editNoByte = noByte;
}

void ShownBlock::commitPending()
{
    if (EditPending && m_editNoByte) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", unsigned(m_editNoByte));
        throw EConvertError(Cp1251::fromUtf8("Символ ") + code + Cp1251::fromUtf8(" не имеет байта в Windows-1251"));
    }
    if (EditPending && !commit(EditCol, m_editAddress, m_view.typedText(EditCol, m_editAddress)))
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
        showOwnByte(m_editAddress);
        m_view.showError(error);
    }
}

bool ShownBlock::commit(std::int32_t col, Address address, const std::string& text)
{
    // Typed over a row before offset 0 (a start restored from a hand-edited settings file): no byte to take it.
    if (address < 0)
        return true;
    std::uint8_t v = cellByte(col, text);
    // A byte the last load did not show (the first one shown after a failed load is still the block before's)
    // belongs to no byte of this block, so its edit is written nowhere.
    const bool inBlock = loaded().contains(address);
    const char typed = static_cast<char>(v);
    if (!m_writing) {
        // Nothing is written while writing is off, so the byte shown is the one the file really holds.
        char found = typed;
        if (inBlock) {
            FileHandle::Opened opened = FileHandle::tryOpen(m_file, FileHandle::Mode::Read);
            try {
                if (!opened || opened.file.readRange(address, &found, 1) != 1)
                    found = typed;
            } catch (const EInOutError&) {
                found = typed;
            }
        }
        show(address, { &found, 1 });
        return true;
    }
    if (!inBlock) {
        show(address, { &typed, 1 });
        return false;
    }
    const char shown = static_cast<char>(m_bytes[std::size_t(address - StartByte)]);
    const CheckedWrite done = writeChanges(ByteChanges(address, { &shown, 1 }, { &typed, 1 }), col, StartByte);
    switch (done.outcome) {
    case CheckedWrite::Outcome::Written:
    case CheckedWrite::Outcome::NotWritable:
        show(address, { &typed, 1 });
        return done.outcome == CheckedWrite::Outcome::Written;
    case CheckedWrite::Outcome::Refused:
        // What the file at the path holds there; with nothing to read there (the file gone or cut short), the
        // typed value, as for a file that cannot be written.
        show(address, done.look.found.empty() ? std::string_view(&typed, 1) : std::string_view(done.look.found));
        return false;
    }
    return false;
}

CheckedWrite ShownBlock::writeChanges(const ByteChanges& changes, std::int32_t col, Address startByte)
{
    if (!m_history.hasRoomFor(changes))
        throw Exception(Cp1251::fromUtf8("Слишком много изменений для отмены: ничего не записано"));
    const CheckedWrite done = writeIfUnchanged(m_file, *m_identity, changes);
    if (done.outcome == CheckedWrite::Outcome::Written) {
        m_history.record({ m_file, *m_identity, changes, startByte, col });
        tell({ BlockChange::Kind::Written, changes.span(), &changes });
    }
    showSizeIfCut(done);
    return done;
}

std::optional<ShownBlock::Place> ShownBlock::rewrite(WriteHistory::Direction direction)
{
    if (!m_writing || m_busy)
        return std::nullopt;
    // What is typed and not yet committed is committed first, so that it is the last write.
    commitPending();
    const std::optional<WrittenStep> step = m_history.next(direction);
    if (!step)
        return std::nullopt;
    // Made before any reload: what the reload lets run (keys typed ahead) then comes after it, in the file and in
    // the history alike, and cannot change which write this key takes back.
    const bool back = direction == WriteHistory::Direction::Back;
    const ByteChanges changes = back ? step->changes.inverse() : step->changes;
    const CheckedWrite done = writeIfUnchanged(step->path, step->identity, changes);
    if (step->path == m_file)
        showSizeIfCut(done);
    if (done.outcome == CheckedWrite::Outcome::Written) {
        m_history.step(direction);
        tell({ BlockChange::Kind::Written, changes.span(), &changes });
    } else if (done.outcome == CheckedWrite::Outcome::Refused) {
        m_history.dropRefused(direction);
    }
    // Shown as it was when written: that file, that block; after a refusal, the file as it is now.
    const auto shownWhole = [&] {
        const AddressRange span = changes.span();
        return step->path == m_file && m_identity == step->identity && loaded().begin <= span.begin
            && span.end <= loaded().end;
    };
    if (!shownWhole() || done.outcome == CheckedWrite::Outcome::Refused) {
        const Store store = m_view.currentFile() == step->path ? Store::Start : Store::FileAndStart;
        change(step->path, keepingStart(step->startByte), store, true);
    } else if (done.outcome == CheckedWrite::Outcome::Written) {
        for (std::size_t i = 0; i < changes.size(); ++i)
            show(changes[i].offset, changes[i].after);
    }
    if (done.outcome != CheckedWrite::Outcome::Written)
        m_view.showNotice(BlockView::Notice::CannotWrite);
    const ByteChanges::Run first = changes[0];
    if (step->path != m_file || first.offset < loaded().begin || first.end() > loaded().end)
        return std::nullopt;
    return Place { step->col, first.offset };
}

ShownBlock::Pasted ShownBlock::paste(AddressRange selected, const ClipboardContent& clipboard)
{
    if (!m_writing)
        return {};
    std::string bytes;
    if (clipboard.octets) {
        bytes = *clipboard.octets;
    } else if (!clipboard.text.trimmed().isEmpty()) {
        // Read as an answer to the find prompt is: hex pairs, with or without blanks, or a quoted text.
        const std::optional<std::string> exact = Cp1251::fromQStringExactly(clipboard.text);
        const std::optional<std::string> parsed = exact ? ByteSearch::parseAnswer(*exact) : std::nullopt;
        if (!parsed) {
            std::string shown = Cp1251::fromQString(clipboard.text);
            TrimSpaces(shown);
            return { Pasted::Outcome::NotUnderstood, shown };
        }
        bytes = *parsed;
    }
    return { writeOver(selected, bytes), {} };
}

ShownBlock::Pasted::Outcome ShownBlock::writeValue(const std::string& bytes)
{
    return writeOver({ m_current, m_current + 1 }, bytes);
}

ShownBlock::Pasted::Outcome ShownBlock::writeOver(AddressRange selected, const std::string& bytes)
{
    using Outcome = Pasted::Outcome;
    if (!m_writing || m_busy || bytes.empty() || !m_identity)
        return Outcome::Nothing;
    commitPending();
    std::string data = bytes;
    if (selected.size() > 1) {
        data.clear();
        while (Address(data.size()) < selected.size())
            data += bytes;
        data.resize(std::size_t(selected.size()));
    }
    // Never past the last byte shown, and so never past the end of the file: the file never grows.
    const AddressRange target { selected.begin, selected.begin + Address(data.size()) };
    if (target.begin < loaded().begin || target.end > loaded().end)
        return Outcome::DoesNotFit;
    const CheckedWrite done = writeChanges(ByteChanges(target.begin, shownBytes(target), data), 1, StartByte);
    if (done.outcome == CheckedWrite::Outcome::Written) {
        show(target.begin, data);
        return Outcome::Written;
    }
    // The bytes show what the file holds there now, as far as it can be read.
    if (done.outcome == CheckedWrite::Outcome::Refused)
        show(target.begin, done.look.found);
    m_view.showNotice(BlockView::Notice::CannotWrite);
    return Outcome::NotWritten;
}

void ShownBlock::open(const std::string& path, Address start)
{
    change(
        path, [start](Address) { return start; }, Store::FileAndStart, true);
}

std::string ShownBlock::restore()
{
    // A name too long to be read back whole would name another file, or none: the last file is not restored
    // then, rather than some other one opened in its place.
    std::string path = readWholeSettingsString(m_settingsFile, FileSection, NameFileKey, "").value_or("");
    StartByte = SettingsReadInt(m_settingsFile, FileSection, StartByteKey, 0);
    // A start past what 32 bits hold was stored for a file that large; it is taken only while the file still
    // reaches it, so that a settings file edited by hand or a file since cut short starts at 0, as any other start
    // that cannot be read does.
    const std::optional<Address> wide
        = tryParseInt64(SettingsReadString(m_settingsFile, FileSection, StartByteKey, ""));
    if (wide && *wide > std::numeric_limits<std::int32_t>::max()
        && *wide < sizeOf(FileHandle::tryOpen(path, FileHandle::Mode::Read)))
        StartByte = *wide;
    return path;
}

void ShownBlock::showRestored()
{
    const Address stored = StartByte;
    change(
        m_view.currentFile(), [stored](Address) { return stored; }, Store::Nothing, true);
}

void ShownBlock::move(Move move)
{
    if (!canNavigate())
        return;
    const Address from = StartByte;
    change(
        m_view.currentFile(),
        [move, from](Address size) -> Address {
            switch (move) {
            case Move::Previous:
                return clampedStart(from - BlockSpan);
            case Move::Next:
                // The placement rule: a start at or beyond the end of the file shows the last block.
                return clampedStart(from >= size - BlockSpan ? size - EndPlacement : from + BlockSpan);
            case Move::Start:
                return 0;
            case Move::End:
                return clampedStart(size - EndPlacement);
            }
            return 0;
        },
        Store::Start, false);
}

void ShownBlock::goToByte(Address n)
{
    if (!canNavigate())
        return;
    change(m_view.currentFile(), showingByte(n), Store::Start, false);
}

ShownBlock::Placement ShownBlock::keepingStart(Address start)
{
    // A block that starts at or beyond the end (the file was cut short) is placed as Next places it.
    return [start](Address size) { return start < size ? start : clampedStart(size - EndPlacement); };
}

ShownBlock::Placement ShownBlock::showingByte(Address n)
{
    // A start inside the last 8191 bytes would show a stub of a block (a single row would even leave every
    // block command without effect), so the last block is shown instead, as for a start past the end.
    return [n](Address size) { return clampedStart(std::min<Address>(n, size - EndPlacement)); };
}

void ShownBlock::change(const std::string& path, const Placement& place, Store store, bool newFile)
{
    commitBeforeBlockChange();
    if (newFile) {
        // A write to the file that a kill or a power cut broke off is put back before anything of it is read.
        try {
            const WriteJournal::Recovery recovery = putBackCutOffWrite(path);
            if (recovery.outcome == WriteJournal::Recovery::Outcome::PutBack
                || recovery.outcome == WriteJournal::Recovery::Outcome::OtherFile)
                m_view.showRecovery(recovery);
        } catch (const EInOutError& error) {
            // The journal stays for the next open; the file can be looked at meanwhile.
            m_view.showError(error);
        }
        m_view.showFile(path);
    }
    FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
    const Address size = sizeOf(opened);
    if (newFile)
        m_view.showFileSize(size);
    m_fileSize = size;
    m_offsetDigits = HexText::offsetDigits(size);
    StartByte = place(size);
    m_file = path;
    LoadBlock(opened, size);
    if (store == Store::FileAndStart)
        SettingsWriteString(m_settingsFile, FileSection, NameFileKey, path);
    // In decimal, whatever its size: a start that fits 32 bits is stored as it always was.
    if (store != Store::Nothing)
        SettingsWriteString(m_settingsFile, FileSection, StartByteKey, std::to_string(StartByte));
}

void ShownBlock::LoadBlock(FileHandle::Opened& opened, Address size)
{
    // Set while the load runs: commands that would start a second load inside it are dropped.
    const QScopedValueRollback<bool> running(m_busy, true);
    m_loadedCount = 0;
    m_identity.reset();
    if (size < 1) {
        tell({ BlockChange::Kind::Emptied });
        m_view.showNotice(BlockView::Notice::CannotOpen);
        return;
    }
    m_identity = opened.file.identity();
    const BusyScope hourglass(m_view);
    // Counted from the start, so that a block at the end of the largest file cannot overflow.
    const Address end = StartByte < size ? StartByte + std::min(BlockSpan + 1, size - StartByte) : StartByte;
    // The bytes before give way to the first bytes shown, or are cleared when there are none.
    try {
        std::array<char, RowsBetweenEvents> chunk;
        for (Address offset = StartByte; offset < end;) {
            const auto wanted = static_cast<std::size_t>(std::min<Address>(RowsBetweenEvents, end - offset));
            // Short before a byte that cannot be read, whose read then raises: the bytes before it are shown.
            const std::size_t got = opened.file.readAt(offset, chunk.data(), wanted);
            // The file has shrunk since its size was taken.
            if (got == 0)
                throw EInOutError(EInOutError::ReadBeyondEnd);
            const bool first = offset == StartByte;
            if (first)
                m_shownStart = StartByte;
            const auto* bytes = reinterpret_cast<const unsigned char*>(chunk.data());
            std::copy(bytes, bytes + got, m_bytes.begin() + (offset - StartByte));
            m_loadedCount = offset - StartByte + Address(got);
            tell({ first ? BlockChange::Kind::Loaded : BlockChange::Kind::LoadedMore,
                { offset, offset + Address(got) } });
            offset += Address(got);
            if (got == RowsBetweenEvents)
                m_view.processEvents();
        }
    } catch (const EInOutError&) {
        if (m_loadedCount == 0)
            tell({ BlockChange::Kind::Emptied });
        throw;
    }
    if (m_loadedCount == 0)
        tell({ BlockChange::Kind::Emptied });
}

void ShownBlock::showOwnByte(Address address)
{
    if (const std::optional<std::uint8_t> byte = shownByte(address)) {
        const char own = static_cast<char>(*byte);
        show(address, { &own, 1 });
    }
}

void ShownBlock::show(Address address, std::string_view bytes)
{
    if (bytes.empty())
        return;
    const Address first = firstShown();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const Address index = address + Address(i) - first;
        if (index >= 0 && index < Address(m_bytes.size()))
            m_bytes[std::size_t(index)] = static_cast<unsigned char>(bytes[i]);
    }
    tell({ BlockChange::Kind::Bytes, { address, address + Address(bytes.size()) } });
}

void ShownBlock::showSizeIfCut(const CheckedWrite& done)
{
    // Another program cut the file short beneath the write: the size shown is the one it has now.
    if (done.cutShort)
        m_view.showFileSize(sizeOf(FileHandle::tryOpen(m_file, FileHandle::Mode::Read)));
}

ShownBlock::FindAnswer ShownBlock::takeFindAnswer(const std::string& answer)
{
    ByteSearch::Parsed parsed = ByteSearch::parseQuery(answer);
    if (parsed.outcome == ByteSearch::Parsed::Outcome::Understood) {
        m_findAnswer = answer;
        m_findQuery = std::move(parsed.query);
    }
    return { parsed.outcome, std::move(parsed.value) };
}

ShownBlock::Found ShownBlock::find(FindFrom from, const std::function<bool()>& stop)
{
    using Outcome = Found::Outcome;
    if (m_busy || m_findQuery.empty())
        return { Outcome::Stopped, {}, {}, {} };
    const Address current = m_current;
    commitBeforeBlockChange();
    const std::string path = m_view.currentFile();
    ByteSearch::Result result;
    {
        const QScopedValueRollback<bool> running(m_busy, true);
        FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
        if (!opened)
            return { Outcome::CannotOpen, {}, {}, {} };
        const BusyScope hourglass(m_view);
        const Address limit = opened.file.size();
        const Address after = from == FindFrom::After ? 1 : (from == FindFrom::Before ? -1 : 0);
        result = ByteSearch::find(opened.file, limit, m_findQuery, current + after, from != FindFrom::Before, [&] {
            m_view.processEvents();
            return !stop();
        });
    }
    if (result.stopped)
        return { Outcome::Stopped, {}, {}, {} };
    if (!result.found)
        return { Outcome::NotFound, {}, {}, {} };
    const Address match = *result.found;
    change(path, showingByte(match), Store::Start, false);
    return { Outcome::Found, { match, match + Address(m_findQuery.size()) }, m_findQuery.type,
        m_findQuery.patterns[result.pattern].order };
}

ShownBlock::Replaced ShownBlock::replaceAll(const std::optional<std::string>& answer, const std::function<bool()>& stop)
{
    using Outcome = Replaced::Outcome;
    if (!m_writing)
        return Replaced { Outcome::WritingOff, 0, {}, {} };
    const ByteSearch::Parsed parsed = answer ? ByteSearch::parseQuery(*answer) : ByteSearch::Parsed {};
    switch (parsed.outcome) {
    case ByteSearch::Parsed::Outcome::NotUnderstood:
        return Replaced { Outcome::NotUnderstood, 0, {}, {} };
    case ByteSearch::Parsed::Outcome::OnlyWildcards:
        return Replaced { Outcome::OnlyWildcards, 0, {}, {} };
    case ByteSearch::Parsed::Outcome::NoValue:
        return Replaced { Outcome::NoValue, 0, {}, parsed.value };
    case ByteSearch::Parsed::Outcome::Understood:
        break;
    }
    if (m_busy || m_findQuery.empty())
        return Replaced { Outcome::Stopped, 0, {}, {} };
    using Refusal = ByteSearch::Replacement::Outcome;
    const ByteSearch::Replacement replacement = ByteSearch::replacementFor(m_findQuery, parsed.query);
    switch (replacement.outcome) {
    case Refusal::LengthDiffers:
        return Replaced { Outcome::LengthDiffers, 0, {}, {} };
    case Refusal::UnknownWhereKnown:
        return Replaced { Outcome::UnknownWhereKnown, 0, {}, {} };
    case Refusal::NumberAndBytes:
        return Replaced { Outcome::NumberAndBytes, 0, {}, {} };
    case Refusal::WidthDiffers:
        return Replaced { Outcome::WidthDiffers, 0, {}, {} };
    case Refusal::OrderUnknown:
        return Replaced { Outcome::OrderUnknown, 0, {}, {} };
    case Refusal::Understood:
        break;
    }
    commitBeforeBlockChange();
    if (!m_identity)
        return Replaced { Outcome::CannotOpen, 0, {}, {} };
    const std::string path = m_file;
    const FileIdentity identity = *m_identity;
    ByteSearch::Matches matches;
    Address limit = 0;
    {
        const QScopedValueRollback<bool> running(m_busy, true);
        FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
        if (!opened || opened.file.identity() != identity)
            return Replaced { Outcome::CannotOpen, 0, {}, {} };
        const BusyScope hourglass(m_view);
        limit = opened.file.size();
        matches = ByteSearch::findAll(opened.file, limit, m_findQuery, [&] {
            m_view.processEvents();
            return !stop();
        });
    }
    if (matches.stopped)
        return Replaced { Outcome::Stopped, 0, {}, {} };
    if (matches.offsets.empty())
        return Replaced { Outcome::NotFound, 0, {}, {} };
    const std::size_t count = matches.offsets.size();
    const std::size_t n = m_findQuery.size();
    const Address first = matches.offsets.front();
    ByteChanges changes;
    changes.reserve(count, count * n);
    // Only the bytes a replace changes are written: a match that already holds its replacement is no change.
    std::size_t changed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t which = matches.patterns[i];
        // Where the bytes looked for have unknown ones, each match's own bytes are what the write checks and keeps.
        const std::string_view before = matches.bytes.empty() ? std::string_view(m_findQuery.patterns[which].bytes)
                                                              : std::string_view(matches.bytes).substr(i * n, n);
        const std::string after = ByteSearch::replaced(replacement.patterns[which], before);
        if (after != before) {
            changes.addChanged(matches.offsets[i], before, after);
            ++changed;
        }
    }
    matches = {};
    if (changes.empty()) {
        change(path, showingByte(first), Store::Start, false);
        return { Outcome::Replaced, 0, { first, first + Address(n) }, {} };
    }
    // The writes come only after the whole search, and only while every match still holds the bytes searched. The
    // step is kept with the block that shows the first match.
    const CheckedWrite done = writeChanges(changes, 1, showingByte(first)(limit));
    if (done.outcome != CheckedWrite::Outcome::Written) {
        m_view.showNotice(BlockView::Notice::CannotWrite);
        change(path, keepingStart(StartByte), Store::Start, false);
        return Replaced { Outcome::NotWritten, 0, {}, {} };
    }
    change(path, showingByte(first), Store::Start, false);
    return { Outcome::Replaced, changed, { first, first + Address(n) }, {} };
}

bool ShownBlock::runLong(const std::function<void(const GoOn& goOn)>& work, const std::function<bool()>& stop)
{
    if (m_busy)
        return false;
    commitBeforeBlockChange();
    const QScopedValueRollback<bool> running(m_busy, true);
    const BusyScope hourglass(m_view);
    work([&] {
        m_view.processEvents();
        return !stop();
    });
    return true;
}

void ShownBlock::savePatch(const std::string& path) const
{
    const ByteChanges changes = netChanges();
    FileHandle::Opened shown = FileHandle::tryOpen(m_file, FileHandle::Mode::Read);
    const std::optional<Address> size = shown ? std::optional(shown.file.size()) : std::nullopt;
    // Whole or not at all, through a link to the file it names: a patch cut short by a full disk could still be
    // applied, in part.
    const std::string target = FileHandle::resolved(path).value_or(path);
    if (!FileHandle::replaceWith(target, PatchFile::format(changes, m_file, size), FileHandle::status(target)))
        throw EInOutError::fromErrno(EACCES);
}

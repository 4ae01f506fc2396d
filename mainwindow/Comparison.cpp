#include "mainwindow/Comparison.h"

#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/HexText.h"
#include "support/PatchFile.h"

#include <algorithm>
#include <cstdint>
#include <utility>

Comparison::Comparison(ShownBlock& block, std::function<void()> marksChanged, std::function<void(Ended)> ended)
    : m_block(block)
    , m_marksChanged(std::move(marksChanged))
    , m_ended(std::move(ended))
{
    m_block.watch([this](const BlockChange& change) { blockChanged(change); });
}

Comparison::Started Comparison::start(const std::string& path, const std::function<bool()>& stop)
{
    end();
    FileHandle::Opened ours = FileHandle::tryOpen(m_block.file(), FileHandle::Mode::Read);
    FileHandle::Opened theirs = FileHandle::tryOpen(path, FileHandle::Mode::Read);
    if (!ours || !theirs)
        return { Outcome::CannotOpen, {}, 0, 0 };
    Started started { Outcome::Stopped, {}, ours.file.size(), theirs.file.size() };
    const bool ran = m_block.runLong(
        [&](const ShownBlock::GoOn& goOn) {
            started.counts
                = FileCompare::count({ ours.file, theirs.file, std::min(started.ourSize, started.theirSize) }, goOn);
        },
        stop);
    if (!ran || started.counts.stopped)
        return started;
    started.outcome = Outcome::Done;
    m_ourPath = m_block.file();
    m_otherPath = path;
    m_other = Other { theirs.file.identity(), started.theirSize };
    if (!readMarks())
        m_marks.clear();
    m_marksChanged();
    return started;
}

void Comparison::end()
{
    if (!m_other)
        return;
    m_other.reset();
    m_marks.clear();
    m_marksChanged();
}

bool Comparison::marked(Address address) const
{
    if (!m_other)
        return false;
    const std::optional<std::uint8_t> ours = m_block.shownByte(address);
    if (!ours)
        return false;
    if (address >= m_other->size)
        return true;
    const Address at = address - m_marksStart;
    return at >= 0 && at < Address(m_marks.size()) && std::uint8_t(m_marks[std::size_t(at)]) != *ours;
}

std::string Comparison::markOf(Address address) const
{
    if (!marked(address))
        return {};
    if (address >= m_other->size)
        return Cp1251::fromUtf8("В файле сравнения нет байта");
    const auto at = std::size_t(address - m_marksStart);
    return Cp1251::fromUtf8("В файле сравнения: ") + HexText::pairsOf(std::string_view(m_marks).substr(at, 1));
}

Comparison::Files Comparison::open() const
{
    Files files { FileHandle::tryOpen(m_block.file(), FileHandle::Mode::Read),
        FileHandle::tryOpen(m_otherPath, FileHandle::Mode::Read) };
    if (!files.theirs || !(files.theirs.file.identity() == m_other->identity))
        files.outcome = Outcome::OtherFileChanged;
    else if (!files.ours)
        files.outcome = Outcome::CannotOpen;
    return files;
}

Comparison::Stepped Comparison::step(bool forward, const std::function<bool()>& stop)
{
    if (!m_other)
        return { Outcome::Stopped, std::nullopt };
    Files files = open();
    if (files.outcome == Outcome::OtherFileChanged)
        end();
    if (files.outcome != Outcome::Done)
        return { files.outcome, std::nullopt };
    FileCompare::Step found { std::nullopt, true };
    const Address common = std::min(files.ours.file.size(), files.theirs.file.size());
    const Address from = m_block.current();
    const bool ran = m_block.runLong(
        [&](const ShownBlock::GoOn& goOn) {
            found = FileCompare::step({ files.ours.file, files.theirs.file, common }, from, forward, goOn);
        },
        stop);
    if (!ran || found.stopped)
        return { Outcome::Stopped, std::nullopt };
    if (found.run)
        m_block.goToByte(found.run->begin);
    return { Outcome::Done, found.run };
}

Comparison::Outcome Comparison::savePatch(const std::string& path, const std::function<bool()>& stop)
{
    if (!m_other)
        return Outcome::Stopped;
    Files files = open();
    if (files.outcome == Outcome::OtherFileChanged)
        end();
    if (files.outcome != Outcome::Done)
        return files.outcome;
    const Address ourSize = files.ours.file.size();
    const Address theirSize = files.theirs.file.size();
    const FileCompare::Pair pair { files.ours.file, files.theirs.file, std::min(ourSize, theirSize) };
    // Whole or not at all, through a link to the file it names: a patch of part of the differences would still
    // apply.
    const std::string target = FileHandle::resolved(path).value_or(path);
    bool written = false;
    bool ran = false;
    try {
        ran = m_block.runLong(
            [&](const ShownBlock::GoOn& goOn) {
                written = FileHandle::replaceWith(
                    target,
                    [&](const FileHandle& file) {
                        const FileCompare::Counts counts = PatchFile::writeDifferences(
                            { m_ourPath, ourSize, m_otherPath, theirSize }, pair,
                            [&file](std::string_view text) { file.write(text); }, goOn);
                        if (counts.stopped)
                            throw EAbort();
                    },
                    FileHandle::status(target));
            },
            stop);
    } catch (const EAbort&) {
        return Outcome::Stopped;
    }
    if (!ran)
        return Outcome::Stopped;
    if (!written)
        throw EInOutError::fromErrno(EACCES);
    return Outcome::Done;
}

void Comparison::blockChanged(const BlockChange& change)
{
    if (!m_other)
        return;
    if (change.kind == BlockChange::Kind::Loaded && m_block.file() != m_ourPath) {
        end();
        m_ended(Ended::ShownFileChanged);
    } else if (change.kind == BlockChange::Kind::Loaded || change.kind == BlockChange::Kind::Written) {
        // Written too, for a file compared with itself through another name.
        if (!readMarks()) {
            end();
            m_ended(Ended::OtherFileChanged);
        } else {
            m_marksChanged();
        }
    }
}

bool Comparison::readMarks()
{
    FileHandle::Opened theirs = FileHandle::tryOpen(m_otherPath, FileHandle::Mode::Read);
    if (!theirs || !(theirs.file.identity() == m_other->identity))
        return false;
    try {
        m_other->size = theirs.file.size();
        m_marksStart = m_block.firstShown();
        m_marks.resize(std::size_t(ShownBlock::BlockSpan) + 1);
        m_marks.resize(theirs.file.readRange(m_marksStart, m_marks.data(), m_marks.size()));
    } catch (const EInOutError&) {
        return false;
    }
    return true;
}

#include "mainwindow/PatchCommand.h"

#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/HexText.h"
#include "support/PatchFile.h"
#include "support/WriteJournal.h"
#include "support/__Files.h"

namespace PatchCommand {

namespace {

std::string said(const char* utf8)
{
    return Cp1251::fromUtf8(utf8);
}

Answer reply(int status, std::string message)
{
    return { status, std::move(message), {} };
}

std::string unreadable(PatchFile::Error error)
{
    switch (error) {
    case PatchFile::Error::None:
        break;
    case PatchFile::Error::NoHeader:
        return said("нет заголовка quillmoor-patch 1");
    case PatchFile::Error::NotThreeWords:
        return said("нужны смещение, старые байты и новые байты");
    case PatchFile::Error::OffsetNotHex:
        return said("смещение не шестнадцатеричное");
    case PatchFile::Error::BytesNotHexPairs:
        return said("байты должны быть парами шестнадцатеричных цифр");
    case PatchFile::Error::LengthsDiffer:
        return said("старые и новые байты разной длины");
    case PatchFile::Error::BeyondReach:
        return said("строка за смещением ") + std::to_string(ReachableSize - 1);
    case PatchFile::Error::OutOfOrder:
        return said("строка перекрывает предыдущую или стоит перед ней");
    }
    return {};
}

// What a look at the file says, before anything is written: nothing when the patch can be written.
std::optional<Answer> looked(const FileLook& look, const ByteChanges& changes, bool revert)
{
    if (look.beyondEnd)
        return reply(2, said("строка за концом файла, смещение ") + HexText::offsetOf(changes[*look.beyondEnd].offset));
    if (look.written)
        return reply(
            0, said(revert ? "заплатка уже снята, ничего не записано" : "заплатка уже наложена, ничего не записано"));
    if (look.conflict) {
        const ByteChanges::Run run = changes[*look.conflict];
        return reply(1,
            said("конфликт по смещению ") + HexText::offsetOf(run.offset) + said(": ожидалось ")
                + HexText::pairsOf(run.before) + said(", найдено ")
                + HexText::pairsOf(std::string_view(look.found).substr(run.at, run.before.size()))
                + said("; ничего не записано"));
    }
    return std::nullopt;
}

Answer answer(Action action, const std::string& patchPath, const std::string& path)
{
    PatchFile::Parsed parsed;
    try {
        FileHandle patchFile = FileHandle::open(patchPath, FileHandle::Mode::Read);
        parsed = PatchFile::read(patchFile);
    } catch (const EInOutError& error) {
        return reply(2, said("не удаётся прочитать заплатку ") + Cp1251::fromPath(patchPath) + ": " + error.message());
    }
    if (parsed.errorLine > 0)
        return reply(2, said("заплатка, строка ") + std::to_string(parsed.errorLine) + ": " + unreadable(parsed.error));
    const bool revert = action == Action::Revert;
    const ByteChanges changes = revert ? std::move(parsed.changes).inverse() : std::move(parsed.changes);
    const std::string cannotOpen = said("не удаётся открыть файл: ") + Cp1251::fromPath(path);
    try {
        if (action == Action::Check) {
            FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
            if (!opened)
                return reply(2, cannotOpen);
            return looked(lookAt(opened.file, changes, AlreadyWritten::AllOrNone), changes, false)
                .value_or(reply(0, said("заплатка накладывается")));
        }
        const CheckedWrite done = writeIfUnchanged(path, std::nullopt, changes, AlreadyWritten::AllOrNone);
        if (const std::optional<Answer> answer = looked(done.look, changes, revert))
            return *answer;
        if (done.cutShort)
            return reply(2, said("файл укорочен во время записи, заплатка не наложена"));
        if (done.outcome != CheckedWrite::Outcome::Written)
            return reply(2, cannotOpen);
        return reply(0, said(revert ? "заплатка снята" : "заплатка наложена"));
    } catch (const Exception& error) {
        return reply(2, error.message());
    }
}

} // namespace

std::string comparedText(const FileCompare::Counts& counts, Address ourSize, Address theirSize)
{
    std::string text = counts.bytes == 0
        ? said("Отличий нет")
        : said("Различных байтов: ") + std::to_string(counts.bytes) + said(", мест: ") + std::to_string(counts.runs);
    if (ourSize != theirSize)
        text += said("; размеры: ") + std::to_string(ourSize) + said(" и ") + std::to_string(theirSize);
    return text;
}

Answer diff(const std::string& ours, const std::string& theirs, const std::function<void(std::string_view text)>& write)
{
    try {
        FileHandle::Opened first = FileHandle::tryOpen(ours, FileHandle::Mode::Read);
        if (!first)
            return reply(2, said("не удаётся открыть файл: ") + Cp1251::fromPath(ours));
        FileHandle::Opened second = FileHandle::tryOpen(theirs, FileHandle::Mode::Read);
        if (!second)
            return reply(2, said("не удаётся открыть файл: ") + Cp1251::fromPath(theirs));
        const Address ourSize = first.file.size();
        const Address theirSize = second.file.size();
        const FileCompare::Pair pair { first.file, second.file, std::min(ourSize, theirSize) };
        // The comments name the files by their own bytes, as a patch saved by the window does.
        const FileCompare::Counts counts
            = PatchFile::writeDifferences({ ours, ourSize, theirs, theirSize }, pair, write, [] { return true; });
        return reply(counts.bytes == 0 && ourSize == theirSize ? 0 : 1, comparedText(counts, ourSize, theirSize));
    } catch (const Exception& error) {
        return reply(2, error.message());
    }
}

Answer run(Action action, const std::string& patchPath, const std::string& path)
{
    std::string recovered;
    try {
        const WriteJournal::Recovery recovery = putBackCutOffWrite(path);
        if (recovery.outcome == WriteJournal::Recovery::Outcome::PutBack)
            recovered
                = said("Прерванная запись в файл отменена: восстановлено байтов: ") + std::to_string(recovery.bytes);
        else if (recovery.outcome == WriteJournal::Recovery::Outcome::OtherFile)
            recovered = said("Журнал прерванной записи другого файла оставлен: ") + Cp1251::fromPath(recovery.journal);
    } catch (const Exception& error) {
        return reply(2, error.message());
    }
    Answer answered = answer(action, patchPath, path);
    answered.recovery = recovered;
    return answered;
}

} // namespace PatchCommand

#include "mainwindow/PatchCommand.h"

#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/HexText.h"
#include "support/PatchFile.h"
#include "support/WriteJournal.h"
#include "support/__Files.h"

#include <cerrno>
#include <optional>

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

// What went wrong with a file, in the words of the rest of the line rather than the runtime's: from the program's
// I/O error code, or from the system's error number that an error without a text of its own carries.
std::string reason(int code, bool isErrno)
{
    if (!isErrno)
        code = code == EInOutError::FileNotFound   ? ENOENT
            : code == EInOutError::AccessDenied    ? EACCES
            : code == EInOutError::DiskFull        ? ENOSPC
            : code == EInOutError::InvalidFilename ? ENAMETOOLONG
                                                   : -code;
    switch (code) {
    case ENOENT:
        return said("нет такого файла");
    case EACCES:
    case EPERM:
        return said("нет доступа");
    case ENOSPC:
        return said("диск заполнен");
    case ENAMETOOLONG:
        return said("недопустимое имя");
    case EISDIR:
        return said("это папка");
    case EINVAL:
        return said("не обычный файл");
    case EROFS:
        return said("файловая система только для чтения");
    case EFBIG:
        return said("файл слишком велик");
    case -EInOutError::ReadBeyondEnd:
        return said("файл короче, чем ожидалось");
    default:
        return said("ошибка ввода-вывода ") + std::to_string(code < 0 ? -code : code);
    }
}

std::string reason(const Exception& error)
{
    const auto* io = dynamic_cast<const EInOutError*>(&error);
    if (!io)
        return error.message();
    return reason(io->code(), io->message() != EInOutError::messageFor(io->code()));
}

std::string cannotOpen(const std::string& path, int error)
{
    return said("не удаётся открыть файл: ") + Cp1251::fromPath(path) + ": " + reason(error, true);
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
        return said("строка за концом файла");
    case PatchFile::Error::OutOfOrder:
        return said("строка перекрывает предыдущую или стоит перед ней");
    }
    return {};
}

// An offset in the file at path, with as many digits as its last offset needs, as the window shows it.
std::string offsetIn(const std::string& path, Address offset)
{
    Address size = -1;
    try {
        const FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
        if (opened)
            size = opened.file.size();
    } catch (const EInOutError&) {
    }
    return HexText::offsetOf(offset, HexText::offsetDigits(size));
}

// What a look at the file at path says, before anything is written: nothing when the patch can be written.
std::optional<Answer> looked(const FileLook& look, const ByteChanges& changes, bool revert, const std::string& path)
{
    if (look.beyondEnd)
        return reply(2, said("строка за концом файла, смещение ") + offsetIn(path, changes[*look.beyondEnd].offset));
    if (look.written)
        return reply(
            0, said(revert ? "заплатка уже снята, ничего не записано" : "заплатка уже наложена, ничего не записано"));
    if (look.conflict) {
        const ByteChanges::Run run = changes[*look.conflict];
        return reply(1,
            said("конфликт по смещению ") + offsetIn(path, run.offset) + said(": ожидалось ")
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
        return reply(2, said("не удаётся прочитать заплатку ") + Cp1251::fromPath(patchPath) + ": " + reason(error));
    }
    if (parsed.errorLine > 0)
        return reply(2, said("заплатка, строка ") + std::to_string(parsed.errorLine) + ": " + unreadable(parsed.error));
    const bool revert = action == Action::Revert;
    const ByteChanges changes = revert ? std::move(parsed.changes).inverse() : std::move(parsed.changes);
    try {
        if (action == Action::Check) {
            FileHandle::Opened opened = FileHandle::tryOpen(path, FileHandle::Mode::Read);
            if (!opened)
                return reply(2, cannotOpen(path, opened.error));
            return looked(lookAt(opened.file, changes, AlreadyWritten::AllOrNone), changes, false, path)
                .value_or(reply(0, said("заплатка накладывается")));
        }
        const CheckedWrite done = writeIfUnchanged(path, std::nullopt, changes, AlreadyWritten::AllOrNone);
        if (const std::optional<Answer> answer = looked(done.look, changes, revert, path))
            return *answer;
        if (done.cutShort)
            return reply(2, said("файл укорочен во время записи, заплатка не наложена"));
        if (done.outcome != CheckedWrite::Outcome::Written) {
            const std::optional<FileStatus> status = FileHandle::status(path);
            return reply(2, cannotOpen(path, !status ? ENOENT : status->isDirectory() ? EISDIR : EACCES));
        }
        return reply(0, said(revert ? "заплатка снята" : "заплатка наложена"));
    } catch (const Exception& error) {
        return reply(2, reason(error));
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
            return reply(2, cannotOpen(ours, first.error));
        FileHandle::Opened second = FileHandle::tryOpen(theirs, FileHandle::Mode::Read);
        if (!second)
            return reply(2, cannotOpen(theirs, second.error));
        const Address ourSize = first.file.size();
        const Address theirSize = second.file.size();
        const FileCompare::Pair pair { first.file, second.file, std::min(ourSize, theirSize) };
        // The comments name the files by their own bytes, as a patch saved by the window does.
        const FileCompare::Counts counts
            = PatchFile::writeDifferences({ ours, ourSize, theirs, theirSize }, pair, write, [] { return true; });
        return reply(counts.bytes == 0 && ourSize == theirSize ? 0 : 1, comparedText(counts, ourSize, theirSize));
    } catch (const Exception& error) {
        return reply(2, reason(error));
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
        return reply(2, reason(error));
    }
    Answer answered = answer(action, patchPath, path);
    answered.recovery = recovered;
    return answered;
}

} // namespace PatchCommand

#include "support/WriteJournal.h"

#include "support/Cp1251.h"
#include "support/Exception.h"
#include "support/FilePath.h"

#include <QCryptographicHash>

#include <cerrno>
#include <cstring>
#include <optional>

namespace WriteJournal {

namespace {

const std::string_view Magic = "quillmoor-journal 1\n";
const std::string_view Suffix = ".quillmoor-journal";
constexpr std::size_t Sector = 512;
constexpr std::size_t Piece = 64 * 1024;
constexpr QCryptographicHash::Algorithm Checksum = QCryptographicHash::Sha256;

std::string besideFile(const std::string& file)
{
    const std::string folder = directoryPart(file);
    return folder + "." + file.substr(folder.size()) + std::string(Suffix);
}

std::string inStateFolder(const FileIdentity& identity, bool make)
{
    char name[64];
    std::snprintf(name, sizeof name, "%llx-%llx", static_cast<unsigned long long>(identity.device),
        static_cast<unsigned long long>(identity.inode));
    return userFolder("XDG_STATE_HOME", ".local/state", make) + name + std::string(Suffix);
}

// The file the name leads to, links followed; the name itself when it leads nowhere.
std::string fileAt(const std::string& path)
{
    return FileHandle::resolved(path).value_or(path);
}

// Writes the journal a piece at a time, its checksum taken as it goes.
class Writer {
public:
    explicit Writer(FileHandle& file)
        : m_file(file)
        , m_hash(Checksum)
    {
    }

    template <typename T> void number(T value) { bytes({ reinterpret_cast<const char*>(&value), sizeof value }); }
    void bytes(std::string_view data)
    {
        m_buffer.append(data);
        if (m_buffer.size() >= Piece)
            flush();
    }
    // The checksum of everything written, then the journal is durable.
    void finish()
    {
        flush();
        const QByteArray sum = m_hash.result();
        m_file.writeAt(m_at, { sum.constData(), std::size_t(sum.size()) });
        m_file.sync();
        m_file.close();
    }

private:
    void flush()
    {
        m_hash.addData(QByteArrayView(m_buffer.data(), qsizetype(m_buffer.size())));
        m_file.writeAt(m_at, m_buffer);
        m_at += Address(m_buffer.size());
        m_buffer.clear();
    }

    FileHandle& m_file;
    QCryptographicHash m_hash;
    std::string m_buffer;
    Address m_at = 0;
};

// Reads a journal back, checking its checksum as it goes; nothing is taken from a journal cut short.
class Reader {
public:
    explicit Reader(FileHandle& file)
        : m_file(file)
        , m_hash(Checksum)
    {
    }

    template <typename T> bool number(T& value) { return bytes(reinterpret_cast<char*>(&value), sizeof value); }
    bool bytes(char* into, std::size_t count)
    {
        const std::size_t got = m_file.readRange(m_at, into, count);
        m_hash.addData(QByteArrayView(into, qsizetype(got)));
        m_at += Address(got);
        return got == count;
    }
    bool bytes(std::string& into, std::uint64_t count)
    {
        // A length beyond what the file holds is a journal cut short, not a size to allocate.
        if (count > std::uint64_t(m_file.size() - m_at))
            return false;
        into.resize(count);
        return bytes(into.data(), into.size());
    }
    // The checksum that ends the journal holds for all before it, and nothing follows.
    bool whole()
    {
        const QByteArray expected = m_hash.result();
        std::string sum(std::size_t(expected.size()), '\0');
        return m_file.readRange(m_at, sum.data(), sum.size()) == sum.size()
            && std::memcmp(sum.data(), expected.constData(), sum.size()) == 0
            && m_file.size() == m_at + Address(sum.size());
    }

private:
    FileHandle& m_file;
    QCryptographicHash m_hash;
    Address m_at = 0;
};

void writeIdentity(Writer& writer, const FileIdentity& identity)
{
    writer.number(identity.device);
    writer.number(identity.inode);
    writer.number(identity.fileSystem);
    writer.number(identity.bornSeconds);
    writer.number(identity.bornNanoseconds);
    writer.number(identity.handleType);
    writer.number(identity.handleSize);
    writer.number(identity.hasFileSystem);
    writer.number(identity.hasBirth);
    writer.bytes({ reinterpret_cast<const char*>(identity.handle.data()), identity.handle.size() });
}

bool readIdentity(Reader& reader, FileIdentity& identity)
{
    return reader.number(identity.device) && reader.number(identity.inode) && reader.number(identity.fileSystem)
        && reader.number(identity.bornSeconds) && reader.number(identity.bornNanoseconds)
        && reader.number(identity.handleType) && reader.number(identity.handleSize)
        && reader.number(identity.hasFileSystem) && reader.number(identity.hasBirth)
        && reader.bytes(reinterpret_cast<char*>(identity.handle.data()), identity.handle.size())
        && identity.handleSize <= FileIdentity::HandleRoom;
}

std::optional<Told> read(FileHandle& file)
{
    Reader reader(file);
    std::string magic(Magic.size(), '\0');
    Told told;
    Address size = 0;
    std::uint64_t count = 0;
    if (!reader.bytes(magic.data(), magic.size()) || magic != Magic || !readIdentity(reader, told.identity)
        || !reader.number(size) || !reader.number(count))
        return std::nullopt;
    std::string old, now;
    for (std::uint64_t i = 0; i < count; ++i) {
        Address offset = 0;
        std::uint64_t length = 0;
        if (!reader.number(offset) || !reader.number(length) || !reader.bytes(old, length) || !reader.bytes(now, length)
            || offset < 0 || (!told.changes.empty() && offset < told.changes.back().end()))
            return std::nullopt;
        told.changes.add(offset, old, now);
    }
    if (!reader.whole())
        return std::nullopt;
    return told;
}

} // namespace

bool needed(const ByteChanges& changes)
{
    if (changes.size() != 1)
        return changes.size() > 1;
    const ByteChanges::Run run = changes[0];
    return std::uint64_t(run.offset) / Sector != std::uint64_t(run.end() - 1) / Sector;
}

std::string begin(const std::string& path, const FileIdentity& identity, Address size, const ByteChanges& changes,
    std::string_view old)
{
    std::string journal = besideFile(fileAt(path));
    FileHandle::Opened opened = FileHandle::tryOpen(journal, FileHandle::Mode::CreateNew);
    if (opened.error == EACCES || opened.error == EPERM || opened.error == EROFS) {
        journal = inStateFolder(identity, true);
        opened = FileHandle::tryOpen(journal, FileHandle::Mode::CreateNew);
    }
    if (opened.error == EEXIST)
        throw Exception(Cp1251::fromUtf8("Файл уже пишется или его запись прервана и не отменена; журнал: ")
            + Cp1251::fromPath(journal));
    if (!opened)
        throw EInOutError::fromErrno(opened.error);
    try {
        Writer writer(opened.file);
        writer.bytes(Magic);
        writeIdentity(writer, identity);
        writer.number(size);
        writer.number(std::uint64_t(changes.size()));
        for (std::size_t i = 0; i < changes.size(); ++i) {
            const ByteChanges::Run run = changes[i];
            writer.number(run.offset);
            writer.number(std::uint64_t(run.before.size()));
            writer.bytes(old.substr(run.at, run.before.size()));
            writer.bytes(run.after);
        }
        writer.finish();
        FileHandle::makeDurable(directoryPart(journal));
    } catch (const EInOutError&) {
        // Nothing of the file is written yet: the journal is only litter.
        try {
            FileHandle::remove(journal);
        } catch (const EInOutError&) {
        }
        throw;
    }
    return journal;
}

void end(const std::string& journal)
{
    FileHandle::remove(journal);
    FileHandle::makeDurable(directoryPart(journal));
}

std::optional<Found> find(const std::string& path)
{
    try {
        const std::string file = fileAt(path);
        const std::optional<FileStatus> status = FileHandle::status(file);
        if (!status || !status->isRegular())
            return std::nullopt;
        for (const std::string& journal : { besideFile(file), inStateFolder(status->identity, false) }) {
            FileHandle::Opened opened = FileHandle::tryOpen(journal, FileHandle::Mode::Read);
            if (opened)
                return Found { journal, read(opened.file) };
        }
    } catch (const EInOutError&) {
    }
    return std::nullopt;
}

} // namespace WriteJournal

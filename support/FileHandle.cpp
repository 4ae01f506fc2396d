#include "support/FileHandle.h"

#include "support/Exception.h"
#include "support/FileFaults.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>

namespace {

using FileFaults::Op;

[[noreturn]] void failWith(int err)
{
    throw EInOutError::fromErrno(err);
}

// Raises the failure that a test planned for this step, if any.
void raiseIfInjected(Op op)
{
    if (const int err = FileFaults::check(op))
        failWith(err);
}

// The failure a test planned for a write of data, and the bytes of data written before it, as a disk that fills
// part way through a write leaves them.
int injectedWriteFailure(std::string_view& data)
{
    std::size_t units = std::max<std::size_t>(data.size(), 1);
    const int failure = FileFaults::check(Op::Write, units);
    if (failure)
        data = data.substr(0, units);
    return failure;
}

// Repeats a system call that a signal interrupted.
template <typename Call> auto retried(Call call)
{
    decltype(call()) result;
    do
        result = call();
    while (result < 0 && errno == EINTR);
    return result;
}

FileIdentity identityOf(const struct stat& st)
{
    return { .device = std::uint64_t(st.st_dev), .inode = std::uint64_t(st.st_ino) };
}

// Adds to identity what tells the open file fd from a later file given the same inode number. Each look that fails
// only leaves its part unknown: the open itself succeeded, and device and inode still say which file it is now.
//
// The generation comes with the file handle rather than from FS_IOC_GETVERSION: a handle is how NFS names a file
// over time, so every file system that can be shared gives one (ext4, xfs, btrfs, tmpfs), while the ioctl is left
// to each file system and is passed on to a FUSE server; the kernel makes a handle without asking anyone.
void addLastingMarks(int fd, FileIdentity& identity)
{
    struct statfs fs { };
    const bool fsKnown = ::fstatfs(fd, &fs) == 0;
    if (fsKnown) {
        static_assert(sizeof fs.f_fsid == sizeof identity.fileSystem);
        std::memcpy(&identity.fileSystem, &fs.f_fsid, sizeof identity.fileSystem);
        identity.hasFileSystem = true;
    }
    // overlayfs shows the birth time of the layer that holds the file, and the first open for writing copies a
    // file up into a new one born then, while device and inode stay: there the birth time would disown the file.
    struct statx sx { };
    if ((!fsKnown || fs.f_type != OVERLAYFS_SUPER_MAGIC)
        && ::statx(fd, "", AT_EMPTY_PATH | AT_STATX_SYNC_AS_STAT, STATX_BTIME, &sx) == 0
        && (sx.stx_mask & STATX_BTIME)) {
        identity.bornSeconds = sx.stx_btime.tv_sec;
        identity.bornNanoseconds = sx.stx_btime.tv_nsec;
        identity.hasBirth = true;
    }
    alignas(file_handle) unsigned char room[sizeof(file_handle) + FileIdentity::HandleRoom];
    auto* handle = reinterpret_cast<file_handle*>(room);
    handle->handle_bytes = FileIdentity::HandleRoom;
    int mountId = 0;
    if (::name_to_handle_at(fd, "", handle, &mountId, AT_EMPTY_PATH) == 0 && handle->handle_bytes > 0
        && handle->handle_bytes <= FileIdentity::HandleRoom) {
        identity.handleType = handle->handle_type;
        identity.handleSize = static_cast<std::uint8_t>(handle->handle_bytes);
        std::memcpy(identity.handle.data(), handle->f_handle, handle->handle_bytes);
    }
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// The temporary files of a replaced file are named ".<name>.<pid>.XXXXXX", after the file and the process that
// writes them.
std::string temporaryPrefix(const std::string& target)
{
    // Appended piece by piece: GCC 12 takes the concatenation of temporaries for an overlapping copy (-Wrestrict).
    std::string prefix = ".";
    prefix += std::string_view(target).substr(target.rfind('/') + 1);
    prefix += '.';
    return prefix;
}

// Removes the temporary files that writers killed halfway through left in folder. A temporary whose process still
// runs is another copy's write under way and stays.
void removeAbandonedTemporaries(const std::string& folder, const std::string& prefix)
{
    if (const int err = FileFaults::check(Op::ListFolder))
        failWith(err);
    DIR* entries = ::opendir(folder.c_str());
    if (!entries)
        failWith(errno);
    int failure = 0;
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view name = entry->d_name;
        if (name.substr(0, prefix.size()) != prefix)
            continue;
        const std::string_view rest = name.substr(prefix.size());
        const auto dot = rest.find('.');
        if (dot == std::string_view::npos || dot == 0 || rest.size() - dot - 1 != 6)
            continue;
        pid_t pid = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + dot, pid);
        if (error != std::errc() || end != rest.data() + dot || pid <= 0 || pid == ::getpid())
            continue;
        if (::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        int err = FileFaults::check(Op::Remove);
        if (!err && ::unlinkat(::dirfd(entries), entry->d_name, 0) != 0)
            err = errno;
        failure = failure ? failure : err;
    }
    ::closedir(entries);
    if (failure)
        failWith(failure);
}

// Makes the entries of folder durable, a rename among them included.
void syncFolder(const std::string& folder)
{
    raiseIfInjected(Op::SyncFolder);
    const int fd = retried([&] { return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (fd < 0)
        failWith(errno);
    const int failed = ::fsync(fd) != 0 && errno != EINVAL ? errno : 0;
    ::close(fd);
    if (failed)
        failWith(failed);
    FileFaults::syncedFolder(folder);
}

mode_t modeForNewFile()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool operator==(const FileIdentity& a, const FileIdentity& b)
{
    if (a.device != b.device || a.inode != b.inode)
        return false;
    if (a.hasFileSystem && b.hasFileSystem && a.fileSystem != b.fileSystem)
        return false;
    if (a.hasBirth && b.hasBirth && (a.bornSeconds != b.bornSeconds || a.bornNanoseconds != b.bornNanoseconds))
        return false;
    return !a.handleSize || !b.handleSize
        || (a.handleType == b.handleType && a.handleSize == b.handleSize
            && std::equal(a.handle.begin(), a.handle.begin() + a.handleSize, b.handle.begin()));
}

bool FileStatus::isRegular() const
{
    return S_ISREG(mode);
}

bool FileStatus::isDirectory() const
{
    return S_ISDIR(mode);
}

bool FileStatus::isOwnedByUserOrRoot() const
{
    return owner == ::geteuid() || owner == 0;
}

bool FileStatus::isWritableByOthers() const
{
    return (mode & (S_IWGRP | S_IWOTH)) != 0;
}

FileHandle::FileHandle(int fd, FileIdentity identity, std::string path)
    : m_fd(fd)
    , m_path(std::move(path))
    , m_identity(identity)
{
}

FileHandle::~FileHandle()
{
    if (m_fd < 0)
        return;
    // A close that fails here has nothing left to lose: every write that mattered was synced and closed with
    // close(). The seam still counts it, so that a test can see a failure here change nothing.
    (void)FileFaults::check(Op::Close);
    ::close(m_fd);
}

FileHandle::FileHandle(FileHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
    , m_identity(other.m_identity)
    , m_failedAt(other.m_failedAt)
    , m_failure(other.m_failure)
{
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        FileHandle gone(std::move(*this));
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_identity = other.m_identity;
        m_failedAt = other.m_failedAt;
        m_failure = other.m_failure;
    }
    return *this;
}

FileHandle::Opened FileHandle::tryOpen(const std::string& path, Mode mode)
{
    if (const int err = FileFaults::check(Op::Open))
        return { {}, err };
    if (path.find('\0') != std::string::npos)
        return { {}, ENOENT };
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    switch (mode) {
    case Mode::Read:
        flags |= O_RDONLY;
        break;
    case Mode::ReadWrite:
        flags |= O_RDWR;
        break;
    case Mode::CreateText:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case Mode::CreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
        break;
    }
    const int fd = retried([&] { return ::open(path.c_str(), flags, mode == Mode::CreateNew ? 0600 : 0666); });
    if (fd < 0)
        return { {}, errno };
    FileHandle file(fd, {}, path);
    if (mode == Mode::CreateNew)
        FileFaults::made(path);
    // Only the open must not wait. A FIFO left non-blocking would take one pipe's worth of a report and then fail
    // it with EAGAIN; once its reader is there, the writes wait for it as any program's do. The step belongs to
    // the open, and its failure is the open's.
    if (mode == Mode::CreateText || mode == Mode::CreateNew) {
        const int status = ::fcntl(fd, F_GETFL);
        if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
            return { {}, errno };
    }
    struct stat st { };
    const bool known = ::fstat(fd, &st) == 0;
    if (mode != Mode::CreateText && (!known || !S_ISREG(st.st_mode)))
        return { {}, known && S_ISDIR(st.st_mode) ? EISDIR : EINVAL };
    if (known) {
        file.m_identity = identityOf(st);
        addLastingMarks(fd, file.m_identity);
    }
    return { std::move(file), 0 };
}

FileHandle FileHandle::open(const std::string& path, Mode mode)
{
    Opened opened = tryOpen(path, mode);
    if (!opened)
        failWith(opened.error);
    return std::move(opened.file);
}

FileHandle FileHandle::duplicate() const
{
    raiseIfInjected(Op::Open);
    const int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        failWith(errno);
    return FileHandle(fd, m_identity, m_path);
}

std::int64_t FileHandle::size() const
{
    raiseIfInjected(Op::Size);
    struct stat st { };
    if (::fstat(m_fd, &st) != 0)
        failWith(errno);
    return st.st_size;
}

std::size_t FileHandle::readAt(std::int64_t offset, char* buffer, std::size_t count)
{
    if (offset < 0)
        failWith(EINVAL);
    if (m_failure && offset == m_failedAt)
        failWith(std::exchange(m_failure, 0));
    // A planned failure of the nth byte read ends the read just before that byte, as a bad sector does.
    int failure = FileFaults::check(Op::Read, count);
    std::size_t done = 0;
    std::size_t step = count;
    while (done < count) {
        const ssize_t n
            = ::pread(m_fd, buffer + done, std::min(step, count - done), offset + static_cast<std::int64_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        // Some file systems fail a whole range for one bad byte: byte by byte, the bytes before it still arrive.
        if (n < 0 && step > 1) {
            step = 1;
            continue;
        }
        if (n < 0) {
            failure = errno;
            break;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    if (failure && done == 0)
        failWith(failure);
    m_failure = failure;
    m_failedAt = offset + static_cast<std::int64_t>(done);
    return done;
}

std::size_t FileHandle::readRange(std::int64_t offset, char* buffer, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const std::size_t got = readAt(offset + static_cast<std::int64_t>(done), buffer + done, count - done);
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

std::optional<FileHandle::DataRun> FileHandle::dataFrom(std::int64_t offset) const
{
    raiseIfInjected(Op::Seek);
    const off_t begin = ::lseek(m_fd, offset, SEEK_DATA);
    if (begin < 0 && errno == ENXIO)
        return std::nullopt;
    // A file system or kernel without the two looks: all data, as a plain read finds it.
    if (begin < 0 && errno == EINVAL)
        return DataRun { offset, std::numeric_limits<std::int64_t>::max() };
    if (begin < 0)
        failWith(errno);
    const off_t end = ::lseek(m_fd, begin, SEEK_HOLE);
    if (end < 0 && errno == ENXIO) // cut short in between: only a hole follows
        return std::nullopt;
    if (end < 0)
        failWith(errno);
    return DataRun { begin, end };
}

std::string FileHandle::readAll() const
{
    raiseIfInjected(Op::Read);
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = retried([&] { return ::read(m_fd, buffer, sizeof buffer); });
        if (n < 0)
            failWith(errno);
        if (n == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

void FileHandle::writeAt(std::int64_t offset, std::string_view data) const
{
    if (offset < 0)
        failWith(EINVAL);
    const int failure = injectedWriteFailure(data);
    FileFaults::beforeWriteTo(m_path);
    if (FileFaults::tracking()) {
        // What the write replaces, as a power cut before the next sync could bring it back.
        struct stat st { };
        std::string old(data.size(), '\0');
        const ssize_t got = ::pread(m_fd, old.data(), old.size(), offset);
        old.resize(got > 0 ? std::size_t(got) : 0);
        FileFaults::wrote(m_path, offset, std::move(old), ::fstat(m_fd, &st) == 0 ? st.st_size : 0);
    }
    while (!data.empty()) {
        const ssize_t n = retried([&] { return ::pwrite(m_fd, data.data(), data.size(), offset); });
        if (n < 0)
            failWith(errno);
        if (n == 0)
            throw EInOutError(EInOutError::DiskFull);
        data.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    if (failure)
        failWith(failure);
}

void FileHandle::write(std::string_view data) const
{
    const int failure = injectedWriteFailure(data);
    while (!data.empty()) {
        const ssize_t n = retried([&] { return ::write(m_fd, data.data(), data.size()); });
        if (n < 0)
            failWith(errno);
        if (n == 0)
            throw EInOutError(EInOutError::DiskFull);
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    if (failure)
        failWith(failure);
}

void FileHandle::sync() const
{
    raiseIfInjected(Op::Sync);
    // Devices and pipes cannot be synced; that is no failure of the data.
    if (::fdatasync(m_fd) != 0 && errno != EINVAL)
        failWith(errno);
    FileFaults::synced(m_path);
}

void FileHandle::truncate(std::int64_t size) const
{
    raiseIfInjected(Op::Truncate);
    if (retried([&] { return ::ftruncate(m_fd, static_cast<off_t>(size)); }) != 0)
        failWith(errno);
}

void FileHandle::reserve(std::int64_t size) const
{
    raiseIfInjected(Op::Allocate);
    // The process's file size limit would cut a write off halfway, as a full disk does: told before anything
    // is written.
    rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        && static_cast<rlim_t>(size) > limit.rlim_cur)
        failWith(EFBIG);
    if (retried([&] { return ::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)); }) != 0
        && errno != EOPNOTSUPP)
        failWith(errno);
}

void FileHandle::close()
{
    if (m_fd < 0)
        return;
    const int fd = std::exchange(m_fd, -1);
    const int injected = FileFaults::check(Op::Close);
    if (::close(fd) != 0 && errno != EINTR)
        failWith(errno);
    if (injected)
        failWith(injected);
}

void FileHandle::remove(const std::string& path)
{
    raiseIfInjected(Op::Remove);
    if (::unlink(path.c_str()) != 0)
        failWith(errno);
}

void FileHandle::makeDurable(const std::string& folder)
{
    syncFolder(folder);
}

std::optional<FileStatus> FileHandle::status(const std::string& path)
{
    raiseIfInjected(Op::Stat);
    struct stat st { };
    if (path.find('\0') != std::string::npos)
        return std::nullopt;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        failWith(errno);
    }
    return FileStatus { identityOf(st), st.st_mode, st.st_uid, st.st_gid };
}

std::optional<std::string> FileHandle::resolved(const std::string& path)
{
    raiseIfInjected(Op::Resolve);
    if (path.find('\0') != std::string::npos)
        return std::nullopt;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
        if (errno == ENOENT)
            return std::nullopt;
        failWith(errno);
    }
    std::string result = resolved;
    std::free(resolved);
    return result;
}

void FileHandle::makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        raiseIfInjected(Op::MakeFolder);
        if (::mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST)
            failWith(errno);
    }
}

bool FileHandle::replaceWith(const std::string& target, std::string_view content, const std::optional<FileStatus>& old)
{
    return replaceWith(
        target, [content](const FileHandle& file) { file.write(content); }, old);
}

bool FileHandle::replaceWith(const std::string& target, const std::function<void(const FileHandle&)>& write,
    const std::optional<FileStatus>& old)
{
    const std::string folder = folderOf(target);
    const std::string prefix = temporaryPrefix(target);
    // Leftovers are only litter: a folder that cannot be cleared of them still takes the new file.
    try {
        removeAbandonedTemporaries(folder, prefix);
    } catch (const EInOutError&) {
    }
    // A hidden name beside the file, so that a crash leaves nothing that looks like the file itself.
    std::string temporary = folder + prefix + std::to_string(::getpid()) + ".XXXXXX";
    if (const int err = FileFaults::check(Op::Open)) {
        if (err == EACCES || err == EPERM || err == EROFS)
            return false;
        failWith(err);
    }
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM || errno == EROFS)
            return false;
        failWith(errno);
    }
    FileHandle file(fd, {}, temporary);
    try {
        if (::fchmod(fd, old ? (old->mode & 07777) : modeForNewFile()) != 0)
            failWith(errno);
        // Only the owner's own group and root may hand a file over; anyone else keeps the file as their own.
        if (old) {
            [[maybe_unused]] const bool handedOver = ::fchown(fd, old->owner, old->group) == 0;
        }
        write(file);
        file.sync();
        file.close();
        raiseIfInjected(Op::Rename);
        if (::rename(temporary.c_str(), target.c_str()) != 0)
            failWith(errno);
    } catch (...) {
        FileHandle gone(std::move(file));
        ::unlink(temporary.c_str());
        throw;
    }
    syncFolder(folder);
    return true;
}

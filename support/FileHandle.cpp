#include "support/FileHandle.h"

#include "support/Exception.h"
#include "support/FileFaults.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

using FileFaults::Op;

[[noreturn]] void raise(int err)
{
    throw EInOutError::fromErrno(err);
}

// Raises the failure that a test planned for this call of op, if any.
void raiseIfInjected(Op op)
{
    if (const int err = FileFaults::check(op))
        raise(err);
}

} // namespace

FileHandle::FileHandle(FileHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_identity(other.m_identity)
{
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_identity = other.m_identity;
    }
    return *this;
}

int FileHandle::open(const std::string& path, Mode mode)
{
    close();
    if (const int err = FileFaults::check(Op::Open))
        return err;
    // The system would take the name only up to a NUL byte and so open another file than the one named.
    if (path.find('\0') != std::string::npos)
        return ENOENT;
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
    }
    int fd;
    do
        fd = ::open(path.c_str(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno;
    struct stat st { };
    const bool known = ::fstat(fd, &st) == 0;
    if (mode != Mode::CreateText && (!known || !S_ISREG(st.st_mode))) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return err;
    }
    m_fd = fd;
    m_identity = known ? FileIdentity { std::uint64_t(st.st_dev), std::uint64_t(st.st_ino) } : FileIdentity {};
    return 0;
}

int FileHandle::createTemporary(std::string& pathTemplate)
{
    close();
    if (const int err = FileFaults::check(Op::Open))
        return err;
    const int fd = ::mkostemp(pathTemplate.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    m_fd = fd;
    m_identity = {};
    return 0;
}

std::int64_t FileHandle::size() const
{
    raiseIfInjected(Op::Size);
    struct stat st { };
    if (::fstat(m_fd, &st) != 0)
        raise(errno);
    return st.st_size;
}

std::uint8_t FileHandle::readByteAt(std::int64_t offset) const
{
    raiseIfInjected(Op::Seek);
    if (offset < 0)
        raise(EINVAL);
    raiseIfInjected(Op::Read);
    unsigned char byte = 0;
    ssize_t n;
    do
        n = ::pread(m_fd, &byte, 1, offset);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        raise(errno);
    if (n == 0)
        throw EInOutError(EInOutError::ReadBeyondEnd);
    return byte;
}

std::size_t FileHandle::readAt(std::int64_t offset, char* buffer, std::size_t count, int& failure) const
{
    failure = FileFaults::check(Op::Seek);
    if (failure)
        return 0;
    if (offset < 0) {
        failure = EINVAL;
        return 0;
    }
    // A planned failure of the nth byte read ends the read just before that byte, as a bad sector does.
    const int injected = FileFaults::check(Op::Read, count);
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
            return done;
        }
        if (n == 0)
            return done;
        done += static_cast<std::size_t>(n);
    }
    failure = injected;
    return done;
}

void FileHandle::writeByteAt(std::int64_t offset, std::uint8_t value) const
{
    raiseIfInjected(Op::Seek);
    if (offset < 0)
        raise(EINVAL);
    raiseIfInjected(Op::Write);
    ssize_t n;
    do
        n = ::pwrite(m_fd, &value, 1, offset);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        raise(errno);
    if (n == 0)
        throw EInOutError(EInOutError::DiskFull);
}

void FileHandle::write(std::string_view data) const
{
    raiseIfInjected(Op::Write);
    while (!data.empty()) {
        const ssize_t n = ::write(m_fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            raise(errno);
        if (n == 0)
            throw EInOutError(EInOutError::DiskFull);
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::string FileHandle::readAll() const
{
    raiseIfInjected(Op::Read);
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            raise(errno);
        if (n == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(n));
    }
}

void FileHandle::sync() const
{
    raiseIfInjected(Op::Sync);
    // Devices and pipes cannot be synced; that is no failure of the data.
    if (::fdatasync(m_fd) != 0 && errno != EINVAL)
        raise(errno);
}

void FileHandle::closeChecked()
{
    if (m_fd < 0)
        return;
    const int fd = std::exchange(m_fd, -1);
    const int injected = FileFaults::check(Op::Close);
    if (::close(fd) != 0 && errno != EINTR)
        raise(errno);
    if (injected)
        raise(injected);
}

void FileHandle::close() noexcept
{
    if (m_fd < 0)
        return;
    (void)FileFaults::check(Op::Close);
    ::close(std::exchange(m_fd, -1));
}

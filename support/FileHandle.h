#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Which file an open handle holds, whatever names it has or had: the device and inode it lives on. A file
// renamed over, or a link pointed elsewhere, leaves the old name with another identity.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// An open file that is closed when the handle goes out of scope, on every path.
//
// Opens never block: a FIFO or device named as a viewed file is refused instead of hanging the window.
// Failing operations raise EInOutError; open() reports its errno instead, because every caller treats a
// failed open as an ordinary answer ("can't be opened"), not as an error.
class FileHandle {
public:
    enum class Mode {
        Read, // an existing regular file, read only
        ReadWrite, // an existing regular file, read and write, never created or truncated
        CreateText, // created or emptied for writing; devices such as /dev/full are allowed
    };

    FileHandle() = default;
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;

    // 0 on success, else the errno of the failure (EISDIR, or EINVAL for a FIFO or device where a
    // regular file is required; ENOENT for a name with a NUL byte in it).
    [[nodiscard]] int open(const std::string& path, Mode mode);
    // Creates a new file from a mkstemp template in place; 0 or the errno.
    [[nodiscard]] int createTemporary(std::string& pathTemplate);

    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    [[nodiscard]] int fd() const { return m_fd; }
    // The file opened, links followed; taken when it was opened.
    [[nodiscard]] FileIdentity identity() const { return m_identity; }

    [[nodiscard]] std::int64_t size() const;
    [[nodiscard]] std::uint8_t readByteAt(std::int64_t offset) const;
    // Reads up to count bytes at offset into buffer and returns how many it read: fewer at the end of the file,
    // or when a byte cannot be read, and then failure holds its errno (else 0). Every byte before a failing one
    // is delivered, so a caller knows exactly which byte failed.
    [[nodiscard]] std::size_t readAt(std::int64_t offset, char* buffer, std::size_t count, int& failure) const;
    void writeByteAt(std::int64_t offset, std::uint8_t value) const;
    // Writes all of data at the current position.
    void write(std::string_view data) const;
    // Reads from the current position to the end.
    [[nodiscard]] std::string readAll() const;
    // Makes written data durable.
    void sync() const;

    // Closes and raises EInOutError when the close reports a failure (data may not have reached the disk).
    void closeChecked();
    // Closes, ignoring any failure.
    void close() noexcept;

private:
    int m_fd = -1;
    FileIdentity m_identity;
};

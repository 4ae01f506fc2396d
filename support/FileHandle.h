#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Which file an open handle holds, whatever names it has or had. Device and inode say which file it is now, but not
// over time: the inode number of a removed file goes to the next file made there, often at once. So an identity
// taken on an open file also keeps what tells such files apart, each where the file system gives it: the file's
// handle (on ext4, xfs and btrfs its inode number and a generation that changes whenever the inode is used again),
// its birth time, and the file system's id. Two identities differ in one of those only where both have it: an
// identity taken from a path (FileStatus) has none, and a look that failed leaves its part unknown.
struct FileIdentity {
    // The handles of local file systems take 8 to 20 bytes; a longer one (some network and stacked file systems)
    // is left unknown rather than making every identity, and every history entry's file, larger.
    static constexpr std::size_t HandleRoom = 40;

    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t fileSystem = 0;
    std::int64_t bornSeconds = 0;
    std::uint32_t bornNanoseconds = 0;
    std::int32_t handleType = 0;
    std::uint8_t handleSize = 0; // 0: no handle known
    bool hasFileSystem = false;
    bool hasBirth = false;
    std::array<unsigned char, HandleRoom> handle {};

    friend bool operator==(const FileIdentity& a, const FileIdentity& b);
};

// What a look at a path finds there.
struct FileStatus {
    FileIdentity identity;
    std::uint32_t mode = 0; // the kind and the permission bits
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    [[nodiscard]] bool isRegular() const;
    [[nodiscard]] bool isDirectory() const;
    // Owned by the user this process acts for, or by root, whom every user trusts anyway.
    [[nodiscard]] bool isOwnedByUserOrRoot() const;
    // Writable by the group or by everyone (a folder's sticky bit changes nothing: others may still add names).
    [[nodiscard]] bool isWritableByOthers() const;
};

// The one way to a file: every step the program takes on a file or a folder is a member of this class, and the
// FileFaults seam can fail each of them.
//
// One error style: a step that fails raises EInOutError with its errno. Opening is the one exception: that a file
// cannot be opened is an ordinary answer for most callers, so tryOpen() returns it instead, in one type (Opened).
// A handle closes its file when it goes out of scope, on every path, ignoring a failure of that close; close()
// closes it and raises when the close fails.
//
// Opens never block: a FIFO or device named where a regular file is wanted is refused instead of hanging the
// window, and a FIFO without a reader cannot be opened for a text. Once open, a text's writes wait as usual.
class FileHandle {
public:
    enum class Mode {
        Read, // an existing regular file, read only
        ReadWrite, // an existing regular file, read and write, never created or truncated
        CreateText, // created or emptied for writing; devices such as /dev/full are allowed
        CreateNew, // a regular file made for writing, private to the user; EEXIST when the name is taken
    };
    struct Opened;

    FileHandle() = default;
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;

    // The open file, or the errno why path cannot be opened (EISDIR, or EINVAL for a FIFO or device where a
    // regular file is wanted; ENOENT for a name with a NUL byte in it, which the system would cut short).
    [[nodiscard]] static Opened tryOpen(const std::string& path, Mode mode);
    // The open file; raises when path cannot be opened.
    [[nodiscard]] static FileHandle open(const std::string& path, Mode mode);

    // The file opened, links followed; taken when it was opened.
    [[nodiscard]] FileIdentity identity() const { return m_identity; }
    // The same open file, for another thread to read: a handle keeps what its last read left, so two threads do not
    // share one.
    [[nodiscard]] FileHandle duplicate() const;
    [[nodiscard]] std::int64_t size() const;

    // Reads up to count bytes at offset into buffer and returns how many it read: fewer at the end of the file, or
    // when a byte cannot be read. Every byte before a failing one is delivered; the next read, which starts at the
    // failing byte, raises its error. So a caller that shows what it read knows exactly which byte failed.
    [[nodiscard]] std::size_t readAt(std::int64_t offset, char* buffer, std::size_t count);
    // The same, fewer bytes only where the file ends: a byte that cannot be read raises.
    [[nodiscard]] std::size_t readRange(std::int64_t offset, char* buffer, std::size_t count);
    // Where the file holds data at offset or after it: from the first byte of data to the hole after it (the end
    // of the file at the latest). Nothing when only a hole follows. A hole reads as zeros; a file system that keeps
    // no holes has data all through.
    struct DataRun {
        std::int64_t begin = 0;
        std::int64_t end = 0;
    };
    [[nodiscard]] std::optional<DataRun> dataFrom(std::int64_t offset) const;
    // Reads from the current position to the end.
    [[nodiscard]] std::string readAll() const;
    // Writes all of data at offset, or at the current position.
    void writeAt(std::int64_t offset, std::string_view data) const;
    void write(std::string_view data) const;
    // Makes written data durable.
    void sync() const;
    void truncate(std::int64_t size) const;
    // Reserves room for a file of size bytes without changing its length, so that writing that much cannot run out
    // of disk halfway; raises EFBIG when it is more than this process may write.
    void reserve(std::int64_t size) const;
    void close();

    // What path names, links followed; nothing when there is nothing (or the name has a NUL byte).
    [[nodiscard]] static std::optional<FileStatus> status(const std::string& path);
    // path with every link followed to the file it names; nothing when there is no such file.
    [[nodiscard]] static std::optional<std::string> resolved(const std::string& path);
    // Makes every missing folder of path up to its last "/", private to the user.
    static void makeFolders(const std::string& path);
    // Removes the file at path; makeDurable(folder) then makes its going durable.
    static void remove(const std::string& path);
    // Makes the entries of folder durable: a file made, renamed or removed there.
    static void makeDurable(const std::string& folder);
    // Replaces the file target by one holding content, so that at any instant there is either the old file or
    // the new one, whole: the content goes to a temporary file beside target, is made durable, then renamed over
    // it, and the rename made durable. The new file keeps old's mode and owner when given. Temporaries that
    // writers killed halfway left beside target are removed first. False, with nothing changed, when the
    // folder takes no new file.
    [[nodiscard]] static bool replaceWith(
        const std::string& target, std::string_view content, const std::optional<FileStatus>& old);
    // The same with the content written by write, a piece at a time, onto the temporary file.
    [[nodiscard]] static bool replaceWith(const std::string& target,
        const std::function<void(const FileHandle&)>& write, const std::optional<FileStatus>& old);

private:
    explicit FileHandle(int fd, FileIdentity identity, std::string path);

    int m_fd = -1;
    // The path it was opened by, for the seam's record of writes not yet durable.
    std::string m_path;
    FileIdentity m_identity;
    // A read stopped short by a failing byte: the next read from there raises its error.
    std::int64_t m_failedAt = -1;
    int m_failure = 0;
};

struct FileHandle::Opened {
    FileHandle file;
    int error = 0;
    explicit operator bool() const { return error == 0; }
};

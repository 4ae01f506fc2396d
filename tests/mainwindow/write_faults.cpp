// Loaded into the program under test (LD_PRELOAD) to act on its writes to the file it patches as a failing disk or
// another program would: QUILLMOOR_FAIL_WRITE=n fails the nth such pwrite with EIO; QUILLMOOR_CUT_AT_WRITE=n:size
// cuts the file to size bytes just before the nth. Writes of the program's journals are let through uncounted.
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

long numberAt(const char* name, char** rest = nullptr)
{
    const char* value = std::getenv(name);
    return value ? std::strtol(value, rest, 10) : 0;
}

bool isJournal(int fd)
{
    char target[4096] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 && std::string_view(target, std::size_t(length)).ends_with("-journal");
}

ssize_t faulty(const char* name, int fd, const void* data, size_t count, off_t offset)
{
    static int writes = 0;
    const bool counted = !isJournal(fd);
    writes += counted;
    if (counted && writes == numberAt("QUILLMOOR_FAIL_WRITE")) {
        errno = EIO;
        return -1;
    }
    char* rest = nullptr;
    if (counted && writes == numberAt("QUILLMOOR_CUT_AT_WRITE", &rest) && rest && *rest == ':'
        && ::ftruncate(fd, std::strtol(rest + 1, nullptr, 10)) != 0)
        return -1;
    using Write = ssize_t (*)(int, const void*, size_t, off_t);
    return reinterpret_cast<Write>(::dlsym(RTLD_NEXT, name))(fd, data, count, offset);
}

} // namespace

extern "C" ssize_t pwrite(int fd, const void* data, size_t count, off_t offset)
{
    return faulty("pwrite", fd, data, count, offset);
}

extern "C" ssize_t pwrite64(int fd, const void* data, size_t count, off_t offset)
{
    return faulty("pwrite64", fd, data, count, offset);
}

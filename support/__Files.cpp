#include "support/__Files.h"

#include "support/FileHandle.h"

#include <climits>
#include <unistd.h>
#include <vector>

bool WriteByteAt(const std::string& path, std::int32_t offset, std::uint8_t value)
{
    FileHandle file;
    if (file.open(path, FileHandle::Mode::ReadWrite) != 0)
        return false;
    const std::int64_t length = file.size();
    if (offset < 0 || offset >= length)
        return false;
    file.writeByteAt(offset, value);
    file.sync();
    return true;
}

std::string ProgramDir()
{
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return "./";
        if (static_cast<std::size_t>(n) < buffer.size()) {
            const std::string exe(buffer.data(), static_cast<std::size_t>(n));
            return exe.substr(0, exe.rfind('/') + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

#include "support/FilePath.h"

#include "support/FileHandle.h"

#include <sys/stat.h>

bool fileExists(const std::string& path)
{
    struct stat st { };
    // A name with a NUL byte in it (from a damaged settings file) names no file; the system would see only
    // the part before the NUL.
    return !path.empty() && path.find('\0') == std::string::npos && ::stat(path.c_str(), &st) == 0
        && !S_ISDIR(st.st_mode);
}

bool isReadableFile(const std::string& path)
{
    FileHandle file;
    return file.open(path, FileHandle::Mode::Read) == 0;
}

std::string directoryPart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

#include "support/FilePath.h"

#include "support/Exception.h"
#include "support/FileHandle.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

bool fileExists(const std::string& path)
{
    try {
        const auto status = FileHandle::status(path);
        return !path.empty() && status && !status->isDirectory();
    } catch (const EInOutError&) {
        return false;
    }
}

bool isRegularFile(const std::string& path)
{
    try {
        const auto status = FileHandle::status(path);
        return status && status->isRegular();
    } catch (const EInOutError&) {
        return false;
    }
}

bool isReadableFile(const std::string& path)
{
    return bool(FileHandle::tryOpen(path, FileHandle::Mode::Read));
}

std::string directoryPart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string userFolder(const char* variable, const char* fallback, bool make)
{
    const char* set = std::getenv(variable);
    std::string dir;
    if (set && set[0] == '/') {
        dir = set;
    } else {
        const char* home = std::getenv("HOME");
        const passwd* user = home && *home ? nullptr : ::getpwuid(::getuid());
        dir = std::string(home && *home ? home : (user && user->pw_dir ? user->pw_dir : "/")) + "/" + fallback;
    }
    if (dir.back() != '/')
        dir += '/';
    dir += "quillmoor/";
    try {
        if (make)
            FileHandle::makeFolders(dir);
    } catch (const EInOutError&) {
    }
    return dir;
}

#include "support/FilePath.h"

#include "support/Exception.h"
#include "support/FileHandle.h"

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

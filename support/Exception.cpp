#include "support/Exception.h"

#include <cerrno>

EInOutError::EInOutError(int code)
    : Exception(messageFor(code))
    , m_code(code)
{
}

EInOutError EInOutError::fromErrno(int err)
{
    return EInOutError(codeForErrno(err));
}

std::string EInOutError::messageFor(int code)
{
    switch (code) {
    case FileNotFound:
        return "File not found";
    case InvalidFilename:
        return "Invalid filename";
    case TooManyOpenFiles:
        return "Too many open files";
    case AccessDenied:
        return "File access denied";
    case ReadBeyondEnd:
        return "Read beyond end of file";
    case DiskFull:
        return "Disk full";
    case InvalidNumericInput:
        return "Invalid numeric input";
    default:
        return "I/O error " + std::to_string(code);
    }
}

int EInOutError::codeForErrno(int err)
{
    switch (err) {
    case ENOENT:
        return FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return InvalidFilename;
    case EMFILE:
    case ENFILE:
        return TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return DiskFull;
    default:
        return err;
    }
}

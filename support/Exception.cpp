#include "support/Exception.h"

#include <cerrno>

EInOutError::EInOutError(int code)
    : Exception(messageFor(code))
    , m_code(code)
{
}

EInOutError::EInOutError(int code, std::string message)
    : Exception(std::move(message))
    , m_code(code)
{
}

EInOutError EInOutError::fromErrno(int err)
{
    const int code = codeForErrno(err);
    // An error number passed on as it is may equal a code that has a text of its own but another meaning
    // (EIO is 5, "File access denied"); it shows the numbered text, which does not mislead.
    if (code == err && err != ENOENT && messageFor(code) != numberedText(code))
        return EInOutError(code, numberedText(code));
    return EInOutError(code);
}

std::string EInOutError::numberedText(int code)
{
    return "I/O error " + std::to_string(code);
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
        return numberedText(code);
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

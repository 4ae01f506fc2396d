#pragma once

#include <string>
#include <utility>

// The program's error kinds. Messages are Windows-1251 byte strings, like every text of the program.
// They deliberately do not derive from std::exception: the top-level guard shows these with their own message,
// and anything else under a message that says it was not foreseen.
class Exception {
public:
    explicit Exception(std::string message)
        : m_message(std::move(message))
    {
    }
    virtual ~Exception() = default;

    [[nodiscard]] const std::string& message() const { return m_message; }

private:
    std::string m_message;
};

// A text that the integer parser rejected.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A failed positioning, read, write, size query or create on an opened file, with its numeric code.
class EInOutError : public Exception {
public:
    explicit EInOutError(int code);

    // Builds the error for a failed operating-system call from its errno value.
    [[nodiscard]] static EInOutError fromErrno(int err);

    [[nodiscard]] int code() const { return m_code; }

    // The user-facing text for an I/O error code.
    [[nodiscard]] static std::string messageFor(int code);
    // The single place where operating-system error numbers become the program's I/O error codes.
    [[nodiscard]] static int codeForErrno(int err);

    static constexpr int FileNotFound = 2;
    static constexpr int InvalidFilename = 3;
    static constexpr int TooManyOpenFiles = 4;
    static constexpr int AccessDenied = 5;
    static constexpr int ReadBeyondEnd = 100;
    static constexpr int DiskFull = 101;
    static constexpr int NotOpenForInput = 103;
    static constexpr int InvalidNumericInput = 106;

private:
    EInOutError(int code, std::string message);
    [[nodiscard]] static std::string numberedText(int code);

    int m_code;
};

// A silent error: it stops the command and is never shown.
class EAbort : public Exception {
public:
    EAbort()
        : Exception(std::string())
    {
    }
};

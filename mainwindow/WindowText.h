#pragma once

#include "support/Cp1251.h"

#include <QFile>
#include <QString>

#include <string>

// The window's texts are written in the UTF-8 sources; the program works in Windows-1251, and paths are the
// file system's own bytes. For the window's own source files.
namespace WindowText {

inline std::string text(const char* utf8)
{
    return Cp1251::fromUtf8(utf8);
}

inline QString qtext(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// A text of the user's quoted in a message, cut to its first 64 characters and "…" when longer, so that every
// message box fits on the screen whatever was typed or pasted.
inline std::string quoted(std::string text)
{
    constexpr std::size_t Most = 64;
    if (text.size() > Most)
        text.replace(Most, std::string::npos, Cp1251::fromUtf8("…"));
    return text;
}

inline QString qpath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

} // namespace WindowText

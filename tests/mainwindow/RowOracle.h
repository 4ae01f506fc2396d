#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <string>

// The texts a row shows for the byte v at offset, made here from the numbers themselves rather than by the
// program's formatting, so that a test compares the program with something it did not compute.

// "0000001F (31)": at least eight upper-case hex digits, then the decimal offset in brackets.
inline std::string offsetText(std::int64_t offset)
{
    const QByteArray hex = QByteArray::number(static_cast<qulonglong>(offset), 16).toUpper().rightJustified(8, '0');
    return (hex + " (" + QByteArray::number(static_cast<qlonglong>(offset)) + ')').toStdString();
}

// Hex, decimal, binary, and the Windows-1251 character or "<...>" for the control codes below 32.
inline std::array<std::string, 4> valueTexts(std::uint8_t v)
{
    return { QByteArray::number(v, 16).toUpper().rightJustified(2, '0').toStdString(), std::to_string(v),
        QByteArray::number(v, 2).rightJustified(8, '0').toStdString(),
        v < 32 ? std::string("<...>") : std::string(1, static_cast<char>(v)) };
}

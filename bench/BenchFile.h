#pragma once

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

// A file of size bytes to measure on, holding a pattern so that no byte value is favoured. A sparse one holds the
// pattern in its first megabyte only and reads as zeros beyond without taking disk space: the blocks measured
// near its start show the same bytes as the other files', so that only the file's size differs.
inline void makeFile(const std::string& path, qint64 size, bool sparse)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", path.c_str());
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(i * 37 + 11);
    const qint64 written = sparse ? std::min<qint64>(chunk.size(), size) : size;
    for (qint64 at = 0; at < written; at += chunk.size())
        file.write(chunk.constData(), std::min<qint64>(chunk.size(), written - at));
    if (sparse)
        file.resize(size);
}

// size bytes of no pattern (xorshift), in which a given text of six letters turns up by chance once in 2^48 places.
inline QByteArray noise(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (qsizetype i = 0; i + 8 <= bytes.size(); i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(bytes.data() + i, &state, 8);
    }
    return bytes;
}

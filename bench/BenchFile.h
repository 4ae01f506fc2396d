#pragma once

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <string>

// A file of size bytes to measure on: a sparse one reads as zeros without taking disk space, the others hold a
// pattern, so that no byte value is favoured.
inline void makeFile(const std::string& path, qint64 size, bool sparse)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", path.c_str());
    if (sparse) {
        file.resize(size);
        return;
    }
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < chunk.size(); ++i)
        chunk[i] = static_cast<char>(i * 37 + 11);
    for (qint64 written = 0; written < size; written += chunk.size())
        file.write(chunk.constData(), std::min<qint64>(chunk.size(), size - written));
}

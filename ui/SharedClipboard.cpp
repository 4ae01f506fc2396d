#include "ui/SharedClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>

#include <cstdio>

namespace SharedClipboard {

namespace {

const QString OctetStream = QStringLiteral("application/octet-stream");

ClipboardContent contentOf(const QMimeData* data)
{
    ClipboardContent content;
    if (!data)
        return content;
    if (data->hasFormat(OctetStream))
        content.octets = data->data(OctetStream).toStdString();
    content.text = data->text();
    return content;
}

} // namespace

std::optional<ClipboardContent> read(int waitMs)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    // Only a clipboard shared with other programs can keep the window waiting on one of them.
    const QString platform = QGuiApplication::platformName();
    const bool shared = platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
    if (!shared || clipboard->ownsClipboard())
        return contentOf(clipboard->mimeData());
    QProcess reader;
    reader.start(QCoreApplication::applicationFilePath(), { QString::fromLatin1(Option) });
    if (!reader.waitForFinished(waitMs)) {
        reader.kill();
        reader.waitForFinished(1000);
        return std::nullopt;
    }
    // "octets N" or "text" on the first line; then the raw bytes, if any; then the text, UTF-8.
    const QByteArray out = reader.readAllStandardOutput();
    const qsizetype lineEnd = out.indexOf('\n');
    if (reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0 || lineEnd < 0)
        return std::nullopt;
    ClipboardContent content;
    qsizetype at = lineEnd + 1;
    if (out.startsWith("octets ")) {
        const qsizetype count = out.mid(7, lineEnd - 7).toLongLong();
        content.octets = out.mid(at, count).toStdString();
        at += count;
    }
    content.text = QString::fromUtf8(out.mid(at));
    return content;
}

int print()
{
    const ClipboardContent content = contentOf(QGuiApplication::clipboard()->mimeData());
    QByteArray out = content.octets ? "octets " + QByteArray::number(qsizetype(content.octets->size())) + '\n'
                                    : QByteArray("text\n");
    if (content.octets)
        out += QByteArray::fromStdString(*content.octets);
    out += content.text.toUtf8();
    return std::fwrite(out.constData(), 1, std::size_t(out.size()), stdout) == std::size_t(out.size())
            && std::fflush(stdout) == 0
        ? 0
        : 1;
}

} // namespace SharedClipboard

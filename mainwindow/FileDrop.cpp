#include "mainwindow/FileDrop.h"

#include "support/FilePath.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

std::optional<std::string> droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1)
        return std::nullopt;
    const QUrl& url = urls.front();
    // A file URL with a host names a file on another machine, whatever the local path part says.
    if (!url.isLocalFile() || !(url.host().isEmpty() || url.host() == QLatin1String("localhost")))
        return std::nullopt;
    // The path's bytes from its percent-encoded form: a name that is not valid UTF-8 would not survive a
    // detour through QString, and another file than the one dropped would be opened.
    const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
    std::string path = QByteArray::fromPercentEncoding(encoded).toStdString();
    if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos)
        return std::nullopt;
    // Looked at, not opened: a drag merely passing over the window must not open a device, which for some (a
    // tape drive) has effects of its own.
    if (!isRegularFile(path))
        return std::nullopt;
    return path;
}

std::optional<std::string> fileToTake(const QDropEvent* event)
{
    if (!(event->possibleActions() & Qt::CopyAction) || QApplication::activeModalWidget())
        return std::nullopt;
    return droppedFile(event->mimeData());
}

void answerDrag(QDropEvent* event, bool take)
{
    if (take) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

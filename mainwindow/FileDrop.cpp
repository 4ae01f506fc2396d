#include "mainwindow/FileDrop.h"

#include <QMimeData>
#include <QUrl>

#include <sys/stat.h>

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
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return path;
}

#include "ui/dialogs/FileColumns.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QLocale>

namespace {

// QFileSystemModel's columns.
constexpr int SizeColumn = 1;
constexpr int DateColumn = 3;

} // namespace

void FileColumns::install(QFileDialog& dialog)
{
    dialog.setProxyModel(new FileColumns(&dialog));
}

QVariant FileColumns::data(const QModelIndex& index, int role) const
{
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || (index.column() != SizeColumn && index.column() != DateColumn))
        return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    if (index.column() == DateColumn)
        return QLocale().toString(files->lastModified(source), QLocale::ShortFormat);
    // A folder's size stays as the model words it: blank.
    if (files->isDir(source))
        return QIdentityProxyModel::data(index, role);
    return QLocale().formattedDataSize(files->size(source));
}

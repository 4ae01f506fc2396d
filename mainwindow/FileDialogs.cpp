#include "mainwindow/FileDialogs.h"

#include "support/FilePath.h"
#include "ui/dialogs/FileColumns.h"

#include <QFile>
#include <QFileDialog>

namespace FileDialogs {

namespace {

// "*.*" matches every file, as users of such filters expect, also names without a dot.
QStringList nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        filters << parts[i] + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return filters;
}

QFileDialog* finished(QFileDialog* dialog, const char* filters, const QString& directory)
{
    dialog->setNameFilters(nameFilters(QString::fromUtf8(filters)));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    FileColumns::install(*dialog);
    dialog->setSizeGripEnabled(true);
    dialog->setDirectory(directory);
    return dialog;
}

} // namespace

QFileDialog* newOpenDialog(
    QWidget* parent, const QString& name, const QString& title, const char* filters, const QString& directory)
{
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    return finished(dialog, filters, directory);
}

QFileDialog* newSaveDialog(
    QWidget* parent, const QString& name, const QString& suffix, const char* filters, const QString& directory)
{
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(name);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(suffix);
    return finished(dialog, filters, directory);
}

void presetBeside(QFileDialog& dialog, const std::string& file, const char* suffix)
{
    const std::string folder = directoryPart(file);
    dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(folder)));
    dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(file.substr(folder.size()) + '.' + suffix)));
}

} // namespace FileDialogs

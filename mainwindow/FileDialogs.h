#pragma once

#include <QString>

#include <string>

class QFileDialog;
class QWidget;

// The window's file dialogs: the program's own rather than the desktop's, so that they speak Russian and show the
// columns of FileColumns everywhere. Filters are given as "description|pattern|description|pattern".
namespace FileDialogs {

[[nodiscard]] QFileDialog* newOpenDialog(
    QWidget* parent, const QString& name, const QString& title, const char* filters, const QString& directory);
[[nodiscard]] QFileDialog* newSaveDialog(
    QWidget* parent, const QString& name, const QString& suffix, const char* filters, const QString& directory);

// Starts a save dialog in the folder of file, the raw bytes of a path, with "NAME.suffix" preset.
void presetBeside(QFileDialog& dialog, const std::string& file, const char* suffix);

} // namespace FileDialogs

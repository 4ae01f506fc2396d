#include "ui/dialogs/StandardDialogs.h"

#include "support/Cp1251.h"
#include "ui/CancelMode.h"
#include "ui/dialogs/InputPromptDialog.h"
#include "ui/dialogs/TMessageForm.h"

#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

bool StandardDialogs::inputPrompt(const std::string& caption, const std::string& prompt, std::string& value)
{
    cancelMouseCapture();
    InputPromptDialog dialog(Cp1251::toQString(caption), Cp1251::toQString(prompt), Cp1251::toQString(value));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = Cp1251::fromQString(dialog.value());
    return true;
}

void StandardDialogs::notice(const std::string& message)
{
    cancelMouseCapture();
    TMessageForm form(Cp1251::toQString(message));
    form.exec();
}

void StandardDialogs::errorBox(const std::string& text)
{
    cancelMouseCapture();
    QMessageBox box(
        QMessageBox::Critical, QGuiApplication::applicationDisplayName(), Cp1251::toQString(text), QMessageBox::Ok);
    // A message may quote what the user typed; it must never be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

std::optional<std::string> StandardDialogs::execFileDialog(QFileDialog& dialog)
{
    cancelMouseCapture();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return QFile::encodeName(files.first()).toStdString();
}

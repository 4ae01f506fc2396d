#include "ui/dialogs/StandardDialogs.h"

#include "support/Cp1251.h"
#include "ui/CancelMode.h"
#include "ui/dialogs/InputPromptDialog.h"
#include "ui/dialogs/TMessageForm.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include <utility>

namespace {

// Runs a modal dialog and closes every pop-up still shown when it returns: showing the dialog closed any that
// were open before, so these are the dialog's own. A file dialog's name box completes a typed path in a pop-up
// list; accepting with Enter while the list shows closes the dialog but not the list, which then stays over
// the main window and swallows the user's next click.
int execClosingPopups(QDialog& dialog)
{
    const int result = dialog.exec();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowType() == Qt::Popup && widget->isVisible())
            widget->hide();
    }
    return result;
}

} // namespace

bool StandardDialogs::inputPrompt(
    const std::string& caption, const std::string& prompt, std::string& value, bool* exact, const std::string& hint)
{
    cancelMouseCapture();
    InputPromptDialog dialog(Cp1251::toQString(caption), Cp1251::toQString(prompt), Cp1251::toQString(value));
    dialog.setHint(Cp1251::toQString(hint));
    if (execClosingPopups(dialog) != QDialog::Accepted)
        return false;
    value = Cp1251::fromQString(dialog.value());
    if (exact)
        *exact = Cp1251::fromQStringExactly(dialog.value()).has_value();
    return true;
}

void StandardDialogs::notice(const std::string& message)
{
    cancelMouseCapture();
    TMessageForm form(Cp1251::toQString(message));
    execClosingPopups(form);
}

void StandardDialogs::errorBox(const std::string& text)
{
    cancelMouseCapture();
    QMessageBox box(
        QMessageBox::Critical, QApplication::applicationDisplayName(), Cp1251::toQString(text), QMessageBox::Ok);
    // A message may quote what the user typed; it must never be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    execClosingPopups(box);
}

std::optional<std::string> StandardDialogs::execFileDialog(QFileDialog& dialog)
{
    cancelMouseCapture();
    if (execClosingPopups(dialog) != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return std::nullopt;
    return QFile::encodeName(files.first()).toStdString();
}

namespace {
Dialogs*& replacement()
{
    static Dialogs* installed = nullptr;
    return installed;
}
} // namespace

// The one instance lives with the real dialogs, so that the interface knows nothing of what implements it.
Dialogs& dialogs()
{
    if (Dialogs* installed = replacement())
        return *installed;
    static StandardDialogs standard;
    return standard;
}

Dialogs* setDialogs(Dialogs* dialogs)
{
    return std::exchange(replacement(), dialogs);
}

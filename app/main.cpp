#include "mainwindow/CommandLine.h"
#include "mainwindow/TForm1.h"
#include "support/__Files.h"
#include "ui/AccessibilityFactory.h"
#include "ui/QtTranslations.h"
#include "ui/SharedClipboard.h"

#include <QApplication>

#include <csignal>

int main(int argc, char* argv[])
{
    // Read before the application exists, so that --help and --version answer without a display.
    const CommandLine commandLine = parseProgramArguments(argc, argv);
    if (commandLine.action == CommandLine::Action::PrintClipboard) {
        QGuiApplication app(argc, argv);
        return SharedClipboard::print();
    }
    if (commandLine.action != CommandLine::Action::Run)
        return answerWithoutWindow(commandLine);
    // A report saved to a FIFO whose reader goes away must fail as a write (an error box), not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    // The application title captions every message box; it is not appended to the window's own caption.
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    // Qt's own dialogs and menus speak Russian with the rest of the program; without the translation they stay
    // English and the program works all the same.
    installQtTranslations();
    // Before the first control exists, so that a screen reader already running meets the program's own.
    installAccessibility();
#ifdef QUILLMOOR_SETTINGS_IN_CONFIG_HOME
    // Installed for all users: the executable's folder is not the user's to write.
    TForm1 window({}, commandLine.file, UserSettingsDir());
#else
    TForm1 window({}, commandLine.file);
#endif
    window.show();
    return QApplication::exec();
}

#include "mainwindow/CommandLine.h"
#include "mainwindow/TForm1.h"
#include "support/__Files.h"
#include "ui/AccessibilityFactory.h"
#include "ui/QtTranslations.h"
#include "ui/SharedClipboard.h"

#include "mainwindow/WindowPlacement.h"

#include <QApplication>
#include <QIcon>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// While the application is made: the toolkit ends the program with an abort and a page of advice when it finds no
// display (or no plugin for the platform asked for); one line and status 2 say it instead. Other messages wait and
// are passed on once it is made.
QtMessageHandler g_toolkitHandler = nullptr;
QList<std::tuple<QtMsgType, QString>> g_waiting;

void whileStarting(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        g_waiting.append({ type, message });
        return;
    }
    Q_UNUSED(context);
    std::fputs("quillmoor: не удаётся открыть окно: нет дисплея (DISPLAY, WAYLAND_DISPLAY) или платформы "
               "для него; без окна работают --apply, --check, --revert, --diff и --help\n",
        stderr);
    ::_exit(2);
}

} // namespace

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
    g_toolkitHandler = qInstallMessageHandler(whileStarting);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_toolkitHandler);
    for (const auto& [type, message] : std::as_const(g_waiting))
        g_toolkitHandler ? g_toolkitHandler(type, {}, message)
                         : void(std::fprintf(stderr, "%s\n", qPrintable(message)));
    // The window is laid out for left-to-right Russian at fixed places: -reverse would only run its controls into
    // each other.
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);
    QIcon icon;
    for (const int size : { 16, 32, 48, 64, 128, 256 })
        icon.addFile(QStringLiteral(":/icons/quillmoor-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    preferGeometry(commandLine.windowGeometry);
    // The application title captions every message box; it is not appended to the window's own caption.
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    // Wayland's app_id: the compositor finds the installed entry, its name and icon, by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillmoor.Quillmoor"));
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

#pragma once

#include "mainwindow/TForm1.h"
#include "support/StrHF.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWindow>

#include <functional>
#include <memory>
#include <string>

// What the window's benchmarks share: a pause between two timed commands, and the window started on a file.

// Lets the work a command leaves behind run before the next is timed, as a user's pause between two commands
// does: the file dialogs' folder views, for one, catch up on the files a report or a settings write changed.
inline void settle()
{
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 3)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

inline void waitFor(const std::function<bool()>& done, const char* what)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > 5000)
            qFatal("waited in vain for %s", what);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// The window as a start shows it with file remembered from offset 0, its settings in dir, on the screen.
inline std::unique_ptr<TForm1> windowOn(const std::string& dir, const std::string& file)
{
    const std::string settings = dir + "Quillmoor.ini";
    SettingsWriteString(settings, "File", "NameFile", file);
    SettingsWriteInt(settings, "File", "StartByte", 0);
    auto form = std::make_unique<TForm1>(dir);
    form->show();
    waitFor([&] { return form->windowHandle() && form->windowHandle()->isExposed(); }, "the window");
    QCoreApplication::processEvents();
    return form;
}

// The program's start as app/main.cpp makes it, with the settings folder given on the command line, so that the
// window starts with a remembered file and loads its block before it first shows.
//
// Usage: window_startup SETTINGS_DIR/

#include "bench/FirstPaint.h"
#include "mainwindow/TForm1.h"
#include "ui/AccessibilityFactory.h"
#include "ui/QtTranslations.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    installQtTranslations();
    installAccessibility();
    TForm1 window(argc > 1 ? argv[1] : std::string());
    const FirstPaint watch(&window);
    window.show();
    return QApplication::exec();
}

#include "mainwindow/TForm1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The application title captions every message box; it is not appended to the window's own caption.
    QApplication::setApplicationName(QStringLiteral("Quillmoor"));
    TForm1 window;
    window.show();
    return QApplication::exec();
}

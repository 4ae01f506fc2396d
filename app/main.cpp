#include "mainwindow/TForm1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmoor"));
    TForm1 window;
    window.show();
    return QApplication::exec();
}

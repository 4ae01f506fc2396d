// The floor for start-up and memory: a Qt program that shows one empty window of the main window's size.

#include "bench/FirstPaint.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(567, 470);
    const FirstPaint watch(&window);
    window.show();
    return QApplication::exec();
}

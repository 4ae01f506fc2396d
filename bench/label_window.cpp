// The floor for any window that shows text: a Qt program that shows one label of the main window's size. Beside
// the bare window it pays for the font database and the first glyphs, which no program drawing a letter escapes.

#include "bench/FirstPaint.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Размер (байт) = 0"));
    window.resize(567, 470);
    const FirstPaint watch(&window);
    window.show();
    return QApplication::exec();
}

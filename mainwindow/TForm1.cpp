#include "mainwindow/TForm1.h"

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Quillmoor"));
    resize(567, 470);
}

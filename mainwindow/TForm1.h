#pragma once

#include <QMainWindow>

// The program's one main window.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
};

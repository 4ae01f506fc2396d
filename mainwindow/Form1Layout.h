#pragma once

class ByteGrid;
class SpinButton;
class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QWidget;

// The main window's controls as laid out, built in code the way a designer's form class builds them: names,
// captions, sizes, palettes, nesting and the pop-up menu, with nothing connected. The window takes them over by
// inheriting this class and connects them to its handlers.
class Form1Layout {
protected:
    void setupUi(QWidget* form);
    // The write switch's caption in the colour of its state.
    void colourWriteSwitch();

    QFrame* Panel1 = nullptr;
    SpinButton* SpinButton1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QFrame* Panel2 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QFrame* Panel3 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLineEdit* EditNameF = nullptr;
    QFrame* Panel4 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LabelSizeF = nullptr;
    QFrame* Panel5 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    ByteGrid* SG1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* N1 = nullptr;
    QAction* N01 = nullptr;

private:
    void buildFileBar(QWidget* form);
    void buildFileGroup();
    void buildSizeReadOut();
    void buildGridPanel();
    void buildMenu(QWidget* form);
};

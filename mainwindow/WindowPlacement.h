#pragma once

#include <QRect>

class QWidget;

// Where the main window opens, frame included: its designed place and size when they fit the part of the screen
// that windows may use; otherwise moved just far enough to fit, and shrunk only where moving cannot make it fit
// (a screen smaller than the window, or a large scale factor), so that all of it is always visible.
[[nodiscard]] QRect placeWindow(const QRect& designed, const QRect& available);

// Opens window where it was designed to, frame included, moved and shrunk as far as its screen needs.
void placeOnScreen(QWidget* window);

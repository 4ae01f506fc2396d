#pragma once

#include <QMargins>
#include <QRect>
#include <QString>

class QWidget;

// Where the main window opens, frame included: its designed place and size when they fit the part of the screen
// that windows may use; otherwise moved just far enough to fit, and shrunk only where moving cannot make it fit
// (a screen smaller than the window, or a large scale factor), so that all of it is always visible.
[[nodiscard]] QRect placeWindow(const QRect& designed, const QRect& available);

// Opens window where it was designed to, frame included, moved and shrunk as far as its screen needs.
void placeOnScreen(QWidget* window);
// The designed place and outer size with what an X11 geometry the user gave (-geometry, -qwindowgeometry:
// "WIDTHxHEIGHT", "+X+Y" or both; a negative place counts from the screen's far edge) says instead.
// The size is the client area's, the place the frame's corner, as X11 takes them.
[[nodiscard]] QRect givenGeometry(
    const QRect& designed, const QString& geometry, const QRect& screen, const QMargins& frame);
// Makes placeOnScreen() take such a geometry, as the user gave it on the command line.
void preferGeometry(const QString& geometry);

// Where a tool window of outer size opens beside its owner's outer rectangle: on its right when the screen has
// room there, else on its left, below it or above it, else over the owner's right edge; moved and shrunk as
// placeWindow does, to be wholly visible.
[[nodiscard]] QRect placeBeside(const QRect& owner, QSize size, const QRect& available);

// Opens window beside owner, frame included.
void placeBesideOwner(QWidget* window, const QWidget* owner);
// Shows a tool window beside its owner where the owner is now, each time, until the user moves the tool window:
// from then on it comes back where the user put it.
void showBesideOwner(QWidget* window, const QWidget* owner);

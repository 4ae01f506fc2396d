#include "mainwindow/WindowPlacement.h"

#include "ui/FramePlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

struct Span {
    int start;
    int length;
};

Span fit(Span designed, Span available)
{
    const int length = std::min(designed.length, available.length);
    // Moved back just far enough for the far edge to come inside; never before the available start.
    const int start = std::max(available.start, std::min(designed.start, available.start + available.length - length));
    return { start, length };
}

} // namespace

QRect placeWindow(const QRect& designed, const QRect& available)
{
    if (available.isEmpty())
        return designed;
    const Span x = fit({ designed.x(), designed.width() }, { available.x(), available.width() });
    const Span y = fit({ designed.y(), designed.height() }, { available.y(), available.height() });
    return { x.start, y.start, x.length, y.length };
}

void placeOnScreen(QWidget* window)
{
    FramePlacement::install(window, [window](const QMargins& frame) {
        // The designed place and outer size, frame included.
        const QRect designed(281, 104, 567, 470);
        const QScreen* where = QGuiApplication::screenAt(designed.topLeft());
        if (!where)
            where = window->screen();
        return placeWindow(designed, where ? where->availableGeometry() : QRect()).marginsRemoved(frame);
    });
}

QRect placeBeside(const QRect& owner, QSize size, const QRect& available)
{
    const bool roomOnTheRight = available.isEmpty() || owner.right() + size.width() <= available.right();
    const int left = roomOnTheRight ? owner.right() + 1 : owner.right() + 1 - size.width();
    return placeWindow({ QPoint(left, owner.top()), size }, available);
}

namespace {
const char* const PlacedBeside = "placedBesideOwner";
} // namespace

void placeBesideOwner(QWidget* window, const QWidget* owner)
{
    FramePlacement::install(window, [window, owner](const QMargins& frame) {
        const QScreen* where = owner->screen();
        return placeBeside(
            owner->frameGeometry(), window->size().grownBy(frame), where ? where->availableGeometry() : QRect())
            .marginsRemoved(frame);
    });
}

void showBesideOwner(QWidget* window, const QWidget* owner)
{
    if (!window->isVisible() && (!window->property(PlacedBeside).toBool() || FramePlacement::whereLaidOut(window)))
        placeBesideOwner(window, owner);
    window->setProperty(PlacedBeside, true);
    window->show();
}

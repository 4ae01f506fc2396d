#include "mainwindow/WindowPlacement.h"

#include "ui/FramePlacement.h"

#include <QGuiApplication>
#include <QRegularExpression>
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

QString& preferredGeometry()
{
    static QString geometry;
    return geometry;
}

} // namespace

QRect givenGeometry(const QRect& designed, const QString& geometry, const QRect& screen, const QMargins& frame)
{
    static const QRegularExpression form(QStringLiteral(R"(^(?:(\d+)x(\d+))?(?:([+-]\d+)([+-]\d+))?$)"));
    const QRegularExpressionMatch given = form.match(geometry.trimmed());
    if (!given.hasMatch())
        return designed;
    QRect rect = designed;
    if (given.hasCaptured(1))
        rect.setSize(
            QSize(given.captured(1).toInt(), given.captured(2).toInt()).expandedTo(QSize(1, 1)).grownBy(frame));
    if (given.hasCaptured(3)) {
        const int x = given.captured(3).toInt();
        const int y = given.captured(4).toInt();
        const bool fromRight = given.captured(3).startsWith(QLatin1Char('-'));
        const bool fromBottom = given.captured(4).startsWith(QLatin1Char('-'));
        rect.moveTo(fromRight ? screen.right() + 1 + x - rect.width() : screen.x() + x,
            fromBottom ? screen.bottom() + 1 + y - rect.height() : screen.y() + y);
    }
    return rect;
}

void preferGeometry(const QString& geometry)
{
    preferredGeometry() = geometry;
}

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
        QRect designed(281, 104, 567, 470);
        const QScreen* where = QGuiApplication::screenAt(designed.topLeft());
        if (!where)
            where = window->screen();
        const QRect available = where ? where->availableGeometry() : QRect();
        // A geometry the user gave wins over the designed one; still all of the window stays on the screen.
        if (!preferredGeometry().isEmpty())
            designed = givenGeometry(designed, preferredGeometry(), where ? where->geometry() : QRect(), frame);
        return placeWindow(designed, available).marginsRemoved(frame);
    });
}

QRect placeBeside(const QRect& owner, QSize size, const QRect& available)
{
    const QRect right(QPoint(owner.right() + 1, owner.top()), size);
    if (available.isEmpty() || right.right() <= available.right())
        return placeWindow(right, available);
    // A window that would cover the owner's rows hides what it tells of: any side with room comes first.
    const QRect left(QPoint(owner.left() - size.width(), owner.top()), size);
    if (left.left() >= available.left())
        return placeWindow(left, available);
    const QRect below(QPoint(owner.left(), owner.bottom() + 1), size);
    if (below.bottom() <= available.bottom())
        return placeWindow(below, available);
    const QRect above(QPoint(owner.left(), owner.top() - size.height()), size);
    if (above.top() >= available.top())
        return placeWindow(above, available);
    return placeWindow(right.translated(-size.width(), 0), available);
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

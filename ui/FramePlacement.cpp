#include "ui/FramePlacement.h"

#include "ui/EventGuard.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

namespace {

QMargins& lastFrame()
{
    static QMargins frame;
    return frame;
}

} // namespace

FramePlacement::FramePlacement(QWidget* window, Layout layout)
    : QObject(window)
    , m_window(window)
    , m_layout(std::move(layout))
{
    window->installEventFilter(this);
}

void FramePlacement::install(QWidget* window, Layout layout)
{
    auto* placement = new FramePlacement(window, std::move(layout));
    placement->layOut(expectedFrame());
}

bool FramePlacement::isRealFrame(const QMargins& frame)
{
    return frame.left() >= 0 && frame.top() >= 0 && frame.right() >= 0 && frame.bottom() >= 0 && !frame.isNull();
}

QMargins FramePlacement::expectedFrame()
{
    return lastFrame();
}

bool FramePlacement::eventFilter(QObject* watched, QEvent* event)
{
    // The frame comes with the window manager's move of the framed window, or its activation; one that is still
    // being built is passed over until the next of these.
    const QEvent::Type type = event->type();
    const bool frameNews = type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowActivate;
    if (!m_waiting || watched != m_window || !frameNews || !m_window->windowHandle())
        return false;
    const QMargins frame = m_window->windowHandle()->frameMargins();
    if (!isRealFrame(frame))
        return false;
    m_waiting = false;
    lastFrame() = frame;
    if (frame != m_frame) {
        // Queued: not from inside Qt's handling of the window manager's own geometry.
        QMetaObject::invokeMethod(
            this, [this, frame] { guarded([this, frame] { layOut(frame); }); }, Qt::QueuedConnection);
    }
    return false;
}

void FramePlacement::layOut(const QMargins& frame)
{
    m_frame = frame;
    m_window->setGeometry(m_layout(frame));
    m_window->setProperty(LaidOutAt, m_window->geometry());
}

bool FramePlacement::whereLaidOut(const QWidget* window)
{
    const QVariant laidOut = window->property(LaidOutAt);
    return laidOut.isValid() && laidOut.toRect() == window->geometry();
}

QRect centredInFrame(QSize client, const QMargins& frame, const QRect& area)
{
    const QSize outer = client.grownBy(frame);
    const QPoint corner(area.x() + (area.width() - outer.width()) / 2, area.y() + (area.height() - outer.height()) / 2);
    return { corner + QPoint(frame.left(), frame.top()), client };
}

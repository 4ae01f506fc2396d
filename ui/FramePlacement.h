#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>

#include <functional>

class QWidget;

// Places a top-level window by its outer rectangle, frame included, although a window manager frames a window
// only once it is shown and Qt learns the frame later still, at first even a half-built one (sides of minus the
// window's size while the frame is being put around it). The window is laid out once before it is shown, with
// the frame the program's windows were last given (none before the first), and once more only when the window
// manager reports a real frame other than that: never from a frame that is not one, never for any other reason.
// The client area is set by its own corner, which Qt hands to the window manager as it stands (static gravity),
// so where the frame lands never depends on what Qt knew of the frame at that moment.
class FramePlacement : public QObject {
public:
    // The client area for a frame, in device-independent pixels.
    using Layout = std::function<QRect(const QMargins& frame)>;

    // Lays the window out now and follows it until its frame is known; the placement belongs to the window.
    static void install(QWidget* window, Layout layout);

    // The window is where it was last laid out: neither the user nor anything else has moved or sized it since.
    [[nodiscard]] static bool whereLaidOut(const QWidget* window);
    // A frame as a window manager really draws one: no side negative, not all of them zero.
    [[nodiscard]] static bool isRealFrame(const QMargins& frame);
    // The frame the next window is laid out with before its own is known.
    [[nodiscard]] static QMargins expectedFrame();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr const char* LaidOutAt = "framePlacementLaidOutAt";

    FramePlacement(QWidget* window, Layout layout);
    void layOut(const QMargins& frame);

    QWidget* m_window;
    Layout m_layout;
    QMargins m_frame;
    bool m_waiting = true;
};

// The client area of a window of that size whose frame is centred in area.
[[nodiscard]] QRect centredInFrame(QSize client, const QMargins& frame, const QRect& area);

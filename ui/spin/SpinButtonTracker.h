#pragma once

#include "ui/spin/SpinButtonLayout.h"
#include "ui/spin/SpinButtonTimer.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class SpinHandler;

// Press, hold and release of the spin button's arrows, without pixels: the control translates the mouse into
// these calls and repaints when told that the look changed.
//
// A left press draws the arrow pressed and arms the repeat timer at 400 ms; every tick re-arms it at 100 ms and
// raises the arrow's event if the arrow is still drawn pressed (the pointer over it). A release over the arrow
// raises one more event, the ordinary click. An event that falls due while a handler runs (the handler let
// pending events through) waits until that handler returns, and at most one waits: a slow handler is followed
// by the next repeat at once, never by a backlog and never by a second handler inside the first. A handler's
// exception ends the press and goes on to the caller.
class SpinButtonTracker {
public:
    static constexpr int firstRepeatMs = 400;
    static constexpr int repeatMs = 100;

    void setHandler(SpinHandler* handler) { m_handler = handler; }
    // Replaces the timer; a press in progress ends. Every other call needs a timer.
    void setTimer(std::unique_ptr<SpinButtonTimer> timer);
    // Called whenever the look or the tracking changes.
    void setChangeListener(std::function<void()> listener) { m_changed = std::move(listener); }

    void press(SpinArrow arrow);
    // The pointer moved while the button is held; inside: it is over the tracked arrow.
    void move(bool inside);
    void release(bool inside);
    void tick();
    // Drops the held state without raising anything (the mouse was taken away).
    void cancel();

    [[nodiscard]] SpinArrow tracked() const { return m_tracked; }
    // The arrow drawn pressed, if any.
    [[nodiscard]] SpinArrow sunken() const { return m_drawnPressed ? m_tracked : SpinArrow::None; }

private:
    enum class Event { Repeat, Click };

    void raise(SpinArrow arrow, Event event);
    void call(SpinArrow arrow);
    void endPress();
    void changed();

    std::unique_ptr<SpinButtonTimer> m_timer;
    SpinHandler* m_handler = nullptr;
    std::function<void()> m_changed;
    SpinArrow m_tracked = SpinArrow::None;
    bool m_drawnPressed = false;
    bool m_raising = false;
    std::optional<std::pair<SpinArrow, Event>> m_waiting;
};

#include "ui/spin/SpinButtonTracker.h"

#include "ui/spin/SpinHandler.h"

void SpinButtonTracker::setTimer(std::unique_ptr<SpinButtonTimer> timer)
{
    if (m_tracked != SpinArrow::None)
        endPress();
    m_timer = std::move(timer);
}

void SpinButtonTracker::press(SpinArrow arrow)
{
    if (arrow == SpinArrow::None)
        return;
    m_tracked = arrow;
    m_drawnPressed = true;
    changed();
    try {
        m_timer->start(firstRepeatMs);
    } catch (...) {
        endPress();
        throw;
    }
}

void SpinButtonTracker::move(bool inside)
{
    if (m_tracked == SpinArrow::None || m_drawnPressed == inside)
        return;
    m_drawnPressed = inside;
    changed();
}

void SpinButtonTracker::release(bool inside)
{
    if (m_tracked == SpinArrow::None)
        return;
    const SpinArrow arrow = m_tracked;
    endPress();
    if (inside)
        raise(arrow, Event::Click);
}

void SpinButtonTracker::tick()
{
    if (m_tracked == SpinArrow::None) {
        m_timer->stop();
        return;
    }
    m_timer->start(repeatMs);
    // Ticks while the pointer is away raise nothing but go on, so coming back resumes the repeats.
    if (m_drawnPressed)
        raise(m_tracked, Event::Repeat);
}

void SpinButtonTracker::cancel()
{
    if (m_tracked != SpinArrow::None)
        endPress();
}

void SpinButtonTracker::raise(SpinArrow arrow, Event event)
{
    if (m_raising) {
        // A click is what the user did last, so it takes the one waiting place from a repeat.
        if (!m_waiting || event == Event::Click)
            m_waiting = { arrow, event };
        return;
    }
    m_raising = true;
    try {
        call(arrow);
        while (m_waiting) {
            const auto [next, kind] = *std::exchange(m_waiting, std::nullopt);
            // A waiting repeat still needs its arrow held down under the pointer.
            if (kind == Event::Click || sunken() == next)
                call(next);
        }
    } catch (...) {
        m_raising = false;
        m_waiting.reset();
        endPress();
        throw;
    }
    m_raising = false;
}

void SpinButtonTracker::call(SpinArrow arrow)
{
    if (!m_handler)
        return;
    if (arrow == SpinArrow::Up)
        m_handler->upClick();
    else
        m_handler->downClick();
}

void SpinButtonTracker::endPress()
{
    m_timer->stop();
    const bool wasHeld = m_tracked != SpinArrow::None;
    m_tracked = SpinArrow::None;
    m_drawnPressed = false;
    if (wasHeld)
        changed();
}

void SpinButtonTracker::changed()
{
    if (m_changed)
        m_changed();
}

#pragma once

#include <functional>
#include <utility>

// The spin button's repeat timer, behind an interface so that tests drive the repeats on a clock of their own
// instead of waiting for real time to pass.
class SpinButtonTimer {
public:
    virtual ~SpinButtonTimer() = default;

    // Starts the count afresh: the next timeout comes intervalMs from now, then one every intervalMs until the
    // timer is stopped or started again. Throws Exception when the platform has no timer to give.
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;

    // What a timeout calls; the owner sets it, and runs it inside the event guard.
    void setTimeout(std::function<void()> timeout) { m_timeout = std::move(timeout); }

protected:
    void timeout()
    {
        if (m_timeout)
            m_timeout();
    }

private:
    std::function<void()> m_timeout;
};

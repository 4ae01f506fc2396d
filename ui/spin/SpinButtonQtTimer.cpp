#include "ui/spin/SpinButtonQtTimer.h"

#include "support/Exception.h"

SpinButtonQtTimer::SpinButtonQtTimer()
{
    // The repeat rate is part of the control's feel; a coarse timer could stretch 100 ms by 5%.
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { timeout(); });
}

void SpinButtonQtTimer::start(int intervalMs)
{
    m_timer.start(intervalMs);
    // Qt reports a refused timer only with a warning and an id of 0.
    if (m_timer.timerId() <= 0) {
        m_timer.stop();
        throw Exception("Not enough timers available");
    }
}

void SpinButtonQtTimer::stop()
{
    m_timer.stop();
}

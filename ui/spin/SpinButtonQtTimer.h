#pragma once

#include "ui/spin/SpinButtonTimer.h"

#include <QTimer>

// The repeat timer on Qt's event loop. Qt never queues up missed timeouts: a timeout that falls due while the
// thread is busy is delivered once, as soon as the thread is free.
class SpinButtonQtTimer : public SpinButtonTimer {
public:
    SpinButtonQtTimer();

    void start(int intervalMs) override;
    void stop() override;

private:
    QTimer m_timer;
};

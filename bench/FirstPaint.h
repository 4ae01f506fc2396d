#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QObject>
#include <QWidget>

#include <cstdio>

// What the two start-up programs share: they tell their parent (bench_Startup) on stdout when the window's
// first paint has happened, then, once everything pending is done, how much memory the process holds.
class FirstPaint : public QObject {
public:
    // Watches widget, whose first paint ends the start-up.
    explicit FirstPaint(QWidget* widget) { widget->installEventFilter(this); }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            // After the paint has been flushed to the screen.
            QMetaObject::invokeMethod(
                this, [] { reportPainted(); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    static void reportPainted()
    {
        std::printf("painted\n");
        std::fflush(stdout);
        // Let everything the start left pending run, then measure.
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 300)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::printf("rss %lld\n", residentKiB());
        std::fflush(stdout);
        QCoreApplication::exit(0);
    }

    static long long residentKiB()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        return -1;
    }

    bool m_painted = false;
};

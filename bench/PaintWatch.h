#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <vector>

// When each watched widget was last painted after the key, a paint noted once it is done: the watch delivers the
// paint itself and stops the original.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(std::vector<QWidget*> widgets)
        : m_widgets(std::move(widgets))
        , m_paintedAt(m_widgets.size())
    {
        m_clock.start();
        QCoreApplication::instance()->installEventFilter(this);
    }

    void arm()
    {
        std::fill(m_paintedAt.begin(), m_paintedAt.end(), -1);
        m_keyAt = -1;
    }
    [[nodiscard]] bool allPainted() const
    {
        return std::all_of(m_paintedAt.begin(), m_paintedAt.end(), [](qint64 at) { return at >= 0; });
    }
    [[nodiscard]] double lastMs() const
    {
        return double(*std::max_element(m_paintedAt.begin(), m_paintedAt.end()) - m_keyAt) / 1e6;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_keyAt < 0 && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress))
            m_keyAt = m_clock.nsecsElapsed();
        if (event->type() != QEvent::Paint || m_delivering || m_keyAt < 0)
            return false;
        const auto it = std::find(m_widgets.begin(), m_widgets.end(), watched);
        if (it == m_widgets.end())
            return false;
        m_delivering = true;
        QCoreApplication::sendEvent(watched, event);
        m_delivering = false;
        m_paintedAt[std::size_t(it - m_widgets.begin())] = m_clock.nsecsElapsed();
        return true;
    }

private:
    std::vector<QWidget*> m_widgets;
    std::vector<qint64> m_paintedAt;
    QElapsedTimer m_clock;
    qint64 m_keyAt = -1;
    bool m_delivering = false;
};

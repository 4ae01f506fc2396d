#pragma once

#include <QObject>

#include <functional>

class QWheelEvent;

// Watches the whole application for wheel events, so that a grid with the keyboard focus gets the wheel wherever
// the pointer is in its window. The route decides: it returns true when it took the event.
class GridWheelRouter : public QObject {
    Q_OBJECT
public:
    using Route = std::function<bool(QObject* target, QWheelEvent* event)>;

    explicit GridWheelRouter(Route route, QObject* parent = nullptr);
    ~GridWheelRouter() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Route m_route;
};

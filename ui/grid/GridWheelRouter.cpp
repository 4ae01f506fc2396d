#include "ui/grid/GridWheelRouter.h"

#include "ui/EventGuard.h"

#include <QCoreApplication>
#include <QWheelEvent>

GridWheelRouter::GridWheelRouter(Route route, QObject* parent)
    : QObject(parent)
    , m_route(std::move(route))
{
    QCoreApplication::instance()->installEventFilter(this);
}

GridWheelRouter::~GridWheelRouter()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool GridWheelRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return false;
    bool taken = false;
    guarded([&] { taken = m_route(watched, static_cast<QWheelEvent*>(event)); });
    return taken;
}

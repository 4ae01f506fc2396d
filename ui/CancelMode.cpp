#include "ui/CancelMode.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <utility>

namespace {
QPointer<QWidget>& owner()
{
    static QPointer<QWidget> widget;
    return widget;
}
} // namespace

QEvent::Type cancelModeEventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void setMouseCaptureOwner(QWidget* widget)
{
    owner() = widget;
}

QWidget* mouseCaptureOwner()
{
    return owner().data();
}

void cancelMouseCapture()
{
    QPointer<QWidget> widget = std::exchange(owner(), nullptr);
    if (widget) {
        QEvent event(cancelModeEventType());
        QCoreApplication::sendEvent(widget, &event);
    }
}

#include "ui/EventGuard.h"

#include "ui/dialogs/ErrorBox.h"

#include <utility>

namespace {
EventErrorHandler& currentHandler()
{
    static EventErrorHandler handler = HandleEventError;
    return handler;
}
} // namespace

EventErrorHandler setEventErrorHandler(EventErrorHandler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}

void dispatchEventError(const Exception& error)
{
    if (currentHandler())
        currentHandler()(error);
}

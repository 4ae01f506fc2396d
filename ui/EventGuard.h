#pragma once

#include "support/Exception.h"

#include <functional>

// Every entry from Qt into the program's code (event overrides, slots, timer callbacks, menu actions) runs
// through guarded(): an Exception that escapes is handed to the top-level error handling, so no exception ever
// unwinds through Qt's frames and the program carries on with the next event.
using EventErrorHandler = std::function<void(const Exception&)>;

// Replaces the top-level error handling; returns the previous one. Tests install a recorder here.
EventErrorHandler setEventErrorHandler(EventErrorHandler handler);
void dispatchEventError(const Exception& error);

template <typename Function> void guarded(Function&& function) noexcept
{
    try {
        function();
    } catch (const Exception& error) {
        dispatchEventError(error);
    }
}

#pragma once

#include "support/Exception.h"

#include <exception>
#include <functional>

// Every entry from Qt into the program's code (event overrides, slots, timer callbacks, menu actions) runs
// through guarded(): an exception that escapes is handed to the top-level error handling, so no exception ever
// unwinds through Qt's frames and the program carries on with the next event. The program's own kinds carry
// their message; anything else (memory running out, a library's error) is shown as an Exception of its own text,
// since ending the program over one command would lose more than the command.
using EventErrorHandler = std::function<void(const Exception&)>;

// Replaces the top-level error handling; returns the previous one. Tests install a recorder here.
EventErrorHandler setEventErrorHandler(EventErrorHandler handler);
void dispatchEventError(const Exception& error);
// An exception of another kind than the program's own, dispatched as an Exception that names it.
void dispatchForeignError(const std::exception_ptr& error) noexcept;

template <typename Function> void guarded(Function&& function) noexcept
{
    try {
        function();
    } catch (const Exception& error) {
        dispatchEventError(error);
    } catch (...) {
        dispatchForeignError(std::current_exception());
    }
}

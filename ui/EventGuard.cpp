#include "ui/EventGuard.h"

#include "support/Cp1251.h"
#include "ui/dialogs/ErrorBox.h"

#include <new>
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

void dispatchForeignError(const std::exception_ptr& error) noexcept
{
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::bad_alloc&) {
            dispatchEventError(Exception(Cp1251::fromUtf8("Недостаточно памяти")));
        } catch (const std::exception& other) {
            dispatchEventError(Exception(Cp1251::fromUtf8("Непредвиденная ошибка: ") + other.what()));
        } catch (...) {
            dispatchEventError(Exception(Cp1251::fromUtf8("Непредвиденная ошибка")));
        }
    } catch (...) {
        // Showing it failed as well (memory still short): the command is dropped, and the program goes on.
    }
}

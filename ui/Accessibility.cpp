#include "ui/Accessibility.h"

#include <utility>

bool AccessibilityState::listening = false;

namespace {
bool platformListens = false;

AccessibilityEventSink& currentSink()
{
    static AccessibilityEventSink sink;
    return sink;
}

void updateListening()
{
    AccessibilityState::listening = platformListens || bool(currentSink());
}
} // namespace

void setPlatformListening(bool listening)
{
    platformListens = listening;
    updateListening();
}

void sendAccessibilityEvent(QAccessibleEvent& event)
{
    if (currentSink())
        currentSink()(event);
    else
        QAccessible::updateAccessibility(&event);
}

AccessibilityEventSink setAccessibilityEventSink(AccessibilityEventSink sink)
{
    AccessibilityEventSink previous = std::exchange(currentSink(), std::move(sink));
    updateListening();
    return previous;
}

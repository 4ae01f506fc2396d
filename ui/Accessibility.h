#pragma once

#include <functional>

class QAccessibleEvent;

// The program's own accessible interfaces (the byte grid's table, the spin button's two arrows) and the way
// their events leave the program.
//
// Events go to Qt, which hands them to the platform's screen reader bridge while one listens. Nothing is built
// or sent while nobody listens, so the grid's hot paths pay one check. The offscreen platform never listens:
// tests install a sink of their own, which then counts as a listener and receives every event in Qt's stead.

// Makes QAccessible::queryAccessibleInterface() answer with the program's interfaces and starts following
// whether a screen reader listens; the controls call it on construction, and only the first call does anything.
void installAccessibility();

namespace AccessibilityState {
// Whether a screen reader or a test's sink listens, kept up to date so that hot paths read one flag.
extern bool listening;
} // namespace AccessibilityState

[[nodiscard]] inline bool accessibilityListening()
{
    return AccessibilityState::listening;
}
void sendAccessibilityEvent(QAccessibleEvent& event);

using AccessibilityEventSink = std::function<void(QAccessibleEvent&)>;
// Replaces where events go (an empty sink restores Qt); returns the previous sink.
AccessibilityEventSink setAccessibilityEventSink(AccessibilityEventSink sink);

#pragma once

#include <QAccessible>

#include <functional>

// How the controls' changes reach assistive technology.
//
// Events go to Qt, which hands them to the platform's screen reader bridge while one listens. Nothing is built
// or sent while nobody listens, so the controls' hot paths pay one check. The offscreen platform never listens:
// tests install a sink of their own, which then counts as a listener and receives every event in Qt's stead.
//
// The program's own accessible interfaces come from one factory, installed once (ui/AccessibilityFactory.h).
// A control never names its accessible class: it reports through a small interface of its own kind, which that
// class implements and accessibleEvents() finds.

namespace AccessibilityState {
// Whether a screen reader or a test's sink listens, kept up to date so that hot paths read one flag.
extern bool listening;
} // namespace AccessibilityState

[[nodiscard]] inline bool accessibilityListening()
{
    return AccessibilityState::listening;
}
// The platform's bridge switched on or off (a screen reader started or quit).
void setPlatformListening(bool listening);
void sendAccessibilityEvent(QAccessibleEvent& event);

using AccessibilityEventSink = std::function<void(QAccessibleEvent&)>;
// Replaces where events go (an empty sink restores Qt); returns the previous sink.
AccessibilityEventSink setAccessibilityEventSink(AccessibilityEventSink sink);

// The interface through which a control reports to its accessible side, or null when the control has none of
// that kind (the factory is not installed, or nobody listens and Qt made none).
template <class Events> [[nodiscard]] Events* accessibleEvents(QObject* control)
{
    return dynamic_cast<Events*>(QAccessible::queryAccessibleInterface(control));
}

#pragma once

#include <QEvent>

class QWidget;

// Ends a held mouse state (a pressed spin arrow, a drag in the grid) before an error box shows, as the
// platform's cancel-mode message does: a widget that holds the mouse after a press registers itself, and
// cancelMouseCapture() sends it an event of cancelModeEventType(), on which it drops the held state.
[[nodiscard]] QEvent::Type cancelModeEventType();

// Called on a press that starts a held state, and with nullptr (or by a widget's destruction) when it ends.
void setMouseCaptureOwner(QWidget* owner);
[[nodiscard]] QWidget* mouseCaptureOwner();

// Sends the cancel-mode event to the owner, if any, and forgets it.
void cancelMouseCapture();

#pragma once

#include "support/Exception.h"

#include <string>

// The text the error box shows: the message with a period appended when its last byte, as an unsigned byte,
// lies above '.', so that words, numbers and Cyrillic text end in a full stop while ".", "!", ")" and blanks
// are left alone. An empty message stays empty.
[[nodiscard]] std::string errorBoxText(const std::string& message);

void ShowErrorBox(const Exception& error);

// The top-level handling of an error that escaped an event: ends any held mouse state, then shows the error
// unless it is the silent EAbort.
void HandleEventError(const Exception& error);

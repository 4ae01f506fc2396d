#pragma once

#include <string>

// Asks for one line of text. Returns true when the user accepted, and then value holds the text as typed
// (not trimmed); otherwise value is left exactly as it was.
bool InputPrompt(const std::string& caption, const std::string& prompt, std::string& value);

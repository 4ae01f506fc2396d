#pragma once

#include <string>

// Asks for one line of text. Returns true when the user accepted, and then value holds the text as typed
// (not trimmed); otherwise value is left exactly as it was.
// With exact, *exact turns false when the text held characters outside the code page (kept as '?').
// A hint, when given, tells the forms the text may take, as a tool tip.
bool InputPrompt(const std::string& caption, const std::string& prompt, std::string& value, bool* exact = nullptr,
    const std::string& hint = {});

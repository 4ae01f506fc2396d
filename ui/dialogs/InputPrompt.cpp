#include "ui/dialogs/InputPrompt.h"

#include "ui/dialogs/Dialogs.h"

bool InputPrompt(
    const std::string& caption, const std::string& prompt, std::string& value, bool* exact, const std::string& hint)
{
    return dialogs().inputPrompt(caption, prompt, value, exact, hint);
}

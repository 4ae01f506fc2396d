#include "ui/InputPrompt.h"

#include "ui/Dialogs.h"

bool InputPrompt(const std::string& caption, const std::string& prompt, std::string& value)
{
    return dialogs().inputPrompt(caption, prompt, value);
}

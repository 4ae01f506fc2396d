#include "ui/dialogs/ErrorBox.h"

#include "ui/CancelMode.h"
#include "ui/dialogs/Dialogs.h"

std::string errorBoxText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + '.';
    return message;
}

void ShowErrorBox(const Exception& error)
{
    dialogs().errorBox(errorBoxText(error.message()));
}

void HandleEventError(const Exception& error)
{
    cancelMouseCapture();
    if (dynamic_cast<const EAbort*>(&error))
        return;
    ShowErrorBox(error);
}

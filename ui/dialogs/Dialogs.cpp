#include "ui/dialogs/Dialogs.h"

#include "ui/dialogs/StandardDialogs.h"

#include <utility>

namespace {
Dialogs*& replacement()
{
    static Dialogs* installed = nullptr;
    return installed;
}
} // namespace

Dialogs& dialogs()
{
    if (Dialogs* installed = replacement())
        return *installed;
    static StandardDialogs standard;
    return standard;
}

Dialogs* setDialogs(Dialogs* dialogs)
{
    return std::exchange(replacement(), dialogs);
}

#pragma once

#include "ui/dialogs/Dialogs.h"

// The dialogs the program really shows. Each one first ends any held mouse state (a pressed spin arrow stops
// repeating), because a modal window takes the mouse away from the control that held it.
class StandardDialogs : public Dialogs {
public:
    bool inputPrompt(const std::string& caption, const std::string& prompt, std::string& value, bool* exact = nullptr,
        const std::string& hint = {}) override;
    void notice(const std::string& message) override;
    void errorBox(const std::string& text) override;
    std::optional<std::string> execFileDialog(QFileDialog& dialog) override;
};

#pragma once

#include <optional>
#include <string>

class QFileDialog;

// Every dialog the program shows goes through this interface, so that tests can script the answers and
// record what was shown without ever blocking. Texts are Windows-1251 byte strings; paths are the file
// system's own bytes.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // The input prompt: true when accepted, and then value holds the edited text; otherwise value is untouched.
    // With exact, a text holding characters outside the code page is told by *exact turning false. A hint, when
    // given, is the edit box's tool tip.
    virtual bool inputPrompt(const std::string& caption, const std::string& prompt, std::string& value,
        bool* exact = nullptr, const std::string& hint = {})
        = 0;
    // The message box with a single OK button, captioned with the application title.
    virtual void notice(const std::string& message) = 0;
    // The error box; text is final (the period rule is already applied).
    virtual void errorBox(const std::string& text) = 0;
    // Shows a configured file dialog modally: the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> execFileDialog(QFileDialog& dialog) = 0;
};

// The dialogs in use: the real ones unless a test installed others.
[[nodiscard]] Dialogs& dialogs();
// Installs replacement dialogs (nullptr restores the real ones); returns the previous replacement.
Dialogs* setDialogs(Dialogs* replacement);

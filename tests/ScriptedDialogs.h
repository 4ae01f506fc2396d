#pragma once

#include "support/Cp1251.h"
#include "ui/CancelMode.h"
#include "ui/dialogs/Dialogs.h"

#include <QFileDialog>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Serves the dialog interface in tests: answers come from queues, everything shown is recorded in order, and
// nothing ever blocks. A prompt or file dialog with no scripted answer left counts as cancelled.
// Installs itself for its lifetime.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        std::string kind; // "prompt", "notice", "error" or "file"
        std::string caption;
        std::string text; // the prompt, the message, or the error box's final text
        std::string value; // the value a prompt started with

        bool operator==(const Shown&) const = default;
    };

    ScriptedDialogs()
        : m_previous(setDialogs(this))
    {
    }
    ~ScriptedDialogs() override { setDialogs(m_previous); }
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // nullopt: the user cancelled; a text: the user typed it and accepted.
    std::deque<std::optional<std::string>> promptAnswers;
    // nullopt: the user cancelled; a path: the user chose it.
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<Shown> shown;
    // The tool tip of the last prompt.
    std::string lastHint;
    // Runs while a notice is "open", e.g. to look at the window behind it.
    std::function<void()> onNotice;

    bool inputPrompt(const std::string& caption, const std::string& prompt, std::string& value, bool* = nullptr,
        const std::string& hint = {}) override
    {
        // Like the real modal dialogs, a prompt takes the mouse from a held control.
        cancelMouseCapture();
        lastHint = hint;
        shown.push_back({ "prompt", caption, prompt, value });
        const std::optional<std::string> answer = next(promptAnswers);
        if (!answer)
            return false;
        value = *answer;
        return true;
    }

    void notice(const std::string& message) override
    {
        cancelMouseCapture();
        shown.push_back({ "notice", "Quillmoor", message, {} });
        if (onNotice)
            onNotice();
    }

    void errorBox(const std::string& text) override
    {
        cancelMouseCapture();
        shown.push_back({ "error", "Quillmoor", text, {} });
    }

    std::optional<std::string> execFileDialog(QFileDialog& dialog) override
    {
        cancelMouseCapture();
        shown.push_back({ "file", Cp1251::fromQString(dialog.windowTitle()), {}, {} });
        return next(fileAnswers);
    }

    // The texts of everything of one kind that was shown, in order.
    [[nodiscard]] std::vector<std::string> texts(const std::string& kind) const
    {
        std::vector<std::string> result;
        for (const Shown& each : shown)
            if (each.kind == kind)
                result.push_back(each.text);
        return result;
    }

private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& answers)
    {
        if (answers.empty())
            return std::nullopt;
        std::optional<std::string> answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }

    Dialogs* m_previous;
};

// Lets QCOMPARE print a difference in readable form.
inline char* toString(const ScriptedDialogs::Shown& shown)
{
    const std::string text = shown.kind + " [" + shown.caption + "] " + shown.text
        + (shown.value.empty() ? std::string() : " <" + shown.value + ">");
    return qstrdup(text.c_str());
}

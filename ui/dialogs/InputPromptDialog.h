#pragma once

#include <QDialog>

class QLineEdit;

// The dialog behind InputPrompt: a prompt, a one-line edit box of at most 255 characters that starts wholly
// selected, "OK" (Enter) and "Cancel" (Escape, and the close box). Laid out in units of the dialog font's
// average character size, in a fixed frame centred on the screen.
class InputPromptDialog : public QDialog {
    Q_OBJECT
public:
    InputPromptDialog(const QString& caption, const QString& prompt, const QString& value, QWidget* parent = nullptr);

    [[nodiscard]] QString value() const;
    // The forms the edit box takes, as the tool tip of the box and of the prompt.
    void setHint(const QString& hint);

private:
    QLineEdit* m_edit;
};

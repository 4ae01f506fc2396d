#pragma once

#include <QDialog>

#include <string>

// The message box behind ShowNotice: the application title as caption, no icon, the message (label
// "Message") wrapped within half the screen width, and one centred button "OK" that Enter and Escape also
// press. Laid out in units of the message font's average character size, in a fixed frame at the centre of
// the screen.
class TMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageForm(const QString& message, QWidget* parent = nullptr);
};

void ShowNotice(const std::string& message);

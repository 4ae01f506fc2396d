#pragma once

#include <QObject>

// Notes an Escape pressed anywhere in the application while it lives, and keeps that key from doing anything
// else: a long task that lets events run asks it whether the user wants to stop.
class EscapeWatch : public QObject {
public:
    EscapeWatch();
    [[nodiscard]] bool pressed() const { return m_pressed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_pressed = false;
};

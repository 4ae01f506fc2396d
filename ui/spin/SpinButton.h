#pragma once

#include "ui/spin/SpinButtonLayout.h"
#include "ui/spin/SpinButtonTracker.h"
#include "ui/spin/SpinHandler.h"

#include <QWidget>

#include <memory>

// Two arrow buttons stacked one above the other; the upper one raises upClick(), the lower one downClick(),
// once per click and repeatedly while held (see SpinButtonTracker). It never takes the keyboard focus, so a
// click on it leaves the focus, and an open cell editor, where they were.
class SpinButton : public QWidget, private SpinHandler {
    Q_OBJECT
public:
    explicit SpinButton(QWidget* parent = nullptr);

    void setHandler(SpinHandler* handler);
    // Raises the arrow's event once, as a click on it does: the press action of assistive technology. One that
    // comes while an event's handler runs (a handler may let pending events through) is dropped.
    void clickArrow(SpinArrow arrow);
    // Replaces the repeat timer, e.g. by one that runs on a test's clock.
    void setRepeatTimer(std::unique_ptr<SpinButtonTimer> timer);

    // The arrow drawn pressed, if any.
    [[nodiscard]] SpinArrow pressedArrow() const { return m_tracker.sunken(); }
    [[nodiscard]] QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // SpinHandler: every event, the tracker's and clickArrow()'s, passes here on its way to the handler.
    void upClick() override;
    void downClick() override;
    void raise(SpinArrow arrow);

    [[nodiscard]] bool overTrackedArrow(QPoint point) const;
    void trackerChanged();

    SpinButtonTracker m_tracker;
    SpinHandler* m_handler = nullptr;
    bool m_raising = false;
};

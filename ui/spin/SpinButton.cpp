#include "ui/spin/SpinButton.h"

#include "ui/CancelMode.h"
#include "ui/Contrast.h"
#include "ui/EventGuard.h"
#include "ui/spin/SpinButtonQtTimer.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

#include <array>

namespace {
using GlyphRows = std::array<const char*, 6>;

constexpr GlyphRows upRows { ".........", "....#....", "...###...", "..#####..", ".#######.", "........." };
constexpr GlyphRows downRows { ".........", ".#######.", "..#####..", "...###...", "....#....", "........." };

// A triangle (black, unless told) on olive; like any bitmap glyph, the colour of its lower-left pixel is made
// transparent.
QImage glyph(const GlyphRows& rows, QRgb ink = qRgb(0, 0, 0))
{
    QImage image(9, 6, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, rows[y][x] == '#' ? ink : qRgb(128, 128, 0));
    const QRgb transparent = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == transparent)
                image.setPixel(x, y, qRgba(0, 0, 0, 0));
    return image;
}

const QImage& upGlyph()
{
    static const QImage image = glyph(upRows);
    return image;
}

const QImage& downGlyph()
{
    static const QImage image = glyph(downRows);
    return image;
}

void paintArrow(QPainter& painter, const QRect& face, const QImage& image, const QPalette& palette, bool sunken)
{
    qDrawWinButton(&painter, face, palette, sunken, &palette.button());
    // Like a push button's glyph, it moves one pixel down and right while pressed.
    const int shift = sunken ? 1 : 0;
    painter.drawImage(face.left() + (face.width() - image.width() + 1) / 2 + shift,
        face.top() + (face.height() - image.height() + 1) / 2 + shift, image);
}
} // namespace

SpinButton::SpinButton(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setMinimumWidth(SpinButtonLayout::minimumWidth);
    m_tracker.setChangeListener([this] { trackerChanged(); });
    m_tracker.setHandler(this);
    setRepeatTimer(std::make_unique<SpinButtonQtTimer>());
}

void SpinButton::setHandler(SpinHandler* handler)
{
    m_handler = handler;
}

void SpinButton::clickArrow(SpinArrow arrow)
{
    guarded([&] { raise(arrow); });
}

void SpinButton::upClick()
{
    raise(SpinArrow::Up);
}

void SpinButton::downClick()
{
    raise(SpinArrow::Down);
}

void SpinButton::raise(SpinArrow arrow)
{
    // The tracker never overlaps its own events; a press action may come inside a handler of the tracker's.
    if (m_raising || !m_handler || arrow == SpinArrow::None)
        return;
    m_raising = true;
    struct Lower {
        bool& raising;
        ~Lower() { raising = false; }
    } lower { m_raising };
    if (arrow == SpinArrow::Up)
        m_handler->upClick();
    else
        m_handler->downClick();
}

void SpinButton::setRepeatTimer(std::unique_ptr<SpinButtonTimer> timer)
{
    timer->setTimeout([this] { guarded([this] { m_tracker.tick(); }); });
    m_tracker.setTimer(std::move(timer));
}

QSize SpinButton::sizeHint() const
{
    return { 20, 25 };
}

bool SpinButton::event(QEvent* event)
{
    if (event->type() == cancelModeEventType()) {
        guarded([this] { m_tracker.cancel(); });
        return true;
    }
    return QWidget::event(event);
}

void SpinButton::paintEvent(QPaintEvent*)
{
    guarded([this] {
        QPainter painter(this);
        const SpinButtonLayout layout(size());
        // The lower arrow lies above the upper one: drawn last, it owns the shared row.
        // Black glyphs vanish on a dark palette's button face; there they take the palette's button text.
        const bool dark = isDarkPalette(palette());
        const QRgb ink = palette().color(QPalette::ButtonText).rgb();
        paintArrow(
            painter, layout.upper(), dark ? glyph(upRows, ink) : upGlyph(), palette(), pressedArrow() == SpinArrow::Up);
        paintArrow(painter, layout.lower(), dark ? glyph(downRows, ink) : downGlyph(), palette(),
            pressedArrow() == SpinArrow::Down);
    });
}

void SpinButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    // A double click's second press arrives here too (QWidget's double-click handler), so it counts as well.
    guarded([&] { m_tracker.press(SpinButtonLayout(size()).arrowAt(event->position().toPoint())); });
}

void SpinButton::mouseMoveEvent(QMouseEvent* event)
{
    guarded([&] { m_tracker.move(overTrackedArrow(event->position().toPoint())); });
}

void SpinButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    guarded([&] { m_tracker.release(overTrackedArrow(event->position().toPoint())); });
}

void SpinButton::hideEvent(QHideEvent* event)
{
    guarded([this] { m_tracker.cancel(); });
    QWidget::hideEvent(event);
}

void SpinButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        guarded([this] { m_tracker.cancel(); });
    QWidget::changeEvent(event);
}

bool SpinButton::overTrackedArrow(QPoint point) const
{
    return SpinButtonLayout(size()).rect(m_tracker.tracked()).contains(point);
}

void SpinButton::trackerChanged()
{
    update();
    // The held arrow owns the mouse until released, so an error box can end the hold first.
    if (m_tracker.tracked() != SpinArrow::None)
        setMouseCaptureOwner(this);
    else if (mouseCaptureOwner() == this)
        setMouseCaptureOwner(nullptr);
}

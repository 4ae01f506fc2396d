#include "ui/Contrast.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

double luminance(const QColor& colour)
{
    const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

QColor mixed(const QColor& colour, const QColor& with, double share)
{
    const auto mix = [share](int a, int b) { return int(std::lround(a + (b - a) * share)); };
    return QColor(mix(colour.red(), with.red()), mix(colour.green(), with.green()), mix(colour.blue(), with.blue()));
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDarkPalette(const QPalette& palette)
{
    return luminance(palette.color(QPalette::Window)) < luminance(palette.color(QPalette::WindowText));
}

QColor standingOut(const QColor& colour, const QColor& background, double ratio)
{
    const QColor away = contrastRatio(Qt::black, background) >= contrastRatio(Qt::white, background)
        ? QColor(Qt::black)
        : QColor(Qt::white);
    // Twenty steps stop close enough to the least contrast that reads; black or white itself ends them.
    for (int step = 0; step < 20; ++step) {
        const QColor candidate = mixed(colour, away, step / 20.0);
        if (contrastRatio(candidate, background) >= ratio)
            return candidate;
    }
    return away;
}

QColor forPalette(const QColor& colour, const QPalette& palette)
{
    return standingOut(colour, palette.color(QPalette::Window), 4.5);
}

QColor selectionBackground(const QPalette& palette)
{
    return standingOut(palette.color(QPalette::Highlight), palette.color(QPalette::HighlightedText), 4.5);
}

QColor markBackground(const QPalette& palette)
{
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    for (double share = 0.35;; share -= 0.05) {
        const QColor mark = mixed(base, palette.color(QPalette::Highlight), std::max(share, 0.0));
        if (share <= 0 || contrastRatio(text, mark) >= 4.5)
            return mark;
    }
}

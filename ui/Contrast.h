#pragma once

#include <QColor>

class QPalette;

// Contrast as the web's accessibility guidelines measure it: from 1 (the same luminance) to 21 (black on white).
[[nodiscard]] double contrastRatio(const QColor& a, const QColor& b);
// A dark palette: its windows darker than their text.
[[nodiscard]] bool isDarkPalette(const QPalette& palette);
// The background of marked rows: the selection's colour thinned with the base, as far as the text on it keeps a
// contrast of 4.5 to 1, so that it stands apart from both in light and dark palettes.
[[nodiscard]] QColor markBackground(const QPalette& palette);
// colour itself on a light palette, where the window's colours are kept as they were drawn; on a dark one, mixed
// with white just far enough to stand out from the window by 4.5 to 1, so that a red stays a red.
[[nodiscard]] QColor forPalette(const QColor& colour, const QPalette& palette);

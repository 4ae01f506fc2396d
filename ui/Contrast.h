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
// colour moved toward black or white, whichever stands further from background, just far enough to stand out from
// it by ratio, so that a red stays a red.
[[nodiscard]] QColor standingOut(const QColor& colour, const QColor& background, double ratio);
// A text colour that reads on the palette's window, 4.5 to 1.
[[nodiscard]] QColor forPalette(const QColor& colour, const QPalette& palette);
// The background of selected cells: the palette's, darkened or lightened until their text reads on it, 4.5 to 1.
[[nodiscard]] QColor selectionBackground(const QPalette& palette);

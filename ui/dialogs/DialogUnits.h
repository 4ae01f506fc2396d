#pragma once

class QFont;

// The average character size that the dialogs are laid out in, measured in the dialog's own font: x is the
// width of "A".."Z" followed by "a".."z" divided by 52 (remainder dropped), y the height of that text.
struct DialogUnits {
    int x = 0;
    int y = 0;

    [[nodiscard]] static DialogUnits of(const QFont& font);

    // n·x/4 and n·y/8, rounded to the nearest pixel with halves going up.
    [[nodiscard]] int horizontal(int n) const { return mulDiv(n, x, 4); }
    [[nodiscard]] int vertical(int n) const { return mulDiv(n, y, 8); }

    // number × numerator ÷ denominator rounded to the nearest whole number, halves away from zero.
    [[nodiscard]] static int mulDiv(int number, int numerator, int denominator);
};

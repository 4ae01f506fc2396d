#include "ui/dialogs/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

#include <cstdint>
#include <cstdlib>

DialogUnits DialogUnits::of(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return { metrics.horizontalAdvance(alphabet) / 52, metrics.height() };
}

int DialogUnits::mulDiv(int number, int numerator, int denominator)
{
    const std::int64_t product = std::int64_t { number } * numerator;
    const std::int64_t magnitude = (std::llabs(product) * 2 + std::llabs(denominator)) / (2 * std::llabs(denominator));
    return static_cast<int>((product < 0) != (denominator < 0) ? -magnitude : magnitude);
}

#pragma once

#include <QLocale>
#include <QString>

namespace zart::monitor {

/// value × multiplier rounded to `decimals` places, halves to the even
/// neighbour (2.5 → 2, 3.5 → 4, −1.5 → −2), written in its shortest form
/// (no thousands separators, no trailing zeros, no separator for a whole
/// number, "-" for negatives) with the locale's decimal separator, then one
/// space, then `suffix`. 126 × 0.1 with 1 decimal gives "12.6 " or "12,6 ".
QString FormatValue(double value, int decimals, double multiplier, const QString& suffix,
                    const QLocale& locale = QLocale());

}  // namespace zart::monitor

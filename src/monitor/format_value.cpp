#include "monitor/format_value.h"

#include <cmath>

namespace zart::monitor {

QString FormatValue(double value, int decimals, double multiplier, const QString& suffix, const QLocale& locale) {
  double x = value * multiplier;
  const double factor = std::pow(10.0, decimals);
  if (std::isfinite(x)) {
    // Banker's rounding. The product is first cut to 9 significant places
    // past the wanted ones so that 0.1 × 125 (12.500000000000002) still
    // counts as an exact half.
    const double scaled = x * factor;
    const double cleaned = std::round(scaled * 1e6) / 1e6;
    const double floorPart = std::floor(cleaned);
    const double frac = cleaned - floorPart;
    double rounded;
    if (frac > 0.5) {
      rounded = floorPart + 1;
    } else if (frac < 0.5) {
      rounded = floorPart;
    } else {
      rounded = std::fmod(floorPart, 2.0) == 0.0 ? floorPart : floorPart + 1;
    }
    x = rounded / factor;
    if (x == 0.0) x = 0.0;  // no "-0"
  }
  QString text = QString::number(x, 'f', decimals);
  if (decimals > 0 && text.contains(QLatin1Char('.'))) {
    while (text.endsWith(QLatin1Char('0'))) text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  }
  text.replace(QLatin1Char('.'), locale.decimalPoint());
  return text + QLatin1Char(' ') + suffix;
}

}  // namespace zart::monitor

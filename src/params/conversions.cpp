#include "params/conversions.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "link/rx_store.h"
#include "monitor/format_value.h"
#include "params/box_colors.h"
#include "params/param_boxes.h"
#include "settings/windows1251.h"

namespace zart::params {

namespace {

bool IsBlank(QChar c) {
  // The blanks a classic string-to-number conversion skips.
  const char16_t u = c.unicode();
  return u == u' ' || u == u'\t' || u == u'\n' || u == u'\v' || u == u'\f' || u == u'\r';
}

bool IsDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

}  // namespace

double ParseNumber(const QString& text) {
  // The first comma counts as a decimal point and everything from the first
  // percent sign on is dropped; both are applied in place while reading,
  // without copying the text.
  const QStringView t(text);
  const qsizetype comma = t.indexOf(QLatin1Char(','));
  const qsizetype percent = t.indexOf(QLatin1Char('%'));
  const qsizetype n = percent >= 0 ? percent : t.size();
  auto at = [&](qsizetype i) { return i == comma ? QChar(QLatin1Char('.')) : t[i]; };

  // The leading decimal number only: sign, digits with at most one point,
  // an optional exponent. Unlike strtod, "inf", "nan" and hexadecimal forms
  // are not numbers here, so a box holding "nan" is written as 0 rather than
  // as whatever an infinity or NaN would clamp to.
  qsizetype i = 0;
  while (i < n && IsBlank(at(i))) ++i;
  bool negative = false;
  if (i < n && (at(i) == QLatin1Char('+') || at(i) == QLatin1Char('-'))) {
    negative = at(i) == QLatin1Char('-');
    ++i;
  }
  std::string number;  // ASCII digits, '.', 'e', exponent sign: what from_chars reads
  int digits = 0;
  long long magnitude = 0;  // rough decimal exponent of the value, for overflow vs underflow
  bool seenNonZero = false;
  bool seenPoint = false;
  for (; i < n; ++i) {
    if (IsDigit(at(i))) {
      ++digits;
      if (at(i) != QLatin1Char('0') && !seenNonZero) seenNonZero = true;
      if (seenNonZero && !seenPoint) ++magnitude;
      if (!seenNonZero && seenPoint) --magnitude;
      number.push_back(static_cast<char>(at(i).unicode()));
    } else if (at(i) == QLatin1Char('.') && !seenPoint) {
      seenPoint = true;
      number.push_back('.');
    } else {
      break;
    }
  }
  if (digits == 0) return 0.0;

  if (i < n && (at(i) == QLatin1Char('e') || at(i) == QLatin1Char('E'))) {
    qsizetype j = i + 1;
    std::string exponent = "e";
    bool expNegative = false;
    if (j < n && (at(j) == QLatin1Char('+') || at(j) == QLatin1Char('-'))) {
      expNegative = at(j) == QLatin1Char('-');
      exponent.push_back(static_cast<char>(at(j).unicode()));
      ++j;
    }
    long long expValue = 0;
    const qsizetype expStart = j;
    while (j < n && IsDigit(at(j))) {
      if (expValue < 100000) expValue = expValue * 10 + (at(j).unicode() - u'0');  // saturates
      exponent.push_back(static_cast<char>(at(j).unicode()));
      ++j;
    }
    // "12e" and "12e+" read as 12, as strtod reads them.
    if (j > expStart) {
      number += exponent;
      magnitude += expNegative ? -expValue : expValue;
    }
  }

  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large gives an infinity, too small zero, as strtod does; the
    // callers clamp the infinity to the slot's range.
    value = (seenNonZero && magnitude > 0) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (result.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

std::int32_t RoundHalfAway(double x) {
  if (std::isnan(x)) return 0;
  const double y = x > 0 ? x + 0.5 : x - 0.5;
  if (std::fabs(y) < 1) return 0;
  const double t = std::trunc(y);
  // Saturate instead of converting an out-of-range double, which is
  // undefined behaviour.
  if (t >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (t <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(t);
}

std::int32_t TextToRaw(const QString& text, std::int32_t minimum, std::int32_t maximum, double divisor) {
  // A quotient beyond the 32-bit range (a typed 1e30, or a zero divisor)
  // saturates in RoundHalfAway and then lands on the slot's limit; NaN
  // counts as 0. No message: the controller's echo shows what was stored.
  std::int32_t v = RoundHalfAway(ParseNumber(text) / divisor);
  if (v < minimum)
    v = minimum;
  else if (v > maximum)
    v = maximum;
  return v;
}

std::int32_t BytesToUnsigned(const link::RxStore& rx, int offset, int n) {
  if (n < 0) n = 0;
  if (n > 4) n = 4;
  std::uint32_t u = 0;
  for (int i = 0; i < n; ++i) u = (u << 8) | static_cast<std::uint32_t>(rx[offset + i] & 0xFF);
  return static_cast<std::int32_t>(u);  // four bytes above 0x7FFFFFFF wrap, as a 32-bit value must
}

std::int32_t BytesToSigned(const link::RxStore& rx, int offset, int n) {
  if (n < 0) n = 0;
  if (n > 4) n = 4;
  const std::int64_t u = static_cast<std::uint32_t>(BytesToUnsigned(rx, offset, n));
  const std::int64_t span = std::int64_t{1} << (8 * n);
  return static_cast<std::int32_t>(u > span / 2 - 1 ? u - span : u);
}

QString FormatParamValue(std::int32_t raw, double scale, const QLocale& locale) {
  return monitor::FormatValue(static_cast<double>(raw), 3, scale, QString(), locale);
}

void ShowParamValue(ParamBoxes& boxes, int slot, std::int32_t raw, double scale) {
  boxes.SetText(slot, FormatParamValue(raw, scale));
  boxes.SetColor(slot, COLOR_FROM_EEPROM);
}

void ShowParamText(ParamBoxes& boxes, int slot, const link::RxStore& rx, int offset, int n) {
  QByteArray bytes;
  bytes.reserve(n > 0 ? n : 0);
  for (int i = 0; i < n; ++i) {
    const int b = rx[offset + i];
    if (b == 0) break;  // the zero padding ends the visible text
    bytes.append(static_cast<char>(b));
  }
  boxes.SetText(slot, settings::DecodeWindows1251(bytes));
  boxes.SetColor(slot, COLOR_FROM_EEPROM);
}

}  // namespace zart::params

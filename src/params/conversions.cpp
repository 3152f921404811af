#include "params/conversions.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "monitor/format_value.h"
#include "settings/windows1251.h"

namespace zart::params {

namespace {

bool IsBlank(QChar c) {
  // The blanks a classic string-to-number conversion skips.
  const char16_t u = c.unicode();
  return u == u' ' || u == u'\t' || u == u'\n' || u == u'\v' || u == u'\f' || u == u'\r';
}

bool IsDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }

/// A box's text as a number is read from it: the first comma counts as a
/// decimal point and everything from the first percent sign on is dropped,
/// both applied in place while reading, without copying the text.
class NumberText {
 public:
  explicit NumberText(const QString& text)
      : m_text(text), m_comma(m_text.indexOf(QLatin1Char(','))), m_size(m_text.indexOf(QLatin1Char('%'))) {
    if (m_size < 0) m_size = m_text.size();
  }
  qsizetype size() const { return m_size; }
  QChar operator()(qsizetype i) const { return i == m_comma ? QChar(QLatin1Char('.')) : m_text[i]; }
  qsizetype SkipBlanks(qsizetype i) const {
    while (i < m_size && IsBlank((*this)(i))) ++i;
    return i;
  }

 private:
  QStringView m_text;
  qsizetype m_comma;
  qsizetype m_size;
};

}  // namespace

double ParseNumber(const QString& text) {
  const NumberText at(text);
  const qsizetype n = at.size();

  // The leading decimal number only: sign, digits with at most one point,
  // an optional exponent. Unlike strtod, "inf", "nan" and hexadecimal forms
  // are not numbers here, so a box holding "nan" is written as 0 rather than
  // as whatever an infinity or NaN would clamp to.
  qsizetype i = at.SkipBlanks(0);
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

std::int32_t BytesToUnsigned(std::span<const std::uint8_t> bytes) {
  std::uint32_t u = 0;
  for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) u = (u << 8) | bytes[i];
  return static_cast<std::int32_t>(u);  // four bytes above 0x7FFFFFFF wrap, as a 32-bit value must
}

std::int32_t BytesToSigned(std::span<const std::uint8_t> bytes) {
  const std::size_t n = bytes.size() < 4 ? bytes.size() : 4;
  const std::int64_t u = static_cast<std::uint32_t>(BytesToUnsigned(bytes.first(n)));
  if (n == 0) return 0;
  const std::int64_t span = std::int64_t{1} << (8 * n);
  return static_cast<std::int32_t>(u > span / 2 - 1 ? u - span : u);
}

QString FormatParamValue(std::int32_t raw, double scale, const QLocale& locale) {
  return monitor::FormatValue(static_cast<double>(raw), 3, scale, QString(), locale);
}

QString SlotTextOfBytes(int slot, std::span<const std::uint8_t> bytes, const QLocale& locale) {
  if (slot < 0 || slot >= kSlotCount) return QString();
  if (kCatalogue.IsText(slot)) {
    QByteArray text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::uint8_t b : bytes) {
      if (b == 0) break;  // the zero padding ends the visible text
      text.append(static_cast<char>(b));
    }
    return settings::DecodeWindows1251(text);
  }
  const std::int32_t raw = kCatalogue.IsSigned(slot) ? BytesToSigned(bytes) : BytesToUnsigned(bytes);
  return FormatParamValue(raw, kCatalogue.Scale(slot), locale);
}

std::optional<double> ReadNumber(const QString& text) {
  // The same reading as ParseNumber, then a check that nothing but blanks
  // stands around the number: "12abc" or "1.2.3" is not what anyone meant
  // to write to an engine controller.
  const NumberText at(text);
  const qsizetype n = at.size();
  qsizetype i = at.SkipBlanks(0);
  if (i < n && (at(i) == QLatin1Char('+') || at(i) == QLatin1Char('-'))) ++i;
  int digits = 0;
  bool point = false;
  for (; i < n; ++i) {
    if (IsDigit(at(i))) {
      ++digits;
    } else if (at(i) == QLatin1Char('.') && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (at(i) == QLatin1Char('e') || at(i) == QLatin1Char('E'))) {
    qsizetype j = i + 1;
    if (j < n && (at(j) == QLatin1Char('+') || at(j) == QLatin1Char('-'))) ++j;
    const qsizetype expStart = j;
    while (j < n && IsDigit(at(j))) ++j;
    if (j == expStart) return std::nullopt;
    i = j;
  }
  if (at.SkipBlanks(i) != n) return std::nullopt;
  return ParseNumber(text);
}

RawRange WritableRange(int slot) {
  if (slot == SLOT_MODBUS_ADDRESS) return {0, 127};
  return kCatalogue.Range(slot);
}

SlotEncoding EncodeSlotText(int slot, const QString& text) {
  const std::optional<double> number = ReadNumber(text);
  if (!number) return {TextProblem::not_a_number, 0};
  const double quotient = *number / kCatalogue.Scale(slot);
  const RawRange range = WritableRange(slot);
  // Compared before rounding to 32 bits, so that 1e30 is out of range rather
  // than saturated onto the limit.
  if (!(quotient >= static_cast<double>(range.minimum) - 0.5) || !(quotient < static_cast<double>(range.maximum) + 0.5))
    return {TextProblem::out_of_range, 0};
  const std::int32_t raw = RoundHalfAway(quotient);
  if (raw < range.minimum || raw > range.maximum) return {TextProblem::out_of_range, 0};
  return {TextProblem::none, raw};
}

QString RangeText(int slot, const QLocale& locale) {
  const RawRange range = WritableRange(slot);
  const double scale = kCatalogue.Scale(slot);
  return FormatParamValue(range.minimum, scale, locale).trimmed() + QStringLiteral(u" … ") +
         FormatParamValue(range.maximum, scale, locale).trimmed();
}

QString ProblemText(int slot, const QString& text, TextProblem problem, const QLocale& locale) {
  const QString shown = QStringLiteral(u"«") + text.trimmed() + QStringLiteral(u"»");
  switch (problem) {
    case TextProblem::none:
      return QString();
    case TextProblem::not_a_number:
      return shown + QStringLiteral(u" — не число; допустимо ") + RangeText(slot, locale);
    case TextProblem::out_of_range:
      return shown + QStringLiteral(u" вне диапазона ") + RangeText(slot, locale);
    case TextProblem::initial:
      return shown + QStringLiteral(u" — значение не прочитано, не загружено и не введено");
  }
  return QString();
}

}  // namespace zart::params

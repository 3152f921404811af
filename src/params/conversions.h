#pragma once

#include <cstdint>

#include <QLocale>
#include <QString>

namespace zart::link {
class RxStore;
}

namespace zart::params {

class ParamBoxes;

/// The number a user typed: the first comma counts as a decimal point,
/// everything from a "%" on is dropped, then the leading decimal number is
/// read like C's strtod in the C locale (blanks, sign, digits, one point,
/// exponent), whatever the user's locale; no number gives 0. Unlike strtod,
/// "inf", "nan" and hexadecimal forms are not numbers (they give 0), so a
/// box holding such a text is never written as garbage. Only a decimal
/// number too large for a double gives ±infinity, which TextToRaw clamps.
double ParseNumber(const QString& text);

/// Halves away from zero (2.5 → 3, −2.5 → −3); results beyond the 32-bit
/// range, infinities and NaN saturate (NaN gives 0) instead of overflowing.
std::int32_t RoundHalfAway(double x);

/// RoundHalfAway(ParseNumber(text) ÷ divisor) clamped to minimum..maximum.
std::int32_t TextToRaw(const QString& text, std::int32_t minimum, std::int32_t maximum, double divisor);

/// n bytes of the receive store at `offset`, most significant first.
std::int32_t BytesToUnsigned(const link::RxStore& rx, int offset, int n);
std::int32_t BytesToSigned(const link::RxStore& rx, int offset, int n);

/// raw × scale to three decimals, ties to even, locale separator, one space.
QString FormatParamValue(std::int32_t raw, double scale, const QLocale& locale = QLocale());

/// Shows a number in box `slot` and colours it COLOR_FROM_EEPROM.
void ShowParamValue(ParamBoxes& boxes, int slot, std::int32_t raw, double scale);
/// Shows n bytes of the receive store at `offset` as Windows-1251 text (a
/// zero byte ends the visible text) and colours the box COLOR_FROM_EEPROM.
void ShowParamText(ParamBoxes& boxes, int slot, const link::RxStore& rx, int offset, int n);

}  // namespace zart::params

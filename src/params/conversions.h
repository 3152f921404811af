#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include <QLocale>
#include <QString>

#include "params/catalogue.h"

namespace zart::params {

/// The number a user typed: the first comma counts as a decimal point,
/// everything from a "%" on is dropped, then the leading decimal number is
/// read like C's strtod in the C locale (blanks, sign, digits, one point,
/// exponent), whatever the user's locale; no number gives 0. Unlike strtod,
/// "inf", "nan" and hexadecimal forms are not numbers (they give 0). Only a
/// decimal number too large for a double gives ±infinity.
double ParseNumber(const QString& text);

/// The number a text holds when it holds nothing else: ParseNumber's rules,
/// but the number must be there and only blanks may follow it ("12,5",
/// "1500 ", "50 %"). Empty for "abc", "", "-", "12abc".
std::optional<double> ReadNumber(const QString& text);

/// Halves away from zero (2.5 → 3, −2.5 → −3); results beyond the 32-bit
/// range, infinities and NaN saturate (NaN gives 0) instead of overflowing.
std::int32_t RoundHalfAway(double x);

/// RoundHalfAway(ParseNumber(text) ÷ divisor) clamped to minimum..maximum.
std::int32_t TextToRaw(const QString& text, std::int32_t minimum, std::int32_t maximum, double divisor);

/// n = bytes.size() (at most 4) bytes, most significant first.
std::int32_t BytesToUnsigned(std::span<const std::uint8_t> bytes);
/// The same in two's complement over the n bytes.
std::int32_t BytesToSigned(std::span<const std::uint8_t> bytes);

/// raw × scale to three decimals, ties to even, locale separator, one space.
QString FormatParamValue(std::int32_t raw, double scale, const QLocale& locale = QLocale());

/// The text a box shows for these bytes of the slot: the scaled number with
/// one space (ShowParamValue), or the Windows-1251 text up to its first zero
/// byte (ShowParamText).
QString SlotTextOfBytes(int slot, std::span<const std::uint8_t> bytes, const QLocale& locale = QLocale());

/// Why a box's text cannot go to the controller.
enum class TextProblem : std::uint8_t {
  none,
  not_a_number,  ///< "abc", empty, "-"
  out_of_range,  ///< a number the slot cannot hold, even rounded to its step
  initial,       ///< the text the box was created with: nothing was read, loaded or typed
};

/// The raw value of a slot's text, or why it has none.
struct SlotEncoding {
  TextProblem problem = TextProblem::none;
  std::int32_t raw = 0;
  bool ok() const { return problem == TextProblem::none; }
};

/// The raw range the tool writes to a slot: the catalogue's, except the
/// controller's own address, 0..127.
RawRange WritableRange(int slot);

/// A numeric slot's text as its raw value: a number that only rounds to the
/// slot's step is taken rounded (1510 in a ×20 slot is 76); a text that is
/// no number, or a value outside WritableRange, is refused, never clamped.
SlotEncoding EncodeSlotText(int slot, const QString& text);

/// The range a slot takes in the units its box shows: "0 … 5100",
/// "-3276,8 … 3276,7".
QString RangeText(int slot, const QLocale& locale = QLocale());

/// What the user is told about a refused text: "«abc» — не число; допустимо
/// 0 … 5100", "«99999» вне диапазона 0 … 5100".
QString ProblemText(int slot, const QString& text, TextProblem problem, const QLocale& locale = QLocale());

}  // namespace zart::params

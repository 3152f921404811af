// Typed text through ParseNumber, TextToRaw and EncodeSlotText for every kind
// of slot: nothing outside a slot's range is ever produced.
#include <cstddef>
#include <cstdint>

#include <QString>

#include "params/catalogue.h"
#include "params/conversions.h"
#include "settings/windows1251.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  (void)zart::params::ParseNumber(text);
  struct Kind {
    std::int32_t min, max;
  };
  static const Kind kinds[] = {{0, 255}, {-128, 127}, {0, 65535}, {-32768, 32767}, {0, 127}};
  static const double scales[] = {65535, 20, 10, 6, 1, 0.5, 0.1, -1, -0.1};
  for (const Kind& k : kinds) {
    for (double s : scales) {
      const double divisor = s < 0 ? -s : s;
      const std::int32_t v = zart::params::TextToRaw(text, k.min, k.max, divisor);
      if (v < k.min || v > k.max) __builtin_trap();
    }
  }
  using zart::params::kCatalogue;
  for (int slot : {2, 10, 23, 37, 41, 305, 1016}) {
    const zart::params::SlotEncoding e = zart::params::EncodeSlotText(slot, text);
    const zart::params::RawRange range = zart::params::WritableRange(slot);
    if (e.ok() && (e.raw < range.minimum || e.raw > range.maximum)) __builtin_trap();
    if (e.ok() != zart::params::ReadNumber(text).has_value() && e.problem == zart::params::TextProblem::not_a_number)
      __builtin_trap();
  }
  const QByteArray encoded = zart::settings::EncodeWindows1251(text);
  if (encoded.size() != zart::settings::DecodeWindows1251(encoded).size()) __builtin_trap();
  return 0;
}

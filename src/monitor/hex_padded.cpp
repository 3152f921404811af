#include "monitor/hex_padded.h"

namespace zart::monitor {

QString HexPadded(std::int64_t value, int digits) {
  // Reduce to 32 bits the way the controller's words are meant: a negative
  // number shows as its two's-complement bit pattern.
  const auto bits = static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) & 0xFFFFFFFFu);
  return QString::number(bits, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

}  // namespace zart::monitor

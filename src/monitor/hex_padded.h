#pragma once

#include <cstdint>

#include <QString>

namespace zart::monitor {

/// `value` in upper-case hexadecimal without prefix, padded on the left with
/// "0" to `digits` digits (never cut). Values of 2^31 and above are taken as
/// their 32-bit two's-complement form first, so the text always fits eight
/// digits: 0x1A with 4 digits gives "001A", -1 gives "FFFFFFFF".
QString HexPadded(std::int64_t value, int digits);

}  // namespace zart::monitor

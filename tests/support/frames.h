#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/crc.h"
#include "link/rx_store.h"

namespace zart::testing {

/// A frame as it goes on the line: the body, then the CRC low and high byte.
inline std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> body) {
  const link::CrcBytes crc = link::CrcWireBytes(link::Crc16Modbus(body, static_cast<int>(body.size()) - 1));
  body.push_back(crc.low);
  body.push_back(crc.high);
  return body;
}

/// A receive store holding `bytes` from its start, as one exchange gathers them.
inline link::RxStore StoreOf(std::span<const std::uint8_t> bytes) {
  link::RxStore rx;
  for (std::size_t i = 0; i < bytes.size(); ++i) rx.Store(static_cast<int>(i), bytes[i]);
  return rx;
}

/// The bytes of hex text such as "07 04 FA"; blanks are ignored.
inline std::vector<std::uint8_t> FromHex(std::string_view text) {
  std::vector<std::uint8_t> out;
  int nibbles = 0, value = 0;
  for (const char c : text) {
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (d < 0) continue;
    value = value * 16 + d;
    if (++nibbles % 2 == 0) out.push_back(static_cast<std::uint8_t>(std::exchange(value, 0)));
  }
  return out;
}

/// "07 04 FA": upper case, one blank between bytes.
inline std::string ToHex(std::span<const std::uint8_t> bytes) {
  std::string s;
  for (const std::uint8_t b : bytes) s += (s.empty() ? "" : " ") + std::string{"0123456789ABCDEF"[b >> 4], "0123456789ABCDEF"[b & 15]};
  return s;
}

}  // namespace zart::testing

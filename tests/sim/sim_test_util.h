#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "controller.h"

namespace zart::sim::testing {

using Bytes = std::vector<std::uint8_t>;

/// Bytes from a list of ints, as written in the protocol tables.
inline Bytes B(std::initializer_list<int> v) {
  Bytes out;
  for (int x : v) out.push_back(static_cast<std::uint8_t>(x));
  return out;
}

/// The same with the CRC appended.
inline Bytes Framed(std::initializer_list<int> v) {
  Bytes out = B(v);
  AppendCrc(out);
  return out;
}

inline std::string Hex(const Bytes& b) {
  std::string s;
  static const char* digits = "0123456789ABCDEF";
  for (std::uint8_t x : b) {
    if (!s.empty()) s += ' ';
    s += digits[x >> 4];
    s += digits[x & 15];
  }
  return s;
}

}  // namespace zart::sim::testing

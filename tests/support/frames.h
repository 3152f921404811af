#pragma once

#include <cstdint>
#include <vector>

#include "link/crc.h"

namespace zart::testing {

/// A frame as it goes on the line: the body, then the CRC low and high byte.
inline std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> body) {
  const link::CrcBytes crc = link::CrcWireBytes(link::Crc16Modbus(body, static_cast<int>(body.size()) - 1));
  body.push_back(crc.low);
  body.push_back(crc.high);
  return body;
}

}  // namespace zart::testing

#include "link/crc.h"

namespace zart::link {
namespace {

template <typename T>
std::uint16_t crcOver(std::span<const T> bytes, int lastIndex) {
  std::uint16_t crc = 0xFFFF;
  for (int i = 0; i <= lastIndex && i < static_cast<int>(bytes.size()); ++i) {
    crc ^= static_cast<std::uint16_t>(static_cast<unsigned>(bytes[static_cast<std::size_t>(i)]) & 0xFFu);
    for (int bit = 0; bit < 8; ++bit) {
      if (crc & 1u) {
        crc = static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u);
      } else {
        crc = static_cast<std::uint16_t>(crc >> 1);
      }
    }
  }
  return crc;
}

}  // namespace

std::uint16_t Crc16Modbus(std::span<const std::uint8_t> bytes, int lastIndex) {
  return crcOver(bytes, lastIndex);
}

std::uint16_t Crc16Modbus(std::span<const int> bytes, int lastIndex) {
  return crcOver(bytes, lastIndex);
}

CrcBytes CrcWireBytes(std::uint16_t crc) {
  return {static_cast<std::uint8_t>(crc & 0xFFu), static_cast<std::uint8_t>(crc >> 8)};
}

std::uint16_t CrcFromWire(int low, int high) {
  return static_cast<std::uint16_t>(((high & 0xFF) << 8) | (low & 0xFF));
}

}  // namespace zart::link

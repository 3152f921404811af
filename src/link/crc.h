#pragma once

#include <cstdint>
#include <span>

namespace zart::link {

/// CRC-16/MODBUS (poly 0xA001 reflected, start 0xFFFF, no final XOR) over
/// bytes[0..lastIndex] inclusive. The check value over "123456789" is 0x4B37.
std::uint16_t Crc16Modbus(std::span<const std::uint8_t> bytes, int lastIndex);

/// Same, taking the bytes as ints 0..255 (the receive store's cells).
std::uint16_t Crc16Modbus(std::span<const int> bytes, int lastIndex);

/// The CRC as it goes on the wire: low byte first, then high byte. This is
/// the one place that knows the CRC's byte order.
struct CrcBytes {
  std::uint8_t low;
  std::uint8_t high;
};
CrcBytes CrcWireBytes(std::uint16_t crc);

/// The CRC a frame carries in its last two bytes (`low`, `high` as received).
std::uint16_t CrcFromWire(int low, int high);

}  // namespace zart::link

#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zart::sim {

/// The controller's 4096-byte parameter EEPROM. Addresses 0..255 belong to
/// the controller's firmware and are not reachable over the link; the
/// parameters live in 256..4095, every multi-byte number most significant
/// byte first, texts as Windows-1251 bytes padded with zero bytes.
class EepromImage {
 public:
  static constexpr int kSize = 4096;
  /// First address the link functions 100/101 may touch.
  static constexpr int kFirstLinkAddress = 256;
  /// EEPROM byte that holds the controller's own Modbus slave address.
  static constexpr int kSlaveAddressByte = 279;
  /// EEPROM byte that holds the object type (0 ДГУ, 1 ДРА).
  static constexpr int kObjectTypeByte = 257;
  /// EEPROM byte of the working speed, raw value x 20 rev/min.
  static constexpr int kWorkingSpeedByte = 260;

  /// An erased image (every byte 0xFF).
  EepromImage();

  /// `erased` everywhere (0xFF, as in a blank EEPROM), then plausible
  /// settings in every byte that belongs to a parameter, for the given
  /// object type (0 or 1).
  static EepromImage Defaults(int objectType, std::uint8_t erased = 0xFF);

  /// Byte at `address` (0..4095); other addresses read as 0xFF.
  std::uint8_t At(int address) const;
  /// Stores one byte; addresses outside 0..4095 are ignored.
  void Set(int address, std::uint8_t value);
  /// Stores a big-endian 16-bit value at address, address + 1.
  void SetU16(int address, std::uint16_t value);
  /// Stores `text` (UTF-16) as Windows-1251 in `size` bytes, padded with
  /// zero bytes or cut to size.
  void SetText(int address, std::u16string_view text, int size);

  /// All 4096 bytes.
  std::span<const std::uint8_t> Bytes() const { return m_bytes; }

  /// Loads exactly 4096 bytes from `path`. Returns false (image unchanged)
  /// when the file is missing, unreadable or of another size; `error` then
  /// tells why.
  bool Load(const std::string& path, std::string& error);
  /// Writes the 4096 bytes to `path` through a temporary file renamed into
  /// place, so an interrupted save never leaves half an image behind.
  bool Save(const std::string& path, std::string& error) const;

 private:
  std::array<std::uint8_t, kSize> m_bytes{};
};

/// Windows-1251 byte for one UTF-16 character: ASCII as is, Cyrillic
/// А..я, Ё, ё, and "?" for anything else, so a text keeps one byte per
/// character.
std::uint8_t ToWindows1251(char16_t c);

}  // namespace zart::sim

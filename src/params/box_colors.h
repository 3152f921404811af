#pragma once

#include <cstdint>

namespace zart::params {

/// Background colours of a parameter box, 0xRRGGBB. They tell the user where
/// the box's value came from.
inline constexpr std::uint32_t COLOR_FROM_EEPROM = 0x00FF00;
inline constexpr std::uint32_t COLOR_NOT_READ = 0xFF0000;
inline constexpr std::uint32_t COLOR_FROM_FILE = 0x4BAFFF;
inline constexpr std::uint32_t COLOR_MISSING_IN_FILE = 0xFFFF80;
inline constexpr std::uint32_t COLOR_MATCHES_FILE = 0xC0FFC0;
inline constexpr std::uint32_t COLOR_DIFFERS_FROM_FILE = 0xFF8080;
inline constexpr std::uint32_t COLOR_CHANGED = 0xFFFFFF;

}  // namespace zart::params

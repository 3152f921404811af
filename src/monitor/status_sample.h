#pragma once

#include <array>
#include <cstdint>

#include "link/rx_store.h"

namespace zart::monitor {

/// The values of one status reply that the trends, the CSV log and the
/// event log follow, raw as the controller sends them.
struct StatusSample {
  int objectType = 0;            ///< register 302: 0 "ДГУ", 1 "ДРА", other values as sent
  int engineRpm = 0;             ///< register 303, rev/min
  int shaftRpm = 0;              ///< register 304, rev/min
  int batteryDecivolts = 0;      ///< register 305, signed, 0.1 V
  int lamps = 0;                 ///< register 392, lamps in bits 0..10
  std::array<std::uint16_t, 16> signalWords{};  ///< registers 397..412, signal 16·j + b in bit b of word j
  int serviceMinutes = 0;        ///< register 394, signed; negative: overdue
  std::int64_t runningMinutes = 0;  ///< registers 395 (high word) and 396
  std::array<std::uint16_t, 2> faultWords{};  ///< registers 423 and 424
  bool blocked = false;          ///< bit 15 of register 300: control over Modbus blocked

  /// Signal `n` (0..255) is on.
  bool Signal(int n) const { return (signalWords[static_cast<std::size_t>(n >> 4)] >> (n & 15)) & 1U; }

  /// Reads a status reply at its fixed offsets, as the main window does.
  static StatusSample FromStatusReply(const link::RxStore& rx);
};

}  // namespace zart::monitor

#pragma once

#include <QString>

#include "link/rx_store.h"

namespace zart::monitor {

/// The controller's status block, input registers 300..424, as the idle
/// status request reads it. The one map of it in the tool.
namespace status_registers {

inline constexpr int kFirst = 300;
inline constexpr int kProtocolVersion = 300;  ///< high byte major, low byte minor; bit 15: Modbus control blocked
inline constexpr int kSoftwareVersion = 301;  ///< high byte major, low byte minor
inline constexpr int kObjectType = 302;       ///< 0 "ДГУ", 1 "ДРА"
inline constexpr int kEngineSpeed = 303;      ///< rev/min
inline constexpr int kShaftSpeed = 304;       ///< rev/min
inline constexpr int kBattery = 305;          ///< signed, 0.1 V
inline constexpr int kLamps = 392;            ///< lamps in bits 0..10
inline constexpr int kServiceLeft = 394;      ///< signed minutes; negative: overdue
inline constexpr int kRunningHigh = 395;      ///< total running minutes, high word
inline constexpr int kRunningLow = 396;       ///< and low word
inline constexpr int kFirstSignals = 397;     ///< signal 16·j + b in bit b of register 397 + j
inline constexpr int kSignalWords = 16;
inline constexpr int kFirstFault = 423;       ///< fault words 0 and 1: 423, 424
inline constexpr int kFaultWordsRead = 2;

inline constexpr int kBlockedBit = 0x8000;
inline constexpr int kLampBits = 0x07FF;

/// Object types the controller reports in register 302.
inline constexpr int kObjectDgu = 0;  ///< diesel generator set
inline constexpr int kObjectDra = 1;  ///< propulsion unit with gearbox and shaft

/// Register r of the status block as it lies in the receive store.
inline int U16(const link::RxStore& rx, int r) { return rx.ReadU16(link::RxStore::RegOffset(r - kFirst)); }
inline int S16(const link::RxStore& rx, int r) { return rx.ReadS16(link::RxStore::RegOffset(r - kFirst)); }

/// "ДГУ" for 0, "ДРА" for 1, an empty string for any other type.
inline QString ObjectTypeName(int type) {
  if (type == kObjectDgu) return QStringLiteral(u"ДГУ");
  if (type == kObjectDra) return QStringLiteral(u"ДРА");
  return QString();
}

}  // namespace status_registers
}  // namespace zart::monitor

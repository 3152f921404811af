#include "monitor/status_sample.h"

#include "monitor/status_registers.h"

namespace zart::monitor {

StatusSample StatusSample::FromStatusReply(const link::RxStore& rx) {
  namespace reg = status_registers;
  StatusSample s;
  s.objectType = reg::U16(rx, reg::kObjectType);
  s.engineRpm = reg::U16(rx, reg::kEngineSpeed);
  s.shaftRpm = reg::U16(rx, reg::kShaftSpeed);
  s.batteryDecivolts = reg::S16(rx, reg::kBattery);
  s.lamps = reg::U16(rx, reg::kLamps) & reg::kLampBits;
  for (int j = 0; j < reg::kSignalWords; ++j)
    s.signalWords[static_cast<std::size_t>(j)] = static_cast<std::uint16_t>(reg::U16(rx, reg::kFirstSignals + j));
  s.serviceMinutes = reg::S16(rx, reg::kServiceLeft);
  s.runningMinutes = std::int64_t{reg::U16(rx, reg::kRunningHigh)} * 65536 + reg::U16(rx, reg::kRunningLow);
  s.faultWords = {static_cast<std::uint16_t>(reg::U16(rx, reg::kFirstFault)),
                  static_cast<std::uint16_t>(reg::U16(rx, reg::kFirstFault + 1))};
  s.blocked = (reg::U16(rx, reg::kProtocolVersion) & reg::kBlockedBit) != 0;
  return s;
}

}  // namespace zart::monitor

#include "monitor/status_sample.h"

#include "monitor/status_decoder.h"

namespace zart::monitor {

StatusSample StatusSample::FromStatusReply(const link::RxStore& rx) {
  StatusSample s;
  s.objectType = StatusDecoder::RegisterU16(rx, 302);
  s.engineRpm = StatusDecoder::RegisterU16(rx, 303);
  s.shaftRpm = StatusDecoder::RegisterU16(rx, 304);
  s.batteryDecivolts = StatusDecoder::RegisterS16(rx, 305);
  s.lamps = StatusDecoder::RegisterU16(rx, 392) & 0x07FF;
  for (int j = 0; j < 16; ++j)
    s.signalWords[static_cast<std::size_t>(j)] = static_cast<std::uint16_t>(StatusDecoder::RegisterU16(rx, 397 + j));
  s.serviceMinutes = StatusDecoder::RegisterS16(rx, 394);
  s.runningMinutes = std::int64_t{StatusDecoder::RegisterU16(rx, 395)} * 65536 + StatusDecoder::RegisterU16(rx, 396);
  s.faultWords = {static_cast<std::uint16_t>(StatusDecoder::RegisterU16(rx, 423)),
                  static_cast<std::uint16_t>(StatusDecoder::RegisterU16(rx, 424))};
  s.blocked = (StatusDecoder::RegisterU16(rx, 300) & 0x8000) != 0;
  return s;
}

}  // namespace zart::monitor

// An arbitrary byte stream from a gateway through the Modbus TCP de-framer,
// fed in pieces whose sizes come from the input: every byte ends up in a
// frame, dropped or held, and no more than one largest frame is ever held.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/crc.h"
#include "link/mbap_deframer.h"
#include "link/mbap_frame.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = data[0] % 17 + 1;
  const bool resetMidway = data[0] & 0x80;
  const std::span<const std::uint8_t> stream(data + 1, size - 1);
  zart::link::MbapDeframer d;
  std::size_t inFrames = 0;
  std::vector<std::uint8_t> rtu;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    if (resetMidway && at == stream.size() / 2 / piece * piece) d.Reset();
    auto part = stream.subspan(at, std::min(piece, stream.size() - at));
    while (!part.empty()) {
      const std::size_t used = d.Feed(part);
      if (used == 0 || used > part.size()) __builtin_trap();
      part = part.subspan(used);
      if (d.Buffered() > zart::link::kMbapMaxAdu) __builtin_trap();
      const auto f = d.Frame();
      if (!f) continue;
      if (f->pdu.empty() || f->pdu.size() > static_cast<std::size_t>(zart::link::kMbapMaxPdu)) __builtin_trap();
      inFrames += zart::link::kMbapHeaderSize + f->pdu.size();
      // The RTU form the exchange gets must pass its CRC check.
      rtu.clear();
      zart::link::AppendRtuFromMbap(*f, rtu);
      const int last = static_cast<int>(rtu.size()) - 3;
      if (zart::link::Crc16Modbus(rtu, last) != zart::link::CrcFromWire(rtu[rtu.size() - 2], rtu.back())) __builtin_trap();
    }
  }
  if (inFrames + d.DroppedBytes() + static_cast<std::size_t>(d.Buffered()) != stream.size()) __builtin_trap();
  return 0;
}

#include "link/mbap_frame.h"

#include "link/crc.h"

namespace zart::link {

std::vector<std::uint8_t> MbapFromRtu(std::uint16_t transaction, std::span<const std::uint8_t> rtu) {
  std::vector<std::uint8_t> out;
  if (rtu.size() < 4) return out;
  const std::size_t pdu = rtu.size() - 3;  // less the address and the two CRC bytes
  if (pdu > static_cast<std::size_t>(kMbapMaxPdu)) return out;
  const std::size_t length = pdu + 1;
  out.reserve(kMbapHeaderSize + pdu);
  out.push_back(static_cast<std::uint8_t>(transaction >> 8));
  out.push_back(static_cast<std::uint8_t>(transaction & 0xFF));
  out.push_back(0);
  out.push_back(0);
  out.push_back(static_cast<std::uint8_t>(length >> 8));
  out.push_back(static_cast<std::uint8_t>(length & 0xFF));
  out.insert(out.end(), rtu.begin(), rtu.end() - 2);  // unit id = the slave address, then the PDU
  return out;
}

void AppendRtuFromMbap(const MbapFrame& frame, std::vector<std::uint8_t>& out) {
  const std::size_t start = out.size();
  out.push_back(frame.unit);
  out.insert(out.end(), frame.pdu.begin(), frame.pdu.end());
  const std::span<const std::uint8_t> body(out.data() + start, out.size() - start);
  const CrcBytes crc = CrcWireBytes(Crc16Modbus(body, static_cast<int>(body.size()) - 1));
  out.push_back(crc.low);
  out.push_back(crc.high);
}

}  // namespace zart::link

#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zart::link {

/// Modbus TCP framing (the MBAP header). On the wire, most significant byte
/// first: transaction id (2), protocol id (2, 0 for Modbus), length (2: the
/// unit id and the PDU that follow), unit id (1), then the PDU (function
/// code and data). There is no CRC; TCP carries the bytes intact.
inline constexpr int kMbapHeaderSize = 7;
/// The largest PDU, as on the serial line: 256 bytes less address and CRC.
inline constexpr int kMbapMaxPdu = 253;
/// The largest Modbus TCP frame: header and the largest PDU.
inline constexpr int kMbapMaxAdu = kMbapHeaderSize + kMbapMaxPdu;
/// The length field of the largest frame (unit id and PDU).
inline constexpr int kMbapMaxLength = kMbapMaxPdu + 1;

/// One whole frame taken off the stream. `pdu` points into the buffer of
/// whoever produced it.
struct MbapFrame {
  std::uint16_t transaction = 0;
  std::uint8_t unit = 0;
  std::span<const std::uint8_t> pdu;
};

/// The Modbus TCP frame for an RTU frame as the exchange builds it (slave
/// address, PDU, CRC low, CRC high): the address becomes the unit id, the
/// CRC is left off. Empty when `rtu` holds no PDU (fewer than 4 bytes) or
/// one longer than kMbapMaxPdu.
std::vector<std::uint8_t> MbapFromRtu(std::uint16_t transaction, std::span<const std::uint8_t> rtu);

/// Appends the RTU form of `frame` to `out`: unit id, PDU, then the CRC
/// (low byte first) computed over both, so that the reply can be judged as
/// one read from the serial line.
void AppendRtuFromMbap(const MbapFrame& frame, std::vector<std::uint8_t>& out);

}  // namespace zart::link

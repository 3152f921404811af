#include "link/reply_length.h"

#include "link/frame.h"

namespace zart::link {

int ExpectedReplyLength(const RxStore& rx, int rxCount) {
  if (rxCount < 2) return kReplyLengthNeedMore;
  const int function = rx[1];
  if (function >= FC_EXCEPTION_FLAG) return 5;
  switch (function) {
    case FC_WRITE_SINGLE_REGISTER:
    case FC_WRITE_MULTIPLE_REGISTERS:
      return 8;
    case FC_READ_INPUT_REGISTERS:
      return rxCount < 3 ? kReplyLengthNeedMore : 3 + rx[2] + 2;
    case FC_EEPROM_READ:
    case FC_EEPROM_WRITE:
      return rxCount < 5 ? kReplyLengthNeedMore : 5 + rx[4] + 2;
    default:
      return kReplyLengthUnknown;
  }
}

bool ReplyMatchesRequest(const RxStore& rx, int rxCount, std::span<const std::uint8_t> request) {
  if (rxCount < 2 || request.size() < 6) return false;
  const int function = request[1];
  if (rx[1] == (function | FC_EXCEPTION_FLAG)) return true;
  if (rx[1] != function) return false;
  const auto echoes = [&](int from, int to) {
    if (rxCount <= to) return false;
    for (int i = from; i <= to; ++i) {
      if (rx[i] != request[static_cast<std::size_t>(i)]) return false;
    }
    return true;
  };
  switch (function) {
    case FC_READ_INPUT_REGISTERS:
      return rxCount > 2 && rx[2] == 2 * (request[4] * 256 + request[5]);
    case FC_WRITE_SINGLE_REGISTER:
    case FC_WRITE_MULTIPLE_REGISTERS:
      return echoes(2, 5);
    case FC_EEPROM_READ:
    case FC_EEPROM_WRITE:
      return echoes(2, 4);
    default:
      return true;
  }
}

}  // namespace zart::link

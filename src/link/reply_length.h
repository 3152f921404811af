#pragma once

#include <cstdint>
#include <span>

#include "link/rx_store.h"

namespace zart::link {

/// What the first bytes of a reply tell about its length.
inline constexpr int kReplyLengthNeedMore = 0;  ///< too few bytes to tell yet
inline constexpr int kReplyLengthUnknown = -1;  ///< a function this tool does not frame by length

/// The whole length of the reply in rx[0 .. rxCount-1], from its function
/// code and byte count: 5 + n for a status read (255 for the status block),
/// 8 for the echoes of 6 and 16, 5 + n + 2 for 100 and 101 (n at byte 4),
/// 5 for an exception (function code 0x80 and above). kReplyLengthNeedMore
/// while the count byte has not arrived; kReplyLengthUnknown for any other
/// function, whose end only a silence on the line can show.
int ExpectedReplyLength(const RxStore& rx, int rxCount);

/// True when the reply in rx belongs to `request` (the frame as sent): the
/// same function code (or its exception), and the echoed fields equal:
/// start address and count for 100 and 101, register and value or
/// quantity for 6 and 16, a byte count of two per register for 4.
bool ReplyMatchesRequest(const RxStore& rx, int rxCount, std::span<const std::uint8_t> request);

}  // namespace zart::link

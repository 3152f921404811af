#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <span>
#include <vector>

#include <QString>

#include "link/request_queue.h"
#include "params/catalogue.h"

namespace zart::link {
class ExchangeCycle;
struct Reply;
}  // namespace zart::link

namespace zart::params {

/// The controller's EEPROM functions 100 (read bytes) and 101 (write bytes)
/// as the tool frames them, and the one decoder of their replies.
inline constexpr int kMaxReadCount = 120;   ///< bytes one read may ask for
inline constexpr int kMaxNumberSize = 4;    ///< bytes one numeric write carries
inline constexpr int kMaxTextSize = 12;     ///< bytes one text write carries

/// A set of slots, by slot number.
using SlotSet = std::bitset<kSlotCount>;

/// Function 100: read `count` EEPROM bytes (at most 120) from `address`.
/// False when the queue refused the request.
bool QueueEepromRead(link::ExchangeCycle& link, int address, int count, const link::RequestOptions& options = {});
/// Function 101: write the `size` (at most 4) low bytes of `value`, most
/// significant first, at `address`.
bool QueueEepromWrite(link::ExchangeCycle& link, int address, std::int32_t value, int size,
                      const link::RequestOptions& options = {});
/// Function 101: write `text` as `size` (at most 12) Windows-1251 bytes,
/// zero-padded or cut to the size; "?" for characters the code page lacks.
bool QueueEepromTextWrite(link::ExchangeCycle& link, const QString& text, int address, int size,
                          const link::RequestOptions& options = {});

/// One request of a read-all or write-all: `count` consecutive slots from
/// `start` with contiguous EEPROM bytes, `bytes` in all.
struct Block {
  int start = 0;
  int count = 0;
  int bytes = 0;
};
/// The whole catalogue cut into blocks of at most ten slots whose bytes
/// are contiguous (131 of them). Slots in `leaveOut` close the block before
/// them and are skipped (write-all keeps the controller's own address and
/// its external-control flag out, to write them last).
std::vector<Block> ParamBlocks(const SlotSet& leaveOut = {});

/// The bytes a write of `text` puts into `slot`, most significant first;
/// empty when the text cannot be written (see EncodeSlotText).
std::vector<std::uint8_t> SlotWriteBytes(int slot, const QString& text);

/// One slot's bytes as a function-100/101 reply carried them.
struct SlotBytes {
  int slot = 0;
  int size = 0;
  std::array<std::uint8_t, 12> bytes{};
  std::span<const std::uint8_t> Bytes() const { return {bytes.data(), static_cast<std::size_t>(size)}; }
};

/// The slots a reply covers, walked from the slot at its start address:
/// stops after slot 1207, at the end of the byte count or of the bytes
/// received, and before a slot whose bytes are not all there. Empty when the
/// start address is no slot's.
std::vector<SlotBytes> SplitParamReply(const link::Reply& reply);

}  // namespace zart::params

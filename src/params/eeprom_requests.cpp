#include "params/eeprom_requests.h"

#include <algorithm>

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "params/conversions.h"
#include "settings/windows1251.h"

namespace zart::params {

namespace {

constexpr int kMaxBlockSlots = 10;
constexpr int kReplyHeader = 5;  // address, function, start address (2), count
constexpr int kCrcBytes = 2;

std::uint8_t Hi(int address) { return link::ByteOfValue(address, 1); }
std::uint8_t Lo(int address) { return link::ByteOfValue(address, 0); }

void AppendText(const QString& text, int size, std::vector<std::uint8_t>& out) {
  const QByteArray encoded = settings::EncodeWindows1251(text);
  for (int i = 0; i < size; ++i) out.push_back(i < encoded.size() ? static_cast<std::uint8_t>(encoded[i]) : 0);
}

}  // namespace

bool QueueEepromRead(link::ExchangeCycle& link, int address, int count, const link::RequestOptions& options) {
  count = std::clamp(count, 0, kMaxReadCount);
  return link.EnqueueRequest(link::FC_EEPROM_READ, {Hi(address), Lo(address), static_cast<std::uint8_t>(count)},
                             options);
}

bool QueueEepromWrite(link::ExchangeCycle& link, int address, std::int32_t value, int size,
                      const link::RequestOptions& options) {
  size = std::clamp(size, 0, kMaxNumberSize);
  std::vector<std::uint8_t> data{Hi(address), Lo(address), static_cast<std::uint8_t>(size)};
  for (int i = 0; i < size; ++i) data.push_back(link::ByteOfValue(value, size - 1 - i));
  return link.EnqueueRequest(link::FC_EEPROM_WRITE, data, options);
}

bool QueueEepromTextWrite(link::ExchangeCycle& link, const QString& text, int address, int size,
                          const link::RequestOptions& options) {
  size = std::clamp(size, 0, kMaxTextSize);
  std::vector<std::uint8_t> data{Hi(address), Lo(address), static_cast<std::uint8_t>(size)};
  AppendText(text, size, data);
  return link.EnqueueRequest(link::FC_EEPROM_WRITE, data, options);
}

std::vector<Block> ParamBlocks(const SlotSet& leaveOut) {
  // A block is a run of consecutive slots with contiguous EEPROM bytes, at
  // most ten of them (ten 12-byte names are the controller's 120-byte read
  // limit).
  const auto& size = kCatalogue.par_size;
  const auto& addr = kCatalogue.par_addr;
  auto skipped = [&leaveOut](int k) { return k < kSlotCount && leaveOut.test(static_cast<std::size_t>(k)); };
  std::vector<Block> blocks;
  blocks.reserve(140);
  int start = 0;
  while (start < kSlotCount) {
    if (skipped(start)) {
      ++start;
      continue;
    }
    Block b{start, 0, 0};
    for (;;) {
      const int k = start + b.count;
      const auto ku = static_cast<std::size_t>(k);
      b.bytes += size[ku];
      ++b.count;
      if (b.count == kMaxBlockSlots || k == kSlotCount - 1 || addr[ku + 1] != addr[ku] + size[ku] || skipped(k + 1))
        break;
    }
    blocks.push_back(b);
    start += b.count;
  }
  return blocks;
}

std::vector<std::uint8_t> SlotWriteBytes(int slot, const QString& text) {
  std::vector<std::uint8_t> out;
  if (slot < 0 || slot >= kSlotCount) return out;
  const int size = kCatalogue.par_size[static_cast<std::size_t>(slot)];
  if (kCatalogue.IsText(slot)) {
    AppendText(text, size, out);
    return out;
  }
  const SlotEncoding encoded = EncodeSlotText(slot, text);
  if (!encoded.ok()) return out;
  for (int i = 0; i < size; ++i) out.push_back(link::ByteOfValue(encoded.raw, size - 1 - i));
  return out;
}

std::vector<SlotBytes> SplitParamReply(const link::Reply& reply) {
  std::vector<SlotBytes> out;
  const link::RxStore& rx = reply.rx;
  int j = kCatalogue.SlotAtAddress(rx[2] * 256 + rx[3]);
  if (j < 0) return out;  // not the start of any slot: not ours to show
  // The data bytes are those the byte count announces, but never more than
  // were received in this exchange: cells beyond it hold an older reply.
  const int end = std::min(kReplyHeader + rx[4], reply.count - kCrcBytes);
  int p = kReplyHeader;
  while (j < kSlotCount) {
    const int size = kCatalogue.par_size[static_cast<std::size_t>(j)];
    if (size <= 0 || p + size > end) break;  // a slot is taken from all its bytes or not at all
    SlotBytes s;
    s.slot = j;
    s.size = size;
    for (int i = 0; i < size; ++i) s.bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rx[p + i]);
    out.push_back(s);
    p += size;
    ++j;
  }
  return out;
}

}  // namespace zart::params

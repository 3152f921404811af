#include "link/request_queue.h"

namespace zart::link {

bool RequestQueue::EnqueueRequest(int functionCode, std::span<const std::uint8_t> data,
                                  const RequestOptions& options) {
  const int lastIndex = 1 + static_cast<int>(data.size());
  if (lastIndex > kMaxLastIndex || FreeSlots() <= 0) return false;
  RequestSlot& slot = m_slots[static_cast<std::size_t>(write_index)];
  slot.slot_bytes[0] = 0;
  slot.slot_bytes[1] = static_cast<std::uint8_t>(functionCode & 0xFF);
  for (std::size_t i = 0; i < data.size(); ++i) slot.slot_bytes[i + 2] = data[i];
  slot.last_index = lastIndex;
  slot.options = options;
  slot.sent = 0;
  slot.cancelled = false;
  // The slot is complete before the index moves, so the consumer never sees
  // a half-written request.
  AdvanceWriteIndex();
  return true;
}

int RequestQueue::Cancel(const RequestClient* client) {
  if (client == nullptr) return 0;
  int withdrawn = 0;
  for (int k = 0; k < PendingCount(); ++k) {
    RequestSlot& slot = m_slots[static_cast<std::size_t>((read_index + k) % kSlots)];
    if (slot.options.client == client && !slot.cancelled) {
      slot.cancelled = true;
      ++withdrawn;
    }
  }
  return withdrawn;
}

}  // namespace zart::link

#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace zart::link {

/// One queued request. Byte 0 is a placeholder the exchange replaces with the
/// slave address; byte 1 is the function code; bytes 2..last_index the data,
/// 16-bit quantities high byte first. On the wire the request is
/// last_index + 3 bytes long (the CRC adds two).
struct RequestSlot {
  std::array<std::uint8_t, 256> slot_bytes{};
  int last_index = 0;
};

/// The 512-slot first-in, first-out ring of pending requests, preallocated
/// for the whole run. Producers only enqueue; the exchange is the only
/// consumer. The head request stays until a valid reply to it arrives.
class RequestQueue {
 public:
  static constexpr int kSlots = 512;
  /// Longest request body: the framing loops run over 0..last_index with a
  /// byte-sized counter.
  static constexpr int kMaxLastIndex = 254;

  /// Writes a request into the slot at write_index and advances it.
  /// `data` are the bytes after the function code. Refuses (returns false,
  /// changes nothing) when the queue already holds kSlots - 1 requests or
  /// when the request is longer than kMaxLastIndex allows: a full ring would
  /// look empty and lose its whole backlog.
  bool EnqueueRequest(int functionCode, std::span<const std::uint8_t> data);
  bool EnqueueRequest(int functionCode, std::initializer_list<std::uint8_t> data) {
    return EnqueueRequest(functionCode, std::span<const std::uint8_t>(data.begin(), data.size()));
  }

  bool QueueIsEmpty() const { return write_index == read_index; }
  /// Requests pending, the head included (0..511).
  int PendingCount() const { return (write_index - read_index + kSlots) % kSlots; }
  /// How many more requests fit before the queue refuses.
  int FreeSlots() const { return kSlots - 1 - PendingCount(); }

  /// The slot the next request will take; record it before enqueueing to
  /// recognise the request later.
  int WriteIndex() const { return write_index; }
  int ReadIndex() const { return read_index; }

  const RequestSlot& Head() const { return m_slots[static_cast<std::size_t>(read_index)]; }
  const RequestSlot& Slot(int i) const { return m_slots[static_cast<std::size_t>(i % kSlots)]; }

  /// Consumer only: the head was answered, move on (511 wraps to 0).
  void AdvanceReadIndex() { read_index = static_cast<std::uint16_t>((read_index + 1) % kSlots); }

 private:
  void AdvanceWriteIndex() { write_index = static_cast<std::uint16_t>((write_index + 1) % kSlots); }

  std::array<RequestSlot, kSlots> m_slots{};
  std::uint16_t write_index = 0;
  std::uint16_t read_index = 0;
};

}  // namespace zart::link

#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace zart::link {

struct Reply;

/// Who asked for a request and is told how it ended. A producer that needs
/// to know its own requests (a transfer, a write check, a scan) gives them a
/// client and a tag of its choosing; the exchange calls back with that tag,
/// so no producer keeps queue positions of its own. No allocation: the
/// queue holds a pointer and an int per request.
class RequestClient {
 public:
  virtual ~RequestClient() = default;
  /// A valid reply (an exception reply included) answered request `tag`.
  /// True: the reply's data belong to this client alone and go no further
  /// (not to the status or parameter handlers); the exchange still reports
  /// an exception reply in the status line.
  virtual bool RequestAnswered(int tag, const Reply& reply) = 0;
  /// Request `tag` went out (or was due, while the port is closed);
  /// `repeat` when it had been sent before without a valid reply.
  virtual void RequestSent(int tag, bool repeat) {
    (void)tag;
    (void)repeat;
  }
  /// Request `tag` left the queue without an answer: its attempts ran out.
  virtual void RequestGivenUp(int tag) { (void)tag; }
};

/// What a producer may ask of one request beyond its bytes.
struct RequestOptions {
  RequestClient* client = nullptr;
  int tag = 0;
  /// Slave address of this request alone; -1: the address in force.
  int address = -1;
  /// The pending address switch: once this request has been sent the first
  /// time (it still goes to the old address), every later frame goes to
  /// this address. -1: none.
  int switchAddressTo = -1;
  /// 0: the request is repeated until it is answered, as every request of
  /// the design is. n: it is given up after n sends without a valid reply.
  int attempts = 0;
  /// How long the reply to this request is awaited, in ms; 0: the exchange's
  /// own reply time (100 ms on the serial line). A scan of addresses waits
  /// less for a short reply, so that a silent address costs little.
  int replyTimeMs = 0;
};

/// One queued request. Byte 0 is a placeholder the exchange replaces with the
/// slave address; byte 1 is the function code; bytes 2..last_index the data,
/// 16-bit quantities high byte first. On the wire the request is
/// last_index + 3 bytes long (the CRC adds two).
struct RequestSlot {
  std::array<std::uint8_t, 256> slot_bytes{};
  int last_index = 0;
  RequestOptions options;
  /// Times the request has been sent so far.
  int sent = 0;
  /// Withdrawn by its client: it leaves the queue unsent, or its late
  /// answer is dropped.
  bool cancelled = false;
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
  bool EnqueueRequest(int functionCode, std::span<const std::uint8_t> data, const RequestOptions& options = {});
  bool EnqueueRequest(int functionCode, std::initializer_list<std::uint8_t> data, const RequestOptions& options = {}) {
    return EnqueueRequest(functionCode, std::span<const std::uint8_t>(data.begin(), data.size()), options);
  }

  bool QueueIsEmpty() const { return write_index == read_index; }
  /// Requests pending, the head included (0..511).
  int PendingCount() const { return (write_index - read_index + kSlots) % kSlots; }
  /// How many more requests fit before the queue refuses.
  int FreeSlots() const { return kSlots - 1 - PendingCount(); }

  int WriteIndex() const { return write_index; }
  int ReadIndex() const { return read_index; }

  const RequestSlot& Head() const { return m_slots[static_cast<std::size_t>(read_index)]; }
  RequestSlot& Head() { return m_slots[static_cast<std::size_t>(read_index)]; }
  /// The k-th pending request (0: the head).
  const RequestSlot& Pending(int k) const { return m_slots[static_cast<std::size_t>((read_index + k) % kSlots)]; }

  /// Withdraws every pending request of `client`; the others keep their
  /// order. The number withdrawn.
  int Cancel(const RequestClient* client);

  /// Consumer only: the head was answered, move on (511 wraps to 0).
  void AdvanceReadIndex() { read_index = static_cast<std::uint16_t>((read_index + 1) % kSlots); }

 private:
  void AdvanceWriteIndex() { write_index = static_cast<std::uint16_t>((write_index + 1) % kSlots); }

  std::array<RequestSlot, kSlots> m_slots{};
  std::uint16_t write_index = 0;
  std::uint16_t read_index = 0;
};

}  // namespace zart::link

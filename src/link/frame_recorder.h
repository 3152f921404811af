#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include <QElapsedTimer>

#include "link/frame.h"
#include "link/request_queue.h"
#include "link/rx_store.h"

namespace zart::link {

/// How one exchange ended.
enum class ExchangeVerdict : std::uint8_t {
  pending,       ///< the request is out, its reply not judged yet
  reply,         ///< a reply with a good CRC
  no_answer,     ///< at most two bytes came back
  crc_mismatch,  ///< bytes came back, their CRC does not hold
  exception,     ///< a good reply whose function code has bit 7 set
};

/// One request and what came back for it, as raw bytes; nothing is
/// formatted here, so recording costs two small copies per tick.
struct RecordedExchange {
  std::uint64_t number = 0;   ///< 1, 2, ... since start
  std::int64_t sentMs = 0;    ///< when the request went out, ms since start
  std::int64_t judgedMs = 0;  ///< when the reply was judged (valid unless pending)
  ExchangeVerdict verdict = ExchangeVerdict::pending;
  bool repeat = false;  ///< sent again because the exchange before failed
  std::uint16_t requestLength = 0;  ///< 0: bytes came back with no request out
  std::uint16_t replyLength = 0;    ///< bytes stored, at most 256
  std::array<std::uint8_t, RequestQueue::kMaxLastIndex + 3> request{};
  std::array<std::uint8_t, RxStore::kMaxStored> reply{};
  /// Over Modbus TCP, the header each frame travelled with (the frames above
  /// are their RTU form); 0 bytes on other links.
  std::uint8_t requestHeaderLength = 0;
  std::uint8_t replyHeaderLength = 0;
  std::array<std::uint8_t, 7> requestHeader{};
  std::array<std::uint8_t, 7> replyHeader{};

  std::span<const std::uint8_t> Request() const { return {request.data(), requestLength}; }
  std::span<const std::uint8_t> Reply() const { return {reply.data(), replyLength}; }
  std::span<const std::uint8_t> RequestHeader() const { return {requestHeader.data(), requestHeaderLength}; }
  std::span<const std::uint8_t> ReplyHeader() const { return {replyHeader.data(), replyHeaderLength}; }
};

/// Totals of the traffic, each since start or since the counters were cleared.
struct TrafficCounters {
  std::uint64_t requests = 0;
  std::uint64_t validReplies = 0;  ///< good CRC, not an exception
  std::uint64_t noAnswers = 0;
  std::uint64_t crcMismatches = 0;
  std::uint64_t exceptions = 0;
  std::uint64_t repeats = 0;  ///< requests sent again after a failed exchange
  std::uint64_t refused = 0;  ///< requests the full queue did not take
};

/// The exchange's flight recorder: the last kCapacity exchanges in a ring
/// allocated once, counters, and the share of good replies per second over
/// the last minute. The traffic monitor reads it when it is open; when it is
/// closed nobody formats anything.
class FrameRecorder {
 public:
  static constexpr int kCapacity = 4096;
  /// Milliseconds since start; the default clock starts with the recorder.
  using Clock = std::function<std::int64_t()>;

  explicit FrameRecorder(Clock clock = {});

  /// A request has been written to the port; `repeat` when the same
  /// request went out before without a valid reply.
  /// `header`: the Modbus TCP header it went out with, if any.
  void RecordRequest(std::span<const std::uint8_t> frame, bool repeat, std::span<const std::uint8_t> header = {});
  /// The bytes collected at a tick have been judged. With no request out
  /// and nothing received nothing is recorded.
  void RecordReply(const RxStore& rx, int rxCount, ReplyOutcome outcome, std::span<const std::uint8_t> header = {});
  /// The queue refused a request.
  void RecordRefused() { ++m_total.refused; }

  const TrafficCounters& SinceStart() const { return m_total; }
  TrafficCounters SinceCleared() const;
  /// Starts the "since cleared" counters and the minute share afresh.
  void ClearCounters();

  /// Good replies (valid CRC, exceptions included: the line carried them
  /// intact) among exchanges judged in the last 60 s, 0..1; -1 with none.
  double GoodShareLastMinute() const;

  /// Number of the newest exchange, 0 before the first.
  std::uint64_t NewestNumber() const { return m_next - 1; }
  /// Number of the oldest exchange still held.
  std::uint64_t OldestNumber() const;
  /// The exchange with that number, or null when it has been overwritten or
  /// does not exist yet. Valid until the next Record call.
  const RecordedExchange* Find(std::uint64_t number) const;

  std::int64_t NowMs() const;

 private:
  struct Second {
    std::int64_t second = -1;
    std::uint32_t good = 0;
    std::uint32_t judged = 0;
  };
  RecordedExchange& Slot(std::uint64_t number) { return (*m_ring)[number % kCapacity]; }
  RecordedExchange& Open(std::int64_t now);
  void CountVerdict(ExchangeVerdict verdict, std::int64_t now);

  Clock m_clock;
  QElapsedTimer m_elapsed;
  std::unique_ptr<std::array<RecordedExchange, kCapacity>> m_ring;
  std::uint64_t m_next = 1;
  bool m_pending = false;  // the newest exchange waits for its reply
  TrafficCounters m_total;
  TrafficCounters m_clearedAt;
  std::array<Second, 60> m_seconds{};
};

}  // namespace zart::link

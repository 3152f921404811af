#pragma once

#include <cstdint>
#include <functional>

namespace zart::link {

class ExchangeCycle;

/// Decides when the exchange judges a reply and sends the next request.
///
/// Every request gets its whole 100 ms on the line: a reply is never judged
/// as missing earlier than 100 ms after its frame was written, however long
/// the tick that wrote it took (the first status reply builds the
/// parameters window inside a tick). A request may ask for another reply
/// time of its own (a scan of addresses), and a network link for a longer
/// one for all.
///
/// With fast exchange on, a reply is judged as soon as it is complete (its
/// length follows from the function code and byte count, or the line fell
/// silent for 3.5 characters), and a queued request goes out right after
/// the 3.5-character gap; the idle status reads and heartbeats keep the
/// 100 ms pace. Off, one request goes out every 100 ms, judged at the next.
///
/// Over a network link (the link names a reply time-out) a reply is judged
/// when it is complete or at that time-out, fast exchange or not: 100 ms is
/// too short for a gateway behind a VPN. Requests still go out no more
/// often than every 100 ms unless fast exchange sends queued work at once.
///
/// A link that reports the arrival of bytes is not polled while a reply is
/// awaited: the timer calls Step when bytes come.
///
/// Clock-driven and timer-free, so tests step it with a fake clock.
class ExchangePacer {
 public:
  /// Monotonic time in nanoseconds.
  using Clock = std::function<std::int64_t()>;

  /// Time a request has for its reply on the serial line, and the pace of
  /// the idle traffic.
  static constexpr std::int64_t kIntervalNs = 100'000'000;
  /// 3.5 characters of 11 bits at 115200 bit/s: the silence that ends an
  /// RTU frame and the gap before the next request (about 0.33 ms).
  static constexpr std::int64_t kGapNs = 35LL * 11 * 1'000'000'000 / (10 * 115200);
  /// Over a network link, the silence after which a reply whose length its
  /// first bytes do not tell (garbage, a function this tool does not know)
  /// is judged: TCP may hand one reply over in pieces some ms apart.
  static constexpr std::int64_t kNetSilenceNs = 20'000'000;
  /// How often the port is looked at while a fast reply is awaited on a
  /// link that does not report arrivals, and while a judged exchange waits
  /// for work or for the idle pace.
  static constexpr int kPollMs = 1;
  static constexpr int kIdleCheckMs = 5;
  /// Step's answer while the gap, well under a millisecond, runs out:
  /// call again as soon as pending events have run.
  static constexpr int kGapWait = 0;

  ExchangePacer(ExchangeCycle& cycle, Clock clock);

  /// Begins the rhythm: the first tick is due one interval from now, as
  /// though a frame had just been written.
  void Start();
  /// Does what is due now and returns the wait, in whole ms, until it
  /// should be called again (kGapWait: at once).
  int Step();
  /// A reply is awaited and would be judged as soon as it is complete: bytes
  /// arriving now are worth a Step.
  bool WantsArrival() const;

  /// Switches fast exchange; takes effect at the next Step, also in the
  /// middle of an exchange.
  void SetFastExchange(bool on) { m_fast = on; }
  bool FastExchange() const { return m_fast; }

  /// How long a reply is awaited when its request does not say
  /// (RequestOptions::replyTimeMs), for a network link the link itself does
  /// not name; replies are then judged as soon as they are complete. 0 or
  /// less: the link's own time (100 ms, one tick, on the serial line).
  /// Takes effect from the next request sent.
  void SetReplyTimeoutMs(int ms) { m_defaultReplyNs = ms > 0 ? ms * kNsPerMs : 0; }

 private:
  enum class Reply { needs_bytes, needs_silence, complete };
  Reply ReplyState(std::int64_t nowNs, bool network);
  /// Sends the next request; the wait until the pacer wants to look again.
  int Send();
  /// The reply time of the request just sent (`written`: it went out).
  std::int64_t ReplyTimeNs(bool written) const;
  /// The link has a reply time-out of its own, or was given one.
  bool Network() const;
  bool JudgesEarly() const;
  static int MsUntil(std::int64_t dueNs, std::int64_t nowNs);

  static constexpr std::int64_t kNsPerMs = 1'000'000;

  ExchangeCycle& m_cycle;
  Clock m_clock;
  bool m_fast = false;
  std::int64_t m_defaultReplyNs = 0;
  /// A request is out and its reply not judged yet.
  bool m_awaiting = true;
  /// When the last frame was written (or the tick that would have written
  /// it ended, while the port is closed).
  std::int64_t m_lastWriteNs = 0;
  /// When the reply to the last frame is judged missing.
  std::int64_t m_replyDueNs = 0;
  /// When the latest reply bytes were seen (fast exchange).
  std::int64_t m_lastByteNs = 0;
};

}  // namespace zart::link

#pragma once

#include <cstdint>
#include <functional>

namespace zart::link {

class ExchangeCycle;

/// Decides when the exchange runs its next tick. Every request gets its
/// whole 100 ms on the line: the reply is judged no earlier than 100 ms
/// after the frame was written, however long the tick that wrote it took
/// (the first status reply builds the parameters window inside a tick).
/// Clock-driven and timer-free, so tests step it with a fake clock.
class ExchangePacer {
 public:
  /// Monotonic time in nanoseconds.
  using Clock = std::function<std::int64_t()>;

  /// Time a request has for its reply, and the pace of the idle traffic.
  static constexpr std::int64_t kIntervalNs = 100'000'000;

  ExchangePacer(ExchangeCycle& cycle, Clock clock);

  /// Begins the rhythm: the first tick is due one interval from now, as
  /// though a frame had just been written.
  void Start();
  /// Runs the tick when it is due and returns the wait, in whole ms and at
  /// least 1, until it should be called again.
  int Step();

 private:
  int MsUntil(std::int64_t dueNs, std::int64_t nowNs) const;

  ExchangeCycle& m_cycle;
  Clock m_clock;
  /// When the last frame was written (or the tick that would have written
  /// it ended, while the port is closed).
  std::int64_t m_lastWriteNs = 0;
};

}  // namespace zart::link

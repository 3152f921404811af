#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QTimer>

namespace zart::link {

class Port;

/// Reconnects a network link that was lost (a dropped connection, a gateway
/// that could not be reached), pausing between attempts: 0.5 s after the
/// loss is noticed, then 1, 2 and 4 s, then every 5 s until the link is up
/// again. A link that comes up starts the pauses afresh. It leaves alone a
/// link closed on purpose or still connecting, and stands aside while the
/// user is choosing the link.
class LinkReconnector {
 public:
  static constexpr int kFirstDelayMs = 500;
  static constexpr int kMaxDelayMs = 5000;
  /// How often the timer looks at the link.
  static constexpr int kPollMs = 100;

  /// Milliseconds on a monotonic clock.
  using Clock = std::function<std::int64_t()>;

  /// Without a clock the reconnector uses the system's monotonic one.
  explicit LinkReconnector(Port& port, Clock clock = {});
  void Start();
  /// False while the port dialog owns the link; a pause under way starts
  /// again once it is enabled.
  void SetEnabled(bool enabled);
  /// One look at the link, as the timer makes it; public for tests.
  void Poll();

  /// Attempts made since start.
  int Attempts() const { return m_attempts; }
  /// The pause before the next attempt after `failures` failed ones.
  static int DelayAfter(int failures);

 private:
  Port& m_port;
  Clock m_clock;
  QTimer m_timer;
  bool m_enabled = true;
  int m_failures = 0;
  int m_attempts = 0;
  std::optional<std::int64_t> m_dueMs;
};

}  // namespace zart::link

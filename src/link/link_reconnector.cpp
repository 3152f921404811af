#include "link/link_reconnector.h"

#include <algorithm>
#include <chrono>

#include "link/port.h"

namespace zart::link {

LinkReconnector::LinkReconnector(Port& port, Clock clock) : m_port(port), m_clock(std::move(clock)) {
  if (!m_clock) {
    m_clock = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
    };
  }
  m_timer.setInterval(kPollMs);
  QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
}

void LinkReconnector::Start() { m_timer.start(); }

void LinkReconnector::SetEnabled(bool enabled) {
  m_enabled = enabled;
  m_dueMs.reset();
}

int LinkReconnector::DelayAfter(int failures) {
  int delay = kFirstDelayMs;
  for (int i = 0; i < failures && delay < kMaxDelayMs; ++i) delay *= 2;
  return std::min(delay, kMaxDelayMs);
}

void LinkReconnector::Poll() {
  if (!m_enabled) return;
  if (m_port.IsOpen()) {
    m_failures = 0;
    m_dueMs.reset();
    return;
  }
  // Closed by the user, or an attempt still connecting: its own time-out
  // ends it, and a failure shows as a loss again.
  if (!m_port.DeviceLost()) {
    m_dueMs.reset();
    return;
  }
  const std::int64_t now = m_clock();
  if (!m_dueMs) {
    // The loss (or the failure of the last attempt) is noticed now; the
    // pause runs from here, so a gateway that refuses at once is not
    // hammered, and one that is rebooting has time to come back.
    m_dueMs = now + DelayAfter(m_failures);
    return;
  }
  if (now < *m_dueMs) return;
  m_dueMs.reset();
  ++m_attempts;
  ++m_failures;  // until the link is seen up
  (void)m_port.Open();
}

}  // namespace zart::link

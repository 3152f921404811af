#include "monitor/status_line_link_watch.h"

#include "link/exchange_cycle.h"
#include "monitor/link_events.h"

namespace zart::monitor {

void StatusLineLinkWatch::Observe(const QString& statusText, std::int64_t nowMs, std::int64_t wallMs) {
  if (statusText == link::ExchangeCycle::LinkUpMessage()) {
    if (m_state == State::lost) m_sink.LinkRestored(wallMs);
    m_state = State::up;
    return;
  }
  // Other texts stand between two ticks at most (a settings file being
  // saved) unless the link is down; the last one that says anything is the
  // reason given.
  if (m_state == State::up || m_state == State::unknown) {
    m_reason = statusText;
    m_state = State::failing;
    m_failingSinceMs = nowMs;
    m_failingSinceWall = wallMs;
    return;
  }
  if (!statusText.isEmpty()) m_reason = statusText;
  if (m_state == State::failing && nowMs - m_failingSinceMs >= kLostAfterMs) {
    m_state = State::lost;
    m_sink.LinkLost(m_failingSinceWall, m_reason);
  }
}

}  // namespace zart::monitor

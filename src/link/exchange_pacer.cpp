#include "link/exchange_pacer.h"

#include "link/exchange_cycle.h"

namespace zart::link {

ExchangePacer::ExchangePacer(ExchangeCycle& cycle, Clock clock) : m_cycle(cycle), m_clock(std::move(clock)) {}

void ExchangePacer::Start() { m_lastWriteNs = m_clock(); }

int ExchangePacer::MsUntil(std::int64_t dueNs, std::int64_t nowNs) const {
  constexpr std::int64_t kNsPerMs = 1'000'000;
  const std::int64_t left = dueNs - nowNs;
  if (left <= kNsPerMs) return 1;
  return static_cast<int>((left + kNsPerMs - 1) / kNsPerMs);
}

int ExchangePacer::Step() {
  const std::int64_t due = m_lastWriteNs + kIntervalNs;
  const std::int64_t now = m_clock();
  if (now < due) return MsUntil(due, now);

  m_cycle.ExchangeTick();
  // The frame goes out at the very end of the tick. Counting the next
  // interval from here, not from when the tick began, keeps a slow tick
  // from eating into the reply time of the request it sent: on an RS-485
  // line a repeat sent too early collides with the reply.
  m_lastWriteNs = m_clock();
  return MsUntil(m_lastWriteNs + kIntervalNs, m_lastWriteNs);
}

}  // namespace zart::link

#include "tick_watch.h"

#include <QEvent>
#include <QTimer>
#include <QTimerEvent>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"

namespace zart::soak {

TickWatch::TickWatch(const link::ExchangeCycle& cycle) : m_cycle(cycle) { m_clock.start(); }

void TickWatch::Restart() {
  m_haveLast = false;
  m_maxGapNs = 0;
  m_maxGapAtNs = 0;
  m_restartNs = m_clock.nsecsElapsed();
  m_ticks = 0;
  m_late = 0;
  m_veryLate = 0;
}

double TickWatch::MeanGapMs() const {
  if (m_ticks < 2) return 0;
  return static_cast<double>(m_lastNs - m_firstNs) / 1e6 / static_cast<double>(m_ticks - 1);
}

bool TickWatch::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Timer) return false;
  const auto* timer = qobject_cast<const QTimer*>(watched);
  // The exchange timer is the program's only precise 100 ms timer.
  if (timer == nullptr || timer->interval() != link::ExchangeTimer::kIntervalMs ||
      timer->timerType() != Qt::PreciseTimer || static_cast<QTimerEvent*>(event)->timerId() != timer->timerId()) {
    return false;
  }
  const qint64 now = m_clock.nsecsElapsed();
  const std::uint64_t ticks = m_cycle.Counters().ticks;
  // Only the tick handler counts ticks, and a tick started from inside
  // another one returns without counting: the previous timer event ran a
  // tick exactly when the counter has moved since it was delivered.
  if (m_havePending && ticks > m_pendingTicks) RecordStart(m_pendingNs);
  m_havePending = true;
  m_pendingNs = now;
  m_pendingTicks = ticks;
  return false;
}

void TickWatch::RecordStart(qint64 ns) {
  if (m_haveLast) {
    const qint64 gap = ns - m_lastNs;
    if (gap > m_maxGapNs) {
      m_maxGapNs = gap;
      m_maxGapAtNs = ns;
    }
    if (gap > 150'000'000) ++m_late;
    if (gap > 500'000'000) ++m_veryLate;
  } else {
    m_firstNs = ns;
  }
  m_haveLast = true;
  m_lastNs = ns;
  ++m_ticks;
}

}  // namespace zart::soak

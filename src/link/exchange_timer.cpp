#include "link/exchange_timer.h"

#include "link/exchange_cycle.h"

namespace zart::link {

ExchangeTimer::ExchangeTimer(ExchangeCycle& cycle) : m_pacer(cycle, [this] { return m_clock.nsecsElapsed(); }) {
  m_clock.start();
  m_timer.setTimerType(Qt::PreciseTimer);
  m_timer.setSingleShot(true);
  m_timer.setInterval(kIntervalMs);
  QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { OnTimeout(); });
}

void ExchangeTimer::Start() {
  m_running = true;
  m_pacer.Start();
  m_timer.start(kIntervalMs);
}

void ExchangeTimer::Stop() {
  m_running = false;
  m_timer.stop();
}

void ExchangeTimer::SetFastExchange(bool on) {
  m_pacer.SetFastExchange(on);
  // Look again soon so the new mode starts with the exchange under way.
  if (m_running && m_timer.isActive()) m_timer.start(ExchangePacer::kPollMs);
}

void ExchangeTimer::OnTimeout() {
  const int waitMs = m_pacer.Step();
  // Stop() may have been called from inside the tick.
  if (m_running && !m_timer.isActive()) m_timer.start(waitMs);
}

}  // namespace zart::link

#include "link/exchange_timer.h"

#include "link/exchange_cycle.h"

namespace zart::link {

ExchangeTimer::ExchangeTimer(ExchangeCycle& cycle) {
  m_timer.setTimerType(Qt::PreciseTimer);
  m_timer.setInterval(kIntervalMs);
  QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [&cycle] { cycle.ExchangeTick(); });
}

void ExchangeTimer::Start() { m_timer.start(); }
void ExchangeTimer::Stop() { m_timer.stop(); }

}  // namespace zart::link

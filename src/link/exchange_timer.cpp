#include "link/exchange_timer.h"

#include "link/exchange_cycle.h"
#include "link/port.h"

namespace zart::link {

ExchangeTimer::ExchangeTimer(ExchangeCycle& cycle)
    : m_cycle(cycle), m_pacer(cycle, [this] { return m_clock.nsecsElapsed(); }) {
  m_clock.start();
  m_timer.setTimerType(Qt::PreciseTimer);
  m_timer.setSingleShot(true);
  m_timer.setInterval(kIntervalMs);
  QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { RunStep(); });
  // The handler stays with the port; once this timer is gone it does
  // nothing. The timer may outlive its cycle (a program that builds the link
  // again replaces the cycle first), so it never reaches back to it here.
  m_cycle.LinkPort().SetArrivalHandler([this, alive = std::weak_ptr<int>(m_alive)] {
    if (!alive.expired()) OnArrival();
  });
}

ExchangeTimer::~ExchangeTimer() = default;

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

void ExchangeTimer::OnArrival() {
  if (!m_running) return;
  // A tick that lets pending events run (the parameters window being
  // built) must not be entered; the bytes are looked at once it is over.
  if (m_stepping || m_cycle.InTick()) {
    m_arrivedMeanwhile = true;
    return;
  }
  if (m_pacer.WantsArrival()) RunStep();
}

void ExchangeTimer::RunStep() {
  if (m_stepping) return;
  m_timer.stop();
  m_stepping = true;
  m_arrivedMeanwhile = false;
  const int waitMs = m_pacer.Step();
  m_stepping = false;
  // Stop() may have been called from inside the tick.
  if (m_running) m_timer.start(m_arrivedMeanwhile ? ExchangePacer::kGapWait : waitMs);
}

}  // namespace zart::link

#pragma once

#include <QObject>
#include <QTimer>

namespace zart::link {

class ExchangeCycle;

/// Drives the exchange every 100 ms with a precise timer. Qt delivers a late
/// timer once, never as a burst of catch-up ticks, and the cycle itself
/// refuses to start a tick inside another one.
class ExchangeTimer {
 public:
  static constexpr int kIntervalMs = 100;

  explicit ExchangeTimer(ExchangeCycle& cycle);
  void Start();
  void Stop();
  bool IsActive() const { return m_timer.isActive(); }

 private:
  QTimer m_timer;
};

}  // namespace zart::link

#pragma once

#include <memory>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "link/exchange_pacer.h"

namespace zart::link {

class ExchangeCycle;

/// Drives the exchange with a precise single-shot timer that is set again
/// after each tick for the wait the pacer asks for: the next tick comes
/// 100 ms after the frame of the previous one was written, and never while
/// a tick runs, even when a tick lets pending events run. While a reply is
/// awaited that is judged as soon as it is complete, bytes arriving on the
/// link step the pacer at once.
class ExchangeTimer {
 public:
  static constexpr int kIntervalMs = 100;

  explicit ExchangeTimer(ExchangeCycle& cycle);
  ~ExchangeTimer();
  ExchangeTimer(const ExchangeTimer&) = delete;
  ExchangeTimer& operator=(const ExchangeTimer&) = delete;

  void Start();
  void Stop();
  /// True from Start() to Stop(), also while a tick runs.
  bool IsActive() const { return m_running; }

  /// Fast exchange (off by default): replies judged as soon as they are
  /// complete, queued requests sent right after the line's gap.
  void SetFastExchange(bool on);
  bool FastExchange() const { return m_pacer.FastExchange(); }
  /// The reply time of requests that do not set their own (ms; 0: 100 ms).
  void SetReplyTimeoutMs(int ms) { m_pacer.SetReplyTimeoutMs(ms); }

 private:
  void RunStep();
  void OnArrival();

  ExchangeCycle& m_cycle;
  QElapsedTimer m_clock;
  ExchangePacer m_pacer;
  QTimer m_timer;
  bool m_running = false;
  bool m_stepping = false;
  /// Bytes came while a step or tick ran; they are looked at right after.
  bool m_arrivedMeanwhile = false;
  /// Expires with the timer, for the arrival handler left with the port.
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

}  // namespace zart::link

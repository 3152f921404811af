#pragma once

#include <cstdint>

#include <QElapsedTimer>
#include <QObject>

namespace zart::link {
class ExchangeCycle;
}

namespace zart::soak {

/// Times the starts of the exchange ticks from outside the program: an event
/// filter on the application sees every timer event of the 100 ms exchange
/// timer, including the ones delivered from events run inside a tick, and
/// the cycle's tick counter tells which of them really ran a tick.
class TickWatch : public QObject {
 public:
  explicit TickWatch(const link::ExchangeCycle& cycle);

  /// Forgets what was measured so far; the next tick starts the count.
  void Restart();
  /// Largest interval between the starts of two consecutive ticks, in ms.
  double MaxGapMs() const { return static_cast<double>(m_maxGapNs) / 1e6; }
  /// When the tick that ended the largest gap started, in ms after Restart().
  double MaxGapAtMs() const { return static_cast<double>(m_maxGapAtNs - m_restartNs) / 1e6; }
  /// Ticks whose start was seen since Restart().
  std::uint64_t Ticks() const { return m_ticks; }
  /// Intervals longer than 150 ms (one tick late) and longer than 500 ms.
  std::uint64_t LateTicks() const { return m_late; }
  std::uint64_t VeryLateTicks() const { return m_veryLate; }
  /// Mean interval between tick starts, in ms (0 before two ticks).
  double MeanGapMs() const;

  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RecordStart(qint64 ns);

  const link::ExchangeCycle& m_cycle;
  QElapsedTimer m_clock;
  bool m_havePending = false;
  qint64 m_pendingNs = 0;
  std::uint64_t m_pendingTicks = 0;
  bool m_haveLast = false;
  qint64 m_firstNs = 0;
  qint64 m_lastNs = 0;
  qint64 m_maxGapNs = 0;
  qint64 m_maxGapAtNs = 0;
  qint64 m_restartNs = 0;
  std::uint64_t m_ticks = 0;
  std::uint64_t m_late = 0;
  std::uint64_t m_veryLate = 0;
};

}  // namespace zart::soak

#pragma once

#include <cstdint>
#include <deque>
#include <vector>

namespace zart::monitor {

/// One point of the trends, in the main window's units.
struct TrendPoint {
  double seconds = 0;  ///< since start
  double engineRpm = 0;
  double shaftRpm = 0;
  double batteryVolts = 0;
  std::int64_t wallMs = 0;  ///< local wall clock, ms since the epoch
};

/// The last ten minutes of engine speed, shaft speed and battery voltage,
/// cut into runs wherever status replies paused (a transfer holding the
/// link, a lost link), so that a plot shows the pause as a gap.
class TrendBuffer {
 public:
  static constexpr double kWindowSeconds = 600;
  /// Replies normally come every 0.2 s; a longer silence is a gap.
  static constexpr double kGapSeconds = 1.0;

  /// Adds a point; points older than the window behind it are dropped.
  void Add(const TrendPoint& point);
  void Clear() { m_points.clear(); }

  /// The held points in runs without gaps, oldest first.
  std::vector<std::vector<TrendPoint>> Runs() const;
  double NewestSeconds() const { return m_points.empty() ? 0 : m_points.back().seconds; }
  std::size_t Size() const { return m_points.size(); }

 private:
  std::deque<TrendPoint> m_points;
};

}  // namespace zart::monitor

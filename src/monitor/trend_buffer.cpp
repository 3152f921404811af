#include "monitor/trend_buffer.h"

namespace zart::monitor {

void TrendBuffer::Add(const TrendPoint& point) {
  m_points.push_back(point);
  while (!m_points.empty() && m_points.front().seconds < point.seconds - kWindowSeconds) m_points.pop_front();
}

std::vector<std::vector<TrendPoint>> TrendBuffer::Runs() const {
  std::vector<std::vector<TrendPoint>> runs;
  double last = 0;
  for (const TrendPoint& p : m_points) {
    if (runs.empty() || p.seconds - last > kGapSeconds) runs.emplace_back();
    runs.back().push_back(p);
    last = p.seconds;
  }
  return runs;
}

}  // namespace zart::monitor

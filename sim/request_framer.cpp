#include "request_framer.h"

#include "controller.h"

namespace zart::sim {

int ExpectedRequestLength(std::span<const std::uint8_t> frame) {
  if (frame.size() < 2) return -1;
  switch (frame[1]) {
    case 4:
    case 6:
      return 8;
    case 16:
      return frame.size() < 7 ? -1 : 9 + frame[6];
    case 100:
      return 7;
    case 101:
      return frame.size() < 5 ? -1 : 7 + frame[4];
    default:
      return 0;
  }
}

std::vector<std::vector<std::uint8_t>> RequestFramer::Feed(std::span<const std::uint8_t> bytes, std::int64_t nowUs) {
  std::vector<std::vector<std::uint8_t>> frames;
  if (bytes.empty()) return frames;
  m_buf.insert(m_buf.end(), bytes.begin(), bytes.end());
  m_lastByteUs = nowUs;
  m_gapTried = false;

  // Look for the first offset at which a complete frame with a good CRC
  // stands; whatever precedes it is noise (or a frame that lost bytes).
  bool found = true;
  while (found && !m_buf.empty()) {
    found = false;
    for (std::size_t i = 0; i + 4 <= m_buf.size(); ++i) {
      const auto rest = std::span<const std::uint8_t>(m_buf).subspan(i);
      const int len = ExpectedRequestLength(rest);
      if (len <= 0 || static_cast<std::size_t>(len) > rest.size()) continue;
      if (!HasGoodCrc(rest.first(static_cast<std::size_t>(len)))) continue;
      frames.emplace_back(rest.begin(), rest.begin() + len);
      m_discarded += i;
      m_buf.erase(m_buf.begin(), m_buf.begin() + static_cast<std::ptrdiff_t>(i) + len);
      found = true;
      break;
    }
  }
  if (m_buf.size() > kMaxBuffered) {
    const std::size_t drop = m_buf.size() - kMaxBuffered;
    m_discarded += drop;
    m_buf.erase(m_buf.begin(), m_buf.begin() + static_cast<std::ptrdiff_t>(drop));
  }
  return frames;
}

std::optional<std::vector<std::uint8_t>> RequestFramer::Idle(std::int64_t nowUs) {
  if (m_buf.empty()) return std::nullopt;
  const std::int64_t silence = nowUs - m_lastByteUs;
  if (!m_gapTried && silence >= kFrameGapUs) {
    m_gapTried = true;
    if (m_buf.size() >= 4 && HasGoodCrc(m_buf)) {
      std::vector<std::uint8_t> frame;
      frame.swap(m_buf);
      return frame;
    }
  }
  if (silence > kStaleGapUs) {
    m_discarded += m_buf.size();
    m_buf.clear();
  }
  return std::nullopt;
}

void RequestFramer::Clear() {
  m_discarded += m_buf.size();
  m_buf.clear();
}

std::optional<std::int64_t> RequestFramer::NextDeadlineUs() const {
  if (m_buf.empty()) return std::nullopt;
  return m_gapTried ? m_lastByteUs + kStaleGapUs + 1 : m_lastByteUs + kFrameGapUs;
}

}  // namespace zart::sim

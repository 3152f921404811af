#include "link/mbap_deframer.h"

#include <algorithm>
#include <cstring>

namespace zart::link {

bool MbapDeframer::headerOk() {
  const int protocol = m_buf[2] << 8 | m_buf[3];
  const int length = m_buf[4] << 8 | m_buf[5];
  if (protocol == 0 && length >= 2 && length <= kMbapMaxLength) {
    m_needed = kMbapHeaderSize - 1 + length;
    return true;
  }
  // Not a frame start: slide by one byte. A reply cut short by a gateway,
  // followed by the next one, is found again this way.
  std::memmove(m_buf.data(), m_buf.data() + 1, static_cast<std::size_t>(m_count - 1));
  --m_count;
  ++m_dropped;
  return false;
}

std::size_t MbapDeframer::Feed(std::span<const std::uint8_t> bytes) {
  if (m_complete) {
    m_complete = false;
    m_count = 0;
    m_needed = kMbapHeaderSize;
  }
  std::size_t used = 0;
  while (used < bytes.size()) {
    const std::size_t take = std::min(bytes.size() - used, static_cast<std::size_t>(m_needed - m_count));
    std::memcpy(m_buf.data() + m_count, bytes.data() + used, take);
    m_count += static_cast<int>(take);
    used += take;
    if (m_count < m_needed) break;
    if (m_needed == kMbapHeaderSize && !headerOk()) continue;
    if (m_count == m_needed) {
      m_complete = true;
      break;
    }
  }
  return used;
}

std::optional<MbapFrame> MbapDeframer::Frame() const {
  if (!m_complete) return std::nullopt;
  MbapFrame f;
  f.transaction = static_cast<std::uint16_t>(m_buf[0] << 8 | m_buf[1]);
  f.unit = m_buf[6];
  f.pdu = std::span<const std::uint8_t>(m_buf.data() + kMbapHeaderSize, static_cast<std::size_t>(m_count - kMbapHeaderSize));
  return f;
}

void MbapDeframer::Reset() {
  if (!m_complete) m_dropped += static_cast<std::uint64_t>(m_count);
  m_complete = false;
  m_count = 0;
  m_needed = kMbapHeaderSize;
}

}  // namespace zart::link

#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "link/network_port.h"

namespace zart::testing {

/// A network link that connects at once, or is refused with `refusal`, and
/// answers every frame written through `answer` (null: silence), so the
/// reply waits for the exchange's next look.
class FakeNetworkPort : public link::NetworkPort {
 public:
  using Bytes = std::vector<std::uint8_t>;
  /// Non-empty: every Open fails with this reason, as a refused connection.
  QString refusal;
  std::function<std::optional<Bytes>(const Bytes&)> answer;
  std::vector<Bytes> written;
  int opens = 0;

  bool SetAddress(const link::LinkAddress& address) override {
    if (m_open) return false;
    m_address = address;
    return true;
  }
  const link::LinkAddress& Address() const override { return m_address; }
  QString LossReason() const override { return m_reason; }
  bool Connecting() const override { return false; }
  link::OpenResult Open() override {
    ++opens;
    link::OpenResult r;
    if (m_open || m_address.host.isEmpty()) r.status = link::OpenResult::Status::unavailable;
    m_reason = refusal;
    m_open = !m_open && !m_address.host.isEmpty() && refusal.isEmpty();
    return r;
  }
  void Close() override {
    m_open = false;
    m_reason.clear();
  }
  bool IsOpen() const override { return m_open; }
  bool DeviceLost() const override { return !m_reason.isEmpty(); }
  int BytesWaiting() override { return m_open ? static_cast<int>(m_incoming.size()) : 0; }
  int ReadByte() override {
    if (!m_open || m_incoming.empty()) return -1;
    const int b = m_incoming.front();
    m_incoming.pop_front();
    return b;
  }
  void Write(std::span<const std::uint8_t> frame) override {
    if (!m_open) return;
    written.emplace_back(frame.begin(), frame.end());
    if (!answer) return;
    if (const std::optional<Bytes> reply = answer(written.back())) m_incoming.insert(m_incoming.end(), reply->begin(), reply->end());
  }

 private:
  link::LinkAddress m_address;
  QString m_reason;
  bool m_open = false;
  std::deque<int> m_incoming;
};

}  // namespace zart::testing

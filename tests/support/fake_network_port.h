#pragma once

#include <functional>
#include <optional>

#include "link/network_port.h"
#include "support/fake_serial_port.h"

namespace zart::testing {

/// A network link that connects at once, or is refused with `refusal`; the
/// bytes travel over `line`, and `answer` (if set) answers each frame
/// written, so the reply waits for the exchange's next look.
class FakeNetworkPort : public link::NetworkPort {
 public:
  using Bytes = std::vector<std::uint8_t>;
  FakeSerialPort line;
  QString refusal;
  std::function<std::optional<Bytes>(const Bytes&)> answer;
  int opens = 0;

  bool SetAddress(const link::LinkAddress& address) override {
    if (line.IsOpen()) return false;
    m_address = address;
    return true;
  }
  const link::LinkAddress& Address() const override { return m_address; }
  QString LossReason() const override { return m_reason; }
  bool Connecting() const override { return false; }
  link::OpenResult Open() override {
    ++opens;
    m_reason = refusal;
    if (refusal.isEmpty()) return line.Open();
    link::OpenResult refused;
    refused.status = link::OpenResult::Status::unavailable;
    return refused;
  }
  void Close() override {
    line.Close();
    m_reason.clear();
  }
  bool IsOpen() const override { return line.IsOpen(); }
  bool DeviceLost() const override { return !m_reason.isEmpty(); }
  int BytesWaiting() override { return line.BytesWaiting(); }
  int ReadByte() override { return line.ReadByte(); }
  void Write(std::span<const std::uint8_t> frame) override {
    line.Write(frame);
    if (!answer || !IsOpen()) return;
    if (const std::optional<Bytes> reply = answer(line.written.back())) line.Receive(*reply);
  }

 private:
  link::LinkAddress m_address;
  QString m_reason;
};

}  // namespace zart::testing

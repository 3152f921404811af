#pragma once

#include <functional>

#include "link/port.h"

namespace zart::link {

class NetworkPort;
class SerialPort;

/// The link the exchange holds for the whole run: the serial port or the
/// network link to an Ethernet gateway, one of them in use at a time. The
/// port dialog switches between them while the exchange runs; whatever the
/// exchange asks goes to the one in use, and the other is kept closed.
class PortSwitch final : public Port {
 public:
  /// Starts on the serial port.
  PortSwitch(SerialPort& serial, NetworkPort& network);
  ~PortSwitch() override;
  PortSwitch(const PortSwitch&) = delete;
  PortSwitch& operator=(const PortSwitch&) = delete;

  SerialPort& Serial() { return m_serial; }
  NetworkPort& Network() { return m_network; }
  bool UsesNetwork() const { return m_usesNetwork; }
  /// Switches to the serial port or to the network link and closes the
  /// other one; nothing changes when that link is in use already.
  void UseSerial();
  void UseNetwork();

  OpenResult Open() override { return Active().Open(); }
  void Close() override { Active().Close(); }
  bool IsOpen() const override { return Active().IsOpen(); }
  int BytesWaiting() override { return Active().BytesWaiting(); }
  int ReadByte() override { return Active().ReadByte(); }
  void Write(std::span<const std::uint8_t> frame) override { Active().Write(frame); }
  bool DeviceLost() const override { return Active().DeviceLost(); }
  QString LinkName() const override { return Active().LinkName(); }
  QString FailureReason() const override { return Active().FailureReason(); }
  QString NotOpenMessage() const override { return Active().NotOpenMessage(); }
  bool SignalsArrival() const override { return Active().SignalsArrival(); }
  /// Only the link in use calls the handler.
  void SetArrivalHandler(std::function<void()> handler) override;
  int ReplyTimeoutMs() const override { return Active().ReplyTimeoutMs(); }
  std::span<const std::uint8_t> RequestHeader() const override { return Active().RequestHeader(); }
  std::span<const std::uint8_t> ReplyHeader() const override { return Active().ReplyHeader(); }

 private:
  Port& Active();
  const Port& Active() const;

  SerialPort& m_serial;
  NetworkPort& m_network;
  bool m_usesNetwork = false;
  std::function<void()> m_arrival;
};

}  // namespace zart::link

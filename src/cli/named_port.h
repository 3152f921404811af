#pragma once

#include <functional>
#include <memory>

#include "link/port.h"

namespace zart::cli {

/// A link as the command line names it in its messages: the device path
/// the user gave ("/dev/ttyUSB0") or the port number ("COM5") for a serial
/// port, the gateway's address for a network link, which then says "Нет
/// соединения с 192.168.10.20:4001: …" while it is down. Everything else
/// goes to the port inside.
class NamedPort final : public link::Port {
 public:
  /// `reason`: why the link is down, when the port inside does not say
  /// itself (a network link's loss); may be empty.
  NamedPort(std::unique_ptr<link::Port> inner, QString name, bool network, std::function<QString()> reason = {});

  link::OpenResult Open() override { return m_inner->Open(); }
  void Close() override { m_inner->Close(); }
  bool IsOpen() const override { return m_inner->IsOpen(); }
  int BytesWaiting() override { return m_inner->BytesWaiting(); }
  int ReadByte() override { return m_inner->ReadByte(); }
  void Write(std::span<const std::uint8_t> frame) override { m_inner->Write(frame); }
  bool DeviceLost() const override { return m_inner->DeviceLost(); }
  QString LinkName() const override { return m_name; }
  QString FailureReason() const override;
  QString NotOpenMessage() const override;

  /// A link through an Ethernet gateway (reconnected after a drop).
  bool Network() const { return m_network; }
  link::Port& Inner() { return *m_inner; }

 private:
  std::unique_ptr<link::Port> m_inner;
  QString m_name;
  bool m_network;
  std::function<QString()> m_reason;
};

}  // namespace zart::cli

#pragma once

#include <memory>

#include "link/port_map.h"
#include "link/serial_port.h"

namespace zart::link {

/// The serial port over Qt SerialPort: 115200 bit/s, 8 data bits, 1 stop
/// bit, no flow control. A device that disappears while open (a USB adapter
/// pulled out) is closed on the first read, write or resource error, so the
/// port then reads as closed instead of reporting errors in a loop.
class QtSerialPort final : public SerialPort {
 public:
  explicit QtSerialPort(PortMap map = {}, Parity parity = Parity::even);
  ~QtSerialPort() override;
  QtSerialPort(const QtSerialPort&) = delete;
  QtSerialPort& operator=(const QtSerialPort&) = delete;

  bool SetPortNumber(int n) override;
  int PortNumber() const override;
  QString DevicePath(int n) const override;
  OpenResult Open() override;
  void Close() override;
  bool IsOpen() const override;
  int BytesWaiting() override;
  int ReadByte() override;
  void Write(std::span<const std::uint8_t> frame) override;

  void SetPortMap(PortMap map);
  void SetParity(Parity parity);
  bool DeviceLost() const override;
  QString FailureReason() const override;
  /// The handler hears Qt's ready-read signal.
  bool SignalsArrival() const override { return true; }
  void SetArrivalHandler(std::function<void()> handler) override;

 private:
  OpenResult OpenNow();
  struct Impl;
  std::unique_ptr<Impl> m;
};

}  // namespace zart::link

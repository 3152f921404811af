#pragma once

#include <memory>

#include "link/port_map.h"
#include "link/serial_port.h"

namespace zart::link {

/// The serial port on Windows, over the Win32 communications API: 115200
/// bit/s, 8 data bits, 1 stop bit, binary mode, no flow control. The port is
/// opened as \\.\COMn, so COM10 and above work too. Reads return at once
/// with what the driver holds; writes are overlapped, so Write returns while
/// the frame is still going out. A device that disappears while open (a USB
/// adapter pulled out) is closed on the first failed call.
class Win32SerialPort final : public SerialPort {
 public:
  explicit Win32SerialPort(PortMap map = {}, Parity parity = Parity::even);
  ~Win32SerialPort() override;
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

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

 private:
  OpenResult OpenNow();
  struct Impl;
  std::unique_ptr<Impl> m;
};

}  // namespace zart::link

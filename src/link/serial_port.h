#pragma once

#include <cstdint>
#include <span>

#include <QString>

namespace zart::link {

/// Line parity, from the settings file's "Parity" key ("E", "N" or "O").
enum class Parity { even, none, odd };

/// Parses "E", "N" or "O" (any case, blanks ignored); anything else is even,
/// the usual Modbus RTU framing with one stop bit.
inline Parity ParseParity(const QString& text) {
  const QString t = text.trimmed().toUpper();
  if (t == QStringLiteral("N")) return Parity::none;
  if (t == QStringLiteral("O")) return Parity::odd;
  return Parity::even;
}

/// How an attempt to open the port ended.
struct OpenResult {
  enum class Status {
    ok,
    /// The device exists but another program holds or has locked it.
    busy,
    /// Missing device, permission refused, a rejected port number or any
    /// other failure.
    unavailable,
  };
  Status status = Status::ok;
  /// The reason in Russian with the operating system's own text after it,
  /// for example "/dev/ttyUSB0: доступ запрещён (Permission denied)"; empty
  /// on success.
  QString reason;
  /// The refusal was a missing permission (on Linux usually the dialout group).
  bool permissionDenied = false;

  bool ok() const { return status == Status::ok; }
};

/// The serial port the exchange talks through: 115200 bit/s, 8 data bits,
/// 1 stop bit, raw bytes. One object for the whole run; the port dialog
/// closes, renumbers and reopens the same object.
class SerialPort {
 public:
  virtual ~SerialPort() = default;

  /// Selects port number n (COMn). 1..255 are accepted; 0 and anything
  /// outside are rejected, as is any change while the port is open. A
  /// rejected number leaves the last accepted one in force.
  virtual bool SetPortNumber(int n) = 0;
  virtual int PortNumber() const = 0;
  /// The device path that port number n maps to on this machine.
  virtual QString DevicePath(int n) const = 0;

  /// Opens the current port number. Fails when already open.
  virtual OpenResult Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  /// Received bytes not yet read, counting everything the operating system
  /// has received so far; 0 when none or while closed.
  virtual int BytesWaiting() = 0;
  /// The oldest unread byte, 0..255, or -1 when none is waiting.
  virtual int ReadByte() = 0;
  /// Queues the whole frame for transmission and returns at once.
  virtual void Write(std::span<const std::uint8_t> frame) = 0;

  /// True after the open device vanished (a USB adapter pulled out) and the
  /// port was closed for it; cleared by a successful Open or by Close.
  virtual bool DeviceLost() const { return false; }
};

}  // namespace zart::link

#pragma once

#include <QString>

#include "link/port.h"

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

/// The serial port the exchange talks through: 115200 bit/s, 8 data bits,
/// 1 stop bit, raw bytes. One object for the whole run; the port dialog
/// closes, renumbers and reopens the same object.
class SerialPort : public Port {
 public:
  /// Selects port number n (COMn). 1..255 are accepted; 0 and anything
  /// outside are rejected, as is any change while the port is open. A
  /// rejected number leaves the last accepted one in force.
  virtual bool SetPortNumber(int n) = 0;
  virtual int PortNumber() const = 0;
  /// The device path that port number n maps to on this machine.
  virtual QString DevicePath(int n) const = 0;

  /// "COM" and the port number in force: "COM5".
  QString LinkName() const override { return QStringLiteral("COM") + QString::number(PortNumber()); }
};

}  // namespace zart::link

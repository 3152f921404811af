#pragma once

#include <map>
#include <memory>

#include <QString>

#include "cli/named_port.h"
#include "link/link_address.h"
#include "link/serial_port.h"

namespace zart::cli {

/// A serial port as the command line chose it.
struct SerialChoice {
  /// COMn; 0 when `device` names the device itself.
  int number = 0;
  /// A device path ("/dev/ttyUSB0"); empty for COMn.
  QString device;
  /// Section "Ports" of the settings file: port numbers mapped to devices.
  std::map<int, QString> ports;
  link::Parity parity = link::Parity::even;
  /// How messages name the port: "COM5" or the device path.
  QString name;
};

/// Makes the links the command line talks through. The program supplies it,
/// so that the logic here stays clear of the serial and network adapters.
class LinkFactory {
 public:
  virtual ~LinkFactory() = default;
  /// The serial port, not yet open; null with the reason in `error` when
  /// this system cannot have it (a device path on Windows).
  virtual std::unique_ptr<NamedPort> Serial(const SerialChoice& choice, QString* error) = 0;
  /// The link to an Ethernet gateway, not yet connected.
  virtual std::unique_ptr<NamedPort> Network(const link::LinkAddress& address, QString* error) = 0;
};

}  // namespace zart::cli

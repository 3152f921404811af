#pragma once

#include <span>

#include "controller.h"
#include "support/fake_serial_port.h"

namespace zart::testing {

/// A serial port with the simulator's controller core on the line: every
/// frame written while the port is open is answered at once, so the reply
/// waits for the next tick of the exchange. The one fake controller of the
/// unit tests; its EEPROM and address are the simulator's.
class SimPort : public FakeSerialPort {
 public:
  sim::Controller controller{sim::EepromImage::Defaults(0), 7};
  bool silent = false;  // the controller does not answer

  void Write(std::span<const std::uint8_t> frame) override {
    FakeSerialPort::Write(frame);
    if (!IsOpen() || silent) return;
    if (const auto reply = controller.HandleRequest(frame)) Receive(*reply);
  }
  /// One byte of the controller's EEPROM.
  int Eeprom(int address) const { return controller.Eeprom().At(address); }
};

}  // namespace zart::testing

#include "link/port_switch.h"

#include "link/network_port.h"
#include "link/serial_port.h"

namespace zart::link {

PortSwitch::PortSwitch(SerialPort& serial, NetworkPort& network) : m_serial(serial), m_network(network) {}

PortSwitch::~PortSwitch() {
  // The ports may outlive the switch; nothing may call into it then.
  if (m_arrival) {
    m_serial.SetArrivalHandler({});
    m_network.SetArrivalHandler({});
  }
}

Port& PortSwitch::Active() { return m_usesNetwork ? static_cast<Port&>(m_network) : m_serial; }
const Port& PortSwitch::Active() const { return m_usesNetwork ? static_cast<const Port&>(m_network) : m_serial; }

void PortSwitch::UseSerial() {
  if (!m_usesNetwork) return;
  m_network.Close();
  m_usesNetwork = false;
}

void PortSwitch::UseNetwork() {
  if (m_usesNetwork) return;
  // The device is left free for other programs while the gateway is used.
  m_serial.Close();
  m_usesNetwork = true;
}

void PortSwitch::SetArrivalHandler(std::function<void()> handler) {
  m_arrival = std::move(handler);
  if (!m_arrival) {
    m_serial.SetArrivalHandler({});
    m_network.SetArrivalHandler({});
    return;
  }
  m_serial.SetArrivalHandler([this] {
    if (!m_usesNetwork) m_arrival();
  });
  m_network.SetArrivalHandler([this] {
    if (m_usesNetwork) m_arrival();
  });
}

}  // namespace zart::link

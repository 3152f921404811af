#include "link/port_reconnector.h"

#include "link/serial_port.h"

namespace zart::link {

PortReconnector::PortReconnector(SerialPort& port) : m_port(port) {
  m_timer.setInterval(kIntervalMs);
  QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Attempt(); });
}

void PortReconnector::Start() { m_timer.start(); }

void PortReconnector::Attempt() {
  if (!m_port.DeviceLost() || m_port.IsOpen()) {
    m_lostPort = 0;
    return;
  }
  if (m_lostPort == 0) m_lostPort = m_port.PortNumber();
  // Only the port that was lost, and only while nobody is choosing another.
  if (!m_enabled || m_port.PortNumber() != m_lostPort) return;
  ++m_attempts;
  // A failure is expected while the adapter is away; the exchange keeps
  // showing its no-answer message meanwhile.
  if (m_port.Open().ok()) m_lostPort = 0;
}

}  // namespace zart::link

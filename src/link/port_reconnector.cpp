#include "link/port_reconnector.h"

#include "link/serial_port.h"

namespace zart::link {

PortReconnector::PortReconnector(SerialPort& port) : m_port(port) {
  m_timer.setInterval(kIntervalMs);
  QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Attempt(); });
}

void PortReconnector::Start() { m_timer.start(); }

void PortReconnector::SetEnabled(bool enabled) {
  // The dialog's probing opens other ports, which clears the port's own
  // record of the loss; remember the lost port number before it starts.
  if (!enabled) NoteLoss();
  m_enabled = enabled;
}

void PortReconnector::NoteLoss() {
  if (m_lostPort == 0 && m_port.DeviceLost() && !m_port.IsOpen()) m_lostPort = m_port.PortNumber();
}

void PortReconnector::Attempt() {
  // While the port dialog owns the port it opens and closes ports at will;
  // none of that says anything about the lost device.
  if (!m_enabled) return;
  if (m_port.IsOpen()) {
    m_lostPort = 0;
    m_closedTicks = 0;
    return;
  }
  NoteLoss();
  if (m_lostPort == 0) {
    if (++m_closedTicks % kClosedPortIntervals != 0) return;
    ++m_attempts;
    m_port.Open();
    return;
  }
  // Only the port that was lost: a user who chose another number meanwhile
  // has given up on it.
  if (m_port.PortNumber() != m_lostPort) {
    m_lostPort = 0;
    return;
  }
  ++m_attempts;
  // A failure is expected while the adapter is away; the exchange keeps
  // showing its no-answer message meanwhile.
  if (m_port.Open().ok()) m_lostPort = 0;
}

}  // namespace zart::link

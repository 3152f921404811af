#pragma once

#include <QTimer>

namespace zart::link {

class SerialPort;

/// Reopens the port once a second after its device vanished, on the same
/// port number only: a pulled USB adapter that is plugged back in carries
/// on as if the link had only been silent. It never opens another port, and
/// it stands aside while the user is choosing a port.
class PortReconnector {
 public:
  static constexpr int kIntervalMs = 1000;

  explicit PortReconnector(SerialPort& port);
  void Start();
  /// False while the port dialog owns the port.
  void SetEnabled(bool enabled) { m_enabled = enabled; }
  /// One attempt, as the timer makes it; public for tests.
  void Attempt();
  int Attempts() const { return m_attempts; }

 private:
  SerialPort& m_port;
  QTimer m_timer;
  bool m_enabled = true;
  int m_lostPort = 0;
  int m_attempts = 0;
};

}  // namespace zart::link

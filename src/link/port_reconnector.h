#pragma once

#include <QTimer>

namespace zart::link {

class SerialPort;

/// Reopens the port once a second after its device vanished, on the same
/// port number only: a pulled USB adapter that is plugged back in carries
/// on as if the link had only been silent. A port that is closed for any
/// other reason (it could not be opened at start-up, or the port dialog
/// could not reopen it) is tried every two seconds on the number in force,
/// so the link comes back by itself once the adapter is there. It never
/// opens another port, and it stands aside while the user is choosing one.
class PortReconnector {
 public:
  static constexpr int kIntervalMs = 1000;
  /// Attempts on a port that was never lost, every this many intervals.
  static constexpr int kClosedPortIntervals = 2;

  explicit PortReconnector(SerialPort& port);
  void Start();
  /// False while the port dialog owns the port. A port that vanished before
  /// the dialog opened is still reopened after it closes, as long as the
  /// dialog left the same port number in force and did not open it.
  void SetEnabled(bool enabled);
  /// One attempt, as the timer makes it; public for tests.
  void Attempt();
  int Attempts() const { return m_attempts; }

 private:
  /// Records the port number in force when its device has vanished.
  void NoteLoss();

  SerialPort& m_port;
  QTimer m_timer;
  bool m_enabled = true;
  int m_lostPort = 0;
  int m_attempts = 0;
  int m_closedTicks = 0;
};

}  // namespace zart::link

#pragma once

#include <map>

#include <QString>

namespace zart::link {

/// Maps the port numbers the user sees (COM1..COM255) to serial devices.
/// On Windows COMn is the device "COMn" and entries are not used. Elsewhere
/// an explicit entry wins
/// (from the settings file's section "Ports", e.g. COM3=/dev/ttyUSB0);
/// without one COM1..4 are /dev/ttyS0..3, COM5..12 /dev/ttyUSB0..7 and
/// COM13..16 /dev/ttyACM0..3, and higher numbers have no device.
class PortMap {
 public:
  PortMap() = default;
  explicit PortMap(std::map<int, QString> overrides) : m_overrides(std::move(overrides)) {}

  /// The device for port n, or an empty string when n maps to none.
  QString DevicePath(int n) const;

  void SetOverride(int n, const QString& device) { m_overrides[n] = device; }
  const std::map<int, QString>& Overrides() const { return m_overrides; }

 private:
  std::map<int, QString> m_overrides;
};

}  // namespace zart::link

#include "link/port_map.h"

namespace zart::link {

QString PortMap::DevicePath(int n) const {
#ifdef Q_OS_WIN
  // Windows names every serial port COMn itself; the settings file's
  // device list is for other systems.
  return QStringLiteral("COM") + QString::number(n);
#else
  if (auto it = m_overrides.find(n); it != m_overrides.end() && !it->second.trimmed().isEmpty()) {
    return it->second.trimmed();
  }
  if (n >= 1 && n <= 4) return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
  if (n >= 5 && n <= 12) return QStringLiteral("/dev/ttyUSB") + QString::number(n - 5);
  if (n >= 13 && n <= 16) return QStringLiteral("/dev/ttyACM") + QString::number(n - 13);
  return {};
#endif
}

}  // namespace zart::link

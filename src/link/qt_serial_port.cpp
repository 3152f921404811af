#include "link/qt_serial_port.h"

#include <QFileInfo>
#include <QSerialPort>

#include "link/readable_now.h"
#include "link/system_reason.h"

#include <cerrno>
#include <cstring>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zart::link {

struct QtSerialPort::Impl {
  PortMap map;
  Parity parity = Parity::even;
  int portNumber = 1;
  QSerialPort port;
  QByteArray pending;  // bytes taken from Qt's buffer, not yet handed out
  qsizetype pendingPos = 0;
  bool lost = false;
  QString failure;  // why the port is not open, for the status line
  std::function<void()> arrival;
  bool pumping = false;  // inside our own read: Qt's ready-read is ours

  void dropOnError(QSerialPort::SerialPortError error) {
    switch (error) {
      case QSerialPort::ResourceError:
      case QSerialPort::ReadError:
      case QSerialPort::WriteError:
        // A vanished device keeps signalling readiness; without closing, Qt
        // reports the error again at every event loop pass.
        if (port.isOpen()) {
          lost = true;
          failure = DescribeReason(port.portName(), SystemCause::device_gone, QString());
          port.close();
        }
        break;
      case QSerialPort::NoError:
      case QSerialPort::DeviceNotFoundError:
      case QSerialPort::PermissionError:
      case QSerialPort::OpenError:
      case QSerialPort::NotOpenError:
      case QSerialPort::TimeoutError:
      case QSerialPort::UnsupportedOperationError:
      case QSerialPort::UnknownError:
        break;
    }
  }

  std::size_t unread() const { return static_cast<std::size_t>(pending.size() - pendingPos); }

  /// Takes what the system holds into `pending`. Called only once
  /// `pending` has been read to its end: asking the system costs a system
  /// call, and a reply is read a byte at a time.
  void pump() {
    if (!port.isOpen()) return;
    pumping = true;
    // Pull in whatever the operating system holds right now, not only what
    // the event loop has already read.
    if (ReadableNow(port.handle())) port.waitForReadyRead(0);
    if (port.isOpen() && port.bytesAvailable() > 0) {
      if (pendingPos >= pending.size()) {
        pending.clear();
        pendingPos = 0;
      }
      pending.append(port.readAll());
    }
    pumping = false;
  }
};

QtSerialPort::QtSerialPort(PortMap map, Parity parity) : m(std::make_unique<Impl>()) {
  m->map = std::move(map);
  m->parity = parity;
  QObject::connect(&m->port, &QSerialPort::errorOccurred, &m->port,
                   [impl = m.get()](QSerialPort::SerialPortError e) { impl->dropOnError(e); });
  QObject::connect(&m->port, &QIODevice::readyRead, &m->port, [impl = m.get()] {
    if (!impl->pumping && impl->arrival) impl->arrival();
  });
}

void QtSerialPort::SetArrivalHandler(std::function<void()> handler) { m->arrival = std::move(handler); }

QtSerialPort::~QtSerialPort() = default;

bool QtSerialPort::SetPortNumber(int n) {
  if (n < 1 || n > 255 || m->port.isOpen()) return false;
  m->portNumber = n;
  return true;
}

int QtSerialPort::PortNumber() const { return m->portNumber; }

QString QtSerialPort::DevicePath(int n) const { return m->map.DevicePath(n); }

void QtSerialPort::SetPortMap(PortMap map) { m->map = std::move(map); }
void QtSerialPort::SetParity(Parity parity) { m->parity = parity; }
bool QtSerialPort::DeviceLost() const { return m->lost; }

namespace {

QString systemReason(const QString& device, int err) {
  return DescribeReason(device, CauseOfErrno(err), QString::fromLocal8Bit(std::strerror(err)));
}

SystemCause causeOf(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::DeviceNotFoundError: return SystemCause::not_found;
    case QSerialPort::PermissionError: return SystemCause::permission;
    case QSerialPort::OpenError: return SystemCause::already_open;
    case QSerialPort::ResourceError: return SystemCause::device_gone;
    case QSerialPort::ReadError:
    case QSerialPort::WriteError: return SystemCause::io_error;
    case QSerialPort::TimeoutError: return SystemCause::timeout;
    case QSerialPort::UnsupportedOperationError: return SystemCause::unsupported;
    case QSerialPort::NoError:
    case QSerialPort::NotOpenError:
    case QSerialPort::UnknownError: return SystemCause::other;
  }
  return SystemCause::other;
}

}  // namespace

OpenResult QtSerialPort::Open() {
  OpenResult result = OpenNow();
  m->failure = result.ok() ? QString() : result.reason;
  return result;
}

QString QtSerialPort::FailureReason() const { return m->failure; }

OpenResult QtSerialPort::OpenNow() {
  OpenResult result;
  const QString device = m->map.DevicePath(m->portNumber);
  if (m->port.isOpen()) {
    result.status = OpenResult::Status::unavailable;
    result.reason = DescribeReason(device, SystemCause::already_open, QString());
    return result;
  }
  if (device.isEmpty()) {
    result.status = OpenResult::Status::unavailable;
    result.reason = DescribeReason(QStringLiteral("COM") + QString::number(m->portNumber), SystemCause::no_device, QString());
    return result;
  }

  m->port.setPortName(device);
  m->port.setBaudRate(QSerialPort::Baud115200);
  m->port.setDataBits(QSerialPort::Data8);
  m->port.setStopBits(QSerialPort::OneStop);
  m->port.setFlowControl(QSerialPort::NoFlowControl);
  switch (m->parity) {
    case Parity::even: m->port.setParity(QSerialPort::EvenParity); break;
    case Parity::none: m->port.setParity(QSerialPort::NoParity); break;
    case Parity::odd: m->port.setParity(QSerialPort::OddParity); break;
  }

  if (m->port.open(QIODevice::ReadWrite)) {
    m->port.clear();
    m->pending.clear();
    m->pendingPos = 0;
    m->lost = false;
    return result;
  }

  const QSerialPort::SerialPortError error = m->port.error();
  const QString qtReason = m->port.errorString();
  m->port.clearError();
  result.status = OpenResult::Status::unavailable;
  result.reason = DescribeReason(device, causeOf(error), qtReason);

#ifndef Q_OS_WIN
  if (error == QSerialPort::PermissionError) {
    // Qt reports a lock held by another program, an exclusive open and a
    // missing permission alike; tell them apart. The lock is recognised by
    // Qt's English text, which is why Qt SerialPort's own translation is
    // not loaded.
    if (qtReason.contains(QStringLiteral("lock"), Qt::CaseInsensitive)) {
      result.status = OpenResult::Status::busy;
      result.reason = DescribeReason(device, SystemCause::busy, qtReason);
    } else {
      const QByteArray path = QFile::encodeName(device);
      const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const int err = errno;
      if (fd >= 0) {
        ::close(fd);
      } else if (err == EBUSY) {
        result.status = OpenResult::Status::busy;
        result.reason = systemReason(device, err);
      } else if (err == EACCES || err == EPERM) {
        result.permissionDenied = true;
        result.reason = systemReason(device, err);
      }
    }
  } else if (error == QSerialPort::DeviceNotFoundError && !QFileInfo::exists(device)) {
    result.reason = systemReason(device, ENOENT);
  }
#else
  // Windows refuses a port another program has open with "access denied".
  if (error == QSerialPort::PermissionError) {
    result.status = OpenResult::Status::busy;
    result.reason = DescribeReason(device, SystemCause::busy, qtReason);
  }
#endif
  return result;
}

void QtSerialPort::Close() {
  m->lost = false;
  m->failure.clear();
  if (m->port.isOpen()) m->port.close();
  m->pending.clear();
  m->pendingPos = 0;
}

bool QtSerialPort::IsOpen() const { return m->port.isOpen(); }

int QtSerialPort::BytesWaiting() {
  if (m->unread() == 0) m->pump();
  return static_cast<int>(m->unread());
}

int QtSerialPort::ReadByte() {
  if (m->pendingPos >= m->pending.size()) {
    m->pump();
    if (m->pendingPos >= m->pending.size()) return -1;
  }
  return static_cast<unsigned char>(m->pending[m->pendingPos++]);
}

void QtSerialPort::Write(std::span<const std::uint8_t> frame) {
  if (!m->port.isOpen()) return;
  m->port.write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
  // Hand the frame to the driver now rather than at the next event loop pass.
  if (m->port.isOpen()) m->port.flush();
}

}  // namespace zart::link

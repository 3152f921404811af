#include "link/win32_serial_port.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <QByteArray>

#include "link/system_reason.h"

namespace zart::link {
namespace {

SystemCause causeOf(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return SystemCause::not_found;
    // Windows refuses a port another program has open with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return SystemCause::busy;
    case ERROR_TOO_MANY_OPEN_FILES: return SystemCause::too_many_files;
    case ERROR_GEN_FAILURE:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED: return SystemCause::device_gone;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return SystemCause::unsupported;
    case ERROR_SEM_TIMEOUT: return SystemCause::timeout;
    default: return SystemCause::other;
  }
}

/// The system's own text for an error code, in the language of Windows.
QString systemText(DWORD err) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, err, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  QString text;
  if (n > 0 && buffer) text = QString::fromWCharArray(buffer, static_cast<qsizetype>(n)).trimmed();
  if (buffer) LocalFree(buffer);
  if (text.endsWith(QLatin1Char('.'))) text.chop(1);
  if (text.isEmpty()) text = QStringLiteral("код ошибки %1").arg(err);
  return text;
}

}  // namespace

struct Win32SerialPort::Impl {
  PortMap map;
  Parity parity = Parity::even;
  int portNumber = 1;
  HANDLE handle = INVALID_HANDLE_VALUE;
  OVERLAPPED readOv{};
  OVERLAPPED writeOv{};
  bool writePending = false;
  QByteArray writeBuffer;  // must outlive the overlapped write that sends it
  QByteArray pending;      // bytes read from the driver, not yet handed out
  qsizetype pendingPos = 0;
  bool lost = false;
  QString failure;  // why the port is not open, for the status line

  bool isOpen() const { return handle != INVALID_HANDLE_VALUE; }

  void close() {
    if (!isOpen()) return;
    if (writePending) {
      CancelIo(handle);
      DWORD done = 0;
      GetOverlappedResult(handle, &writeOv, &done, TRUE);
      writePending = false;
    }
    CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    pending.clear();
    pendingPos = 0;
  }

  /// A call on an open port failed: the device has gone.
  void drop() {
    close();
    lost = true;
    failure = DescribeReason(map.DevicePath(portNumber), SystemCause::device_gone, QString());
  }

  void pump() {
    if (!isOpen()) return;
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle, &errors, &stat)) {
      drop();
      return;
    }
    if (stat.cbInQue == 0) return;
    if (pendingPos >= pending.size()) {
      pending.clear();
      pendingPos = 0;
    }
    const qsizetype start = pending.size();
    pending.resize(start + static_cast<qsizetype>(stat.cbInQue));
    DWORD got = 0;
    ResetEvent(readOv.hEvent);
    BOOL ok = ReadFile(handle, pending.data() + start, stat.cbInQue, &got, &readOv);
    // With "return at once" read time-outs an overlapped read completes
    // immediately; waiting for the result does not block.
    if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(handle, &readOv, &got, TRUE);
    if (!ok) {
      drop();
      return;
    }
    pending.resize(start + static_cast<qsizetype>(got));
  }

  /// Waits for the previous frame to be handed to the driver. At 115200
  /// bit/s the longest frame takes about 23 ms on the wire.
  bool finishWrite() {
    if (!writePending) return true;
    writePending = false;
    DWORD done = 0;
    return GetOverlappedResult(handle, &writeOv, &done, TRUE) != FALSE;
  }
};

Win32SerialPort::Win32SerialPort(PortMap map, Parity parity) : m(std::make_unique<Impl>()) {
  m->map = std::move(map);
  m->parity = parity;
  m->readOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m->writeOv.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

Win32SerialPort::~Win32SerialPort() {
  m->close();
  if (m->readOv.hEvent) CloseHandle(m->readOv.hEvent);
  if (m->writeOv.hEvent) CloseHandle(m->writeOv.hEvent);
}

bool Win32SerialPort::SetPortNumber(int n) {
  if (n < 1 || n > 255 || m->isOpen()) return false;
  m->portNumber = n;
  return true;
}

int Win32SerialPort::PortNumber() const { return m->portNumber; }
QString Win32SerialPort::DevicePath(int n) const { return m->map.DevicePath(n); }
void Win32SerialPort::SetPortMap(PortMap map) { m->map = std::move(map); }
void Win32SerialPort::SetParity(Parity parity) { m->parity = parity; }
bool Win32SerialPort::DeviceLost() const { return m->lost; }
bool Win32SerialPort::IsOpen() const { return m->isOpen(); }

OpenResult Win32SerialPort::Open() {
  OpenResult result = OpenNow();
  m->failure = result.ok() ? QString() : result.reason;
  return result;
}

QString Win32SerialPort::FailureReason() const { return m->failure; }

OpenResult Win32SerialPort::OpenNow() {
  OpenResult result;
  const QString device = m->map.DevicePath(m->portNumber);
  if (m->isOpen()) {
    result.status = OpenResult::Status::unavailable;
    result.reason = DescribeReason(device, SystemCause::already_open, QString());
    return result;
  }

  const std::wstring path = (QStringLiteral("\\\\.\\") + device).toStdWString();
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  DWORD err = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;

  if (h != INVALID_HANDLE_VALUE) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{};
    // Reads return at once with whatever has arrived.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    // A write that cannot finish (a stalled adapter) fails instead of
    // hanging the exchange: 1 ms per byte plus half a second.
    timeouts.WriteTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = 500;
    const bool ok = GetCommState(h, &dcb) && [&] {
      dcb.BaudRate = CBR_115200;
      dcb.ByteSize = 8;
      dcb.StopBits = ONESTOPBIT;
      dcb.fBinary = TRUE;
      dcb.Parity = m->parity == Parity::none ? NOPARITY : m->parity == Parity::odd ? ODDPARITY : EVENPARITY;
      dcb.fParity = m->parity == Parity::none ? FALSE : TRUE;
      dcb.fOutxCtsFlow = FALSE;
      dcb.fOutxDsrFlow = FALSE;
      dcb.fDtrControl = DTR_CONTROL_ENABLE;
      dcb.fRtsControl = RTS_CONTROL_ENABLE;
      dcb.fDsrSensitivity = FALSE;
      dcb.fOutX = FALSE;
      dcb.fInX = FALSE;
      dcb.fErrorChar = FALSE;
      dcb.fNull = FALSE;
      dcb.fAbortOnError = FALSE;
      return SetCommState(h, &dcb) != FALSE;
    }() && SetCommTimeouts(h, &timeouts);
    if (!ok) {
      err = GetLastError();
      CloseHandle(h);
      h = INVALID_HANDLE_VALUE;
    }
  }

  if (h == INVALID_HANDLE_VALUE) {
    const SystemCause cause = causeOf(err);
    result.status = cause == SystemCause::busy ? OpenResult::Status::busy : OpenResult::Status::unavailable;
    result.reason = DescribeReason(device, cause, systemText(err));
    return result;
  }

  SetupComm(h, 4096, 4096);
  PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
  m->handle = h;
  m->writePending = false;
  m->pending.clear();
  m->pendingPos = 0;
  m->lost = false;
  return result;
}

void Win32SerialPort::Close() {
  m->lost = false;
  m->failure.clear();
  m->close();
}

int Win32SerialPort::BytesWaiting() {
  m->pump();
  return static_cast<int>(m->pending.size() - m->pendingPos);
}

int Win32SerialPort::ReadByte() {
  if (m->pendingPos >= m->pending.size()) {
    m->pump();
    if (m->pendingPos >= m->pending.size()) return -1;
  }
  return static_cast<unsigned char>(m->pending[m->pendingPos++]);
}

void Win32SerialPort::Write(std::span<const std::uint8_t> frame) {
  if (!m->isOpen() || frame.empty()) return;
  if (!m->finishWrite()) {
    m->drop();
    return;
  }
  m->writeBuffer = QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
  ResetEvent(m->writeOv.hEvent);
  DWORD sent = 0;
  if (WriteFile(m->handle, m->writeBuffer.constData(), static_cast<DWORD>(m->writeBuffer.size()), &sent,
                &m->writeOv)) {
    return;
  }
  if (GetLastError() == ERROR_IO_PENDING) {
    m->writePending = true;
    return;
  }
  m->drop();
}

}  // namespace zart::link

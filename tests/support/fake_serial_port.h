#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <span>
#include <vector>

#include "link/serial_port.h"

namespace zart::testing {

/// A serial port that plays scripted bytes and records what was written.
/// Port numbers in `openable` open; those in `busy` fail as held by another
/// program, those in `denied` for lack of permission; all others fail as
/// not available.
class FakeSerialPort : public link::SerialPort {
 public:
  std::set<int> openable{1};
  std::set<int> busy;
  std::set<int> denied;
  std::deque<int> incoming;                      // bytes "received", oldest first
  std::vector<std::vector<std::uint8_t>> written;  // frames written, in order

  bool SetPortNumber(int n) override {
    if (n < 1 || n > 255 || m_open) return false;
    m_number = n;
    return true;
  }
  int PortNumber() const override { return m_number; }
  QString DevicePath(int n) const override { return QStringLiteral("/dev/fake%1").arg(n); }

  link::OpenResult Open() override {
    link::OpenResult r;
    if (m_open) {
      r.status = link::OpenResult::Status::unavailable;
      r.reason = QStringLiteral("already open");
    } else if (busy.count(m_number)) {
      r.status = link::OpenResult::Status::busy;
      r.reason = DevicePath(m_number) + QStringLiteral(": Device or resource busy");
    } else if (denied.count(m_number)) {
      r.status = link::OpenResult::Status::unavailable;
      r.reason = DevicePath(m_number) + QStringLiteral(": Permission denied");
      r.permissionDenied = true;
    } else if (!openable.count(m_number)) {
      r.status = link::OpenResult::Status::unavailable;
      r.reason = DevicePath(m_number) + QStringLiteral(": No such file or directory");
    } else {
      m_open = true;
      lost = false;
    }
    failure = r.reason;
    return r;
  }
  QString FailureReason() const override { return failure; }
  QString failure;
  void Close() override {
    m_open = false;
    lost = false;
  }
  bool DeviceLost() const override { return lost; }
  /// The device vanishes while open, as a pulled USB adapter does.
  void Vanish() {
    m_open = false;
    lost = true;
  }
  bool lost = false;
  bool IsOpen() const override { return m_open; }

  int BytesWaiting() override { return m_open ? static_cast<int>(incoming.size()) : 0; }
  int ReadByte() override {
    if (!m_open || incoming.empty()) return -1;
    const int b = incoming.front();
    incoming.pop_front();
    return b;
  }
  void Write(std::span<const std::uint8_t> frame) override {
    if (m_open) written.emplace_back(frame.begin(), frame.end());
  }

  /// Queues bytes as if the controller had sent them.
  void Receive(std::span<const std::uint8_t> bytes) { incoming.insert(incoming.end(), bytes.begin(), bytes.end()); }
  void ForceOpen(bool open) { m_open = open; }

 private:
  int m_number = 1;
  bool m_open = false;
};

}  // namespace zart::testing

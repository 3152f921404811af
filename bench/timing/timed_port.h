#pragma once

#include <QElapsedTimer>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/qt_serial_port.h"

namespace zart::timing {

/// The real serial port with a stopwatch: when each frame was written and
/// when the exchange first looked for its reply afterwards (the start of the
/// tick that judges it). Measures the program from outside, through the port
/// it is handed, so the program itself carries nothing for the measurement.
class TimedPort final : public link::SerialPort {
 public:
  /// One request: written at `writtenNs`, its reply first looked for at
  /// `judgedNs` (-1 while not yet), both on the port's own clock.
  struct Exchange {
    qint64 writtenNs = 0;
    qint64 judgedNs = -1;
    std::uint8_t function = 0;
  };

  explicit TimedPort(link::PortMap map) : m_inner(std::move(map)) { m_clock.start(); }

  bool SetPortNumber(int n) override { return m_inner.SetPortNumber(n); }
  int PortNumber() const override { return m_inner.PortNumber(); }
  QString DevicePath(int n) const override { return m_inner.DevicePath(n); }
  link::OpenResult Open() override { return m_inner.Open(); }
  void Close() override { m_inner.Close(); }
  bool IsOpen() const override { return m_inner.IsOpen(); }
  int BytesWaiting() override {
    if (!m_exchanges.empty() && m_exchanges.back().judgedNs < 0) m_exchanges.back().judgedNs = NowNs();
    return m_inner.BytesWaiting();
  }
  int ReadByte() override {
    const int byte = m_inner.ReadByte();
    if (byte >= 0) ++m_bytesRead;
    return byte;
  }
  void Write(std::span<const std::uint8_t> frame) override {
    m_exchanges.push_back({NowNs(), -1, frame.size() > 1 ? frame[1] : std::uint8_t{0}});
    m_bytesWritten += static_cast<std::int64_t>(frame.size());
    m_inner.Write(frame);
  }
  bool DeviceLost() const override { return m_inner.DeviceLost(); }
  bool SignalsArrival() const override { return m_inner.SignalsArrival(); }
  void SetArrivalHandler(std::function<void()> handler) override { m_inner.SetArrivalHandler(std::move(handler)); }

  qint64 NowNs() const { return m_clock.nsecsElapsed(); }
  const std::vector<Exchange>& Exchanges() const { return m_exchanges; }
  void Clear() { m_exchanges.clear(); }
  /// Bytes that crossed the line, both ways, since the port was made.
  std::int64_t BytesMoved() const { return m_bytesRead + m_bytesWritten; }

 private:
  link::QtSerialPort m_inner;
  QElapsedTimer m_clock;
  std::vector<Exchange> m_exchanges;
  std::int64_t m_bytesRead = 0;
  std::int64_t m_bytesWritten = 0;
};

}  // namespace zart::timing

#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <vector>

#include "link/serial_port.h"

namespace zart::testing {

/// Passes everything on to a real port and records each frame written and
/// each successful open, so tests can check what reached the controller.
class RecordingPort : public link::SerialPort {
 public:
  using Bytes = std::vector<std::uint8_t>;

  explicit RecordingPort(link::SerialPort& inner) : m_inner(inner) {}
  bool SetPortNumber(int n) override { return m_inner.SetPortNumber(n); }
  int PortNumber() const override { return m_inner.PortNumber(); }
  QString DevicePath(int n) const override { return m_inner.DevicePath(n); }
  link::OpenResult Open() override {
    link::OpenResult r = m_inner.Open();
    if (r.ok()) openedPorts.push_back(m_inner.PortNumber());
    return r;
  }
  void Close() override { m_inner.Close(); }
  bool IsOpen() const override { return m_inner.IsOpen(); }
  int BytesWaiting() override { return m_inner.BytesWaiting(); }
  int ReadByte() override { return m_inner.ReadByte(); }
  void Write(std::span<const std::uint8_t> frame) override {
    written.emplace_back(frame.begin(), frame.end());
    m_inner.Write(frame);
  }
  bool DeviceLost() const override { return m_inner.DeviceLost(); }

  /// Frames written with function code `fc`.
  std::vector<Bytes> FramesOf(int fc) const {
    std::vector<Bytes> out;
    for (const Bytes& f : written)
      if (f.size() > 1 && f[1] == fc) out.push_back(f);
    return out;
  }

  /// The function-`fc` frames with repeats of the same request collapsed:
  /// what the controller was asked, in order. A request that was lost or
  /// sent twice after something else shows up here.
  std::vector<Bytes> DistinctRuns(int fc) const {
    std::vector<Bytes> runs;
    for (const Bytes& f : FramesOf(fc))
      if (runs.empty() || runs.back() != f) runs.push_back(f);
    return runs;
  }

  /// True when no request of function `fc` was asked again after another
  /// request of that function had followed it.
  bool RunsAreUnique(int fc) const {
    const std::vector<Bytes> runs = DistinctRuns(fc);
    return std::set<Bytes>(runs.begin(), runs.end()).size() == runs.size();
  }

  std::vector<Bytes> written;
  std::vector<int> openedPorts;

 private:
  link::SerialPort& m_inner;
};

}  // namespace zart::testing

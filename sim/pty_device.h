#pragma once

#include <string>

namespace zart::sim {

/// The pseudo-terminal the tool opens as its serial port. The simulator
/// keeps the master side and also holds the slave side open itself, so the
/// device stays usable when the tool closes and reopens it (a pty whose last
/// slave descriptor closes reports a hang-up on the master until it is
/// opened again). With a link path, a symbolic link at that path points to
/// the device while it exists.
///
/// Unlike a real serial port, a pty keeps bytes that arrived while nobody
/// read them, and the next program to open it would read them first. The
/// device therefore watches opens and closes of the slave node so that the
/// caller can throw such bytes away, as a real line loses them.
class PtyDevice {
 public:
  explicit PtyDevice(std::string linkPath = {}) : m_linkPath(std::move(linkPath)) {}
  ~PtyDevice();
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;

  /// Creates a new pty in raw mode (non-blocking master) and points the
  /// link at it. Returns false with `error` set when that fails; a path
  /// that exists and is not a symbolic link is never replaced.
  bool Open(std::string& error);
  /// Closes both sides and removes the link; the device vanishes.
  void Close();

  bool IsOpen() const { return m_master >= 0; }
  /// Descriptor that turns readable when someone opens or closes the
  /// device; -1 when watching is not available.
  int WatchFd() const { return m_watch; }
  /// Reads the pending watch events; true when an open or a close was among
  /// them.
  bool TakeOpenCloseEvents();
  /// Throws away the bytes waiting to be read on the slave side.
  void FlushInput();
  /// Master descriptor, -1 while closed.
  int MasterFd() const { return m_master; }
  /// Device path of the slave side, e.g. /dev/pts/5.
  const std::string& Path() const { return m_path; }

 private:
  bool link(std::string& error);
  void unlink();

  std::string m_linkPath;
  std::string m_path;
  int m_master = -1;
  int m_slave = -1;
  int m_watch = -1;
};

}  // namespace zart::sim

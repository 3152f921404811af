#include "pty_device.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zart::sim {
namespace {

std::string osError(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

PtyDevice::~PtyDevice() { Close(); }

bool PtyDevice::Open(std::string& error) {
  Close();
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) {
    error = osError("posix_openpt");
    return false;
  }
  if (grantpt(master) != 0 || unlockpt(master) != 0) {
    error = osError("grantpt/unlockpt");
    ::close(master);
    return false;
  }
  const char* name = ptsname(master);
  if (name == nullptr) {
    error = osError("ptsname");
    ::close(master);
    return false;
  }
  std::string path = name;
  const int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave < 0) {
    error = osError(path);
    ::close(master);
    return false;
  }
  termios tio{};
  if (tcgetattr(slave, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
  }
  const int flags = fcntl(master, F_GETFL);
  fcntl(master, F_SETFL, flags | O_NONBLOCK);
  m_master = master;
  m_slave = slave;
  m_path = path;
  // Watching is a refinement: without it the device still works.
  m_watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (m_watch >= 0 && inotify_add_watch(m_watch, m_path.c_str(), IN_OPEN | IN_CLOSE) < 0) {
    ::close(m_watch);
    m_watch = -1;
  }
  if (!link(error)) {
    Close();
    return false;
  }
  return true;
}

void PtyDevice::Close() {
  unlink();
  if (m_watch >= 0) ::close(m_watch);
  m_watch = -1;
  if (m_slave >= 0) ::close(m_slave);
  if (m_master >= 0) ::close(m_master);
  m_slave = -1;
  m_master = -1;
}

bool PtyDevice::TakeOpenCloseEvents() {
  if (m_watch < 0) return false;
  bool seen = false;
  alignas(inotify_event) char buf[4096];
  while (true) {
    const ssize_t n = ::read(m_watch, buf, sizeof buf);
    if (n <= 0) break;
    for (ssize_t off = 0; off + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      inotify_event ev{};
      std::memcpy(&ev, buf + off, sizeof ev);
      if (ev.mask & (IN_OPEN | IN_CLOSE)) seen = true;
      off += static_cast<ssize_t>(sizeof(inotify_event) + ev.len);
    }
  }
  return seen;
}

void PtyDevice::FlushInput() {
  if (m_slave >= 0) tcflush(m_slave, TCIFLUSH);
}

bool PtyDevice::link(std::string& error) {
  if (m_linkPath.empty()) return true;
  struct stat st{};
  if (::lstat(m_linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    error = m_linkPath + ": exists and is not a symbolic link; not replaced";
    return false;
  }
  // Create the new link beside the old one and rename it over, so the path
  // never points nowhere while a stale link is replaced.
  const std::string tmp = m_linkPath + ".new";
  ::unlink(tmp.c_str());
  if (::symlink(m_path.c_str(), tmp.c_str()) != 0) {
    error = osError("symlink " + m_linkPath);
    return false;
  }
  if (::rename(tmp.c_str(), m_linkPath.c_str()) != 0) {
    error = osError("rename " + m_linkPath);
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

void PtyDevice::unlink() {
  if (m_linkPath.empty() || m_master < 0) return;
  // Only remove the link while it still points at this device: another
  // simulator may have taken the path over.
  char target[4096];
  const ssize_t n = ::readlink(m_linkPath.c_str(), target, sizeof target - 1);
  if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == m_path) ::unlink(m_linkPath.c_str());
}

}  // namespace zart::sim

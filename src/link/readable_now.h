#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace zart::link {

/// Whether the system may hold bytes (or news of a closed device or
/// connection) for descriptor `fd` right now, asked without waiting. Cheaper
/// than a zero-time wait of Qt's, which, finding nothing, reports a time-out
/// through its error signal. True where it cannot be asked this way, so the
/// caller then asks its own way.
inline bool ReadableNow(qintptr fd) {
#ifdef Q_OS_UNIX
  if (fd < 0) return true;
  pollfd p{static_cast<int>(fd), POLLIN, 0};
  return ::poll(&p, 1, 0) != 0;
#else
  (void)fd;
  return true;
#endif
}

}  // namespace zart::link

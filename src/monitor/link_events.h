#pragma once

#include <cstdint>

#include <QString>

namespace zart::monitor {

/// Where the link's losses and returns are told, with the wall-clock time
/// (milliseconds since the epoch) they happened at.
class LinkEvents {
 public:
  virtual ~LinkEvents() = default;
  /// The link is down; `reason` is what the status line says.
  virtual void LinkLost(std::int64_t msecs, const QString& reason) = 0;
  /// The controller answers again.
  virtual void LinkRestored(std::int64_t msecs) = 0;
};

}  // namespace zart::monitor

#pragma once

#include <cstdint>

#include <QString>

namespace zart::monitor {

class LinkEvents;

/// Tells link losses and returns from the messages the exchange writes into
/// the status line at every tick. A single missed or garbled reply is part
/// of normal work on a noisy line; the link counts as lost once no reply
/// has been accepted for kLostAfterMs, dated from the first failure, with
/// the status line's text as the reason. The next accepted reply is the
/// return.
class StatusLineLinkWatch {
 public:
  static constexpr std::int64_t kLostAfterMs = 1000;

  explicit StatusLineLinkWatch(LinkEvents& sink) : m_sink(sink) {}

  /// The status line's text as it stands now; `nowMs` a monotonic clock,
  /// `wallMs` the wall clock for the entries.
  void Observe(const QString& statusText, std::int64_t nowMs, std::int64_t wallMs);

 private:
  enum class State { unknown, up, failing, lost };

  LinkEvents& m_sink;
  State m_state = State::unknown;
  std::int64_t m_failingSinceMs = 0;
  std::int64_t m_failingSinceWall = 0;
  QString m_reason;
};

}  // namespace zart::monitor

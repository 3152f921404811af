#pragma once

#include <vector>

#include "settings/prompter.h"

namespace zart::cli {

/// The command line asks no questions. Where a window would open a message
/// box, this answers by a fixed policy and keeps the message for the
/// command to report:
/// - a message with OK alone: OK (it only tells);
/// - Retry/Cancel (a file that could not be read or written, a backup that
///   could not be saved): Cancel, so nothing is tried again and nothing is
///   written without its backup;
/// - OK/Cancel: Cancel, the answer that changes nothing, except the
///   question whether to write the rest of a file with values the
///   controller cannot take, which is OK when `writeRest` is set
///   ("--skip-invalid").
class CliPrompter final : public settings::Prompter {
 public:
  explicit CliPrompter(bool writeRest = false) : m_writeRest(writeRest) {}

  settings::Answer Ask(const settings::Message& message) override;

  /// Every message answered, in order.
  const std::vector<settings::Message>& Asked() const { return m_asked; }
  /// Forgets the messages answered so far.
  void Clear() { m_asked.clear(); }

 private:
  bool m_writeRest;
  std::vector<settings::Message> m_asked;
};

}  // namespace zart::cli

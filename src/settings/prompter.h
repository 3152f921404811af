#pragma once

#include <QString>

namespace zart::settings {

/// A message box asked for by the logic; the windows show it as a dialog,
/// tests answer it from a script.
struct Message {
  enum class Buttons { ok, ok_cancel, retry_cancel };
  enum class Icon { error, question, warning, information };

  QString title;
  QString text;
  Buttons buttons = Buttons::ok;
  Icon icon = Icon::error;
  /// Extra detail shown on request (the operating system's reason).
  QString detail;
};

enum class Answer { ok, cancel, retry };

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual Answer Ask(const Message& message) = 0;
};

}  // namespace zart::settings

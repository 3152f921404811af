#pragma once

#include <utility>

#include <QString>

namespace zart::settings {

/// A message box asked for by the logic; the windows show it as a dialog,
/// tests answer it from a script.
struct Message {
  enum class Buttons { ok, ok_cancel, retry_cancel };
  enum class Icon { error, question, warning, information };

  Message() = default;
  Message(QString title_, QString text_, Buttons buttons_ = Buttons::ok, Icon icon_ = Icon::error,
          QString detail_ = QString())
      : title(std::move(title_)),
        text(std::move(text_)),
        buttons(buttons_),
        icon(icon_),
        detail(std::move(detail_)) {}

  QString title;
  QString text;
  Buttons buttons = Buttons::ok;
  Icon icon = Icon::error;
  /// Extra detail shown on request (the operating system's reason).
  QString detail;
  /// ok_cancel only: the caption of the OK button ("Записать остальные"),
  /// empty for "ОК".
  QString okCaption;
  /// ok_cancel only: Cancel is the default button, for a question whose
  /// safe answer is not to go on.
  bool cancelIsDefault = false;
};

enum class Answer { ok, cancel, retry };

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual Answer Ask(const Message& message) = 0;
};

}  // namespace zart::settings

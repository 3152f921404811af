#pragma once

#include <QPushButton>

namespace zart::ui {

/// A push button whose caption wraps onto more lines when it is wider than
/// the button, as the parameters window's two-line captions ("Прочитать всё
/// из ЭСППЗУ") need at the design's button sizes.
class ParamButton : public QPushButton {
 public:
  ParamButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace zart::ui

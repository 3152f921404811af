#pragma once

#include <QLineEdit>

namespace zart::ui {

/// Receives the events of all parameter boxes; the index is the slot.
class ParamBoxEvents {
 public:
  virtual ~ParamBoxEvents() = default;
  /// Every change of the box's text, typed or set by the program.
  virtual void BoxChanged(int index) = 0;
  /// A key the box should act on; only Enter (13) is passed on.
  virtual void BoxKeyPress(int index, int key) = 0;
};

/// One element of `txt_par`: an edit box that knows its slot and reports its
/// change and Enter key to the one handler shared by all boxes. Every other
/// key is left to the edit box as typed.
class ParamBox : public QLineEdit {
 public:
  static constexpr int kKeyEnter = 13;

  ParamBox(int index, ParamBoxEvents& events, QWidget* parent);

  int Index() const { return m_index; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int m_index;
  ParamBoxEvents& m_events;
};

}  // namespace zart::ui

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
  /// Up (step -1) or Down (+1) in a box: the owner moves the focus within
  /// the box's table column, if it has one.
  virtual void BoxMoveInColumn(int index, int step) {
    (void)index;
    (void)step;
  }
};

/// One element of `txt_par`: an edit box that knows its slot and reports its
/// change and Enter key to the one handler shared by all boxes. Every other
/// key is left to the edit box as typed, except Up and Down, which move
/// within a table column.
///
/// A value is never shown as a fragment: a text set by the program is shown
/// from its start, inner margins are kept small, a text too wide for the box
/// takes a narrower font, and one that still does not fit is painted with a
/// trailing ellipsis while the box has no focus, its tooltip naming the
/// whole value.
class ParamBox : public QLineEdit {
 public:
  static constexpr int kKeyEnter = 13;

  /// `text`: what the box shows from the start, from its beginning; no
  /// change is reported for it.
  ParamBox(int index, const QString& text, ParamBoxEvents& events, QWidget* parent);

  int Index() const { return m_index; }

  /// Sets the text as the program does (reply, file, compare) and shows its
  /// start.
  void ShowValue(const QString& text);
  /// What the box is (name, page, EEPROM address); the tooltip adds the
  /// whole value while it does not fit.
  void SetDescription(const QString& description);
  /// The text does not fit even in the narrowest font: it is shown cut,
  /// with an ellipsis.
  bool IsCut() const { return m_cut; }
  /// 0 for the window's font, more for narrower ones (ParamTextFit steps).
  int FitStep() const { return m_fitStep; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Refit();
  void UpdateToolTip();
  int TextWidth() const;

  int m_index;
  ParamBoxEvents& m_events;
  QString m_description;
  int m_fitStep = 0;
  bool m_cut = false;
  bool m_fitting = false;
};

}  // namespace zart::ui

#pragma once

#include <QTabBar>

namespace zart::ui {

/// A tab strip of the parameters window that shows all of its tabs at once.
/// The style's tabs are wide (Fusion pads each caption by 24 px), so 17
/// logic tabs would need scroll arrows in the design's 6015 twips and the
/// NOT blocks would hide behind them. Where the natural tabs do not fit,
/// FitCaptions narrows the padding around the captions, and where even a
/// small padding is too much, it gives the strip a narrower font. The
/// scroll arrows remain only as a last resort.
class ParamTabStrip : public QTabBar {
 public:
  /// The least padding on either side of a caption before the font narrows.
  static constexpr int kMinPadding = 3;

  explicit ParamTabStrip(QWidget* parent);

  /// Picks padding and font for the current captions and width; call once
  /// the captions are set.
  void FitCaptions();
  /// Pixels on either side of a caption; -1 while the style's own apply.
  int Padding() const { return m_padding; }
  /// Every tab lies within the strip (no scroll arrows are needed).
  bool AllTabsVisible() const;

 private:
  int TabsWidth() const;

  int m_padding = -1;
};

}  // namespace zart::ui

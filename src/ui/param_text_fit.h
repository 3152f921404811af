#pragma once

#include <span>

#include <QFont>
#include <QSize>
#include <QStringList>

class QLabel;

namespace zart::ui {

/// Keeps texts of the parameters window whole in the design's fixed widths.
/// A text that does not fit in its font is tried in a ladder of narrower
/// fonts of the same family: its condensed face, then that face smaller.
/// Where even the last step does not fit, the caller shows that the text is
/// cut (a parameter box paints an ellipsis and names the whole value in its
/// tooltip) instead of showing a fragment.
class ParamTextFit {
 public:
  /// Fonts after the base font: condensed, condensed at 85 %, at 70 % size.
  static constexpr int kSteps = 4;

  /// Step 0 is `base` itself; 1..kSteps-1 are ever narrower.
  static QFont Font(const QFont& base, int step);

  /// The first step at which every text fits `size` (pixels): on one line
  /// no wider than the width, or, with `wrap`, wrapped at word boundaries
  /// within both width and height. kSteps when none fits.
  static int StepFor(const QFont& base, const QStringList& texts, QSize size, bool wrap);

  /// Gives the labels one font, the first of the ladder in which each of
  /// them shows whole in its own rectangle (a group of legend lines keeps
  /// one look); the narrowest when none does. Word-wrapped labels may use
  /// their height. Returns the step taken.
  static int FitLabels(std::span<QLabel* const> labels);
};

}  // namespace zart::ui

#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace zart::ui {

/// Keeps the tool's own windows on the screen: a window gets the size it
/// asks for, no larger than the screen's available area less the window
/// manager's frame, and stands wholly on that area, so that its buttons are
/// reachable at 1366×768 and at 144 dpi.
class WindowFit {
 public:
  /// The client rectangle for a window that wants `wanted` and needs at
  /// least `minimum`, with a frame adding `frame` (left+right, top+bottom)
  /// and its top left corner at `at`, on a screen whose free area is
  /// `screen`: as large as wanted where the screen allows, never below the
  /// minimum, moved just enough to stand wholly on the screen.
  static QRect Fitted(QSize wanted, QSize minimum, QSize frame, QPoint at, QRect screen);

  /// Resizes and moves `window` (a top-level widget) that way on its
  /// screen. The frame is the window's own once it has been shown, a guess
  /// from the style before.
  static void Apply(QWidget* window, QSize wanted);
};

}  // namespace zart::ui

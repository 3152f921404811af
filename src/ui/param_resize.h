#pragma once

#include <QRect>
#include <QSize>

#include "ui/common_twips.h"

namespace zart::ui {

/// Size limits of the parameters window (outer size, twips).
inline constexpr int kParamMinWidth = 7000;
inline constexpr int kParamMaxWidth = 27500;
inline constexpr int kParamMinHeight = 4000;
inline constexpr int kParamMaxHeight = 10300;

/// What the window's resize handler works from, all in twips. Outer is the
/// window with its frame and caption, inner the client area.
struct ParamResizeInput {
  int outerWidth = 0;
  int outerHeight = 0;
  int innerWidth = 0;
  int innerHeight = 0;
  int frameWidth = 27135;   ///< `frm_prg`
  int frameHeight = 9975;
  int vBarWidth = 255;      ///< thickness of `VScroll1`
  int hBarHeight = 255;     ///< thickness of `HScroll1`
};

/// Where the two scroll bars go and how far they scroll, in twips.
struct ParamResizeLayout {
  /// The outer size had to be clamped to the limits; the window is resized
  /// to `outerWidth` × `outerHeight` and the handler runs again.
  bool resize = false;
  int outerWidth = 0;
  int outerHeight = 0;

  bool vVisible = false;
  int vLeft = 0;
  int vHeight = 0;
  int vMaximum = 0;

  bool hVisible = false;
  int hTop = 0;
  int hWidth = 0;
  int hMaximum = 0;
};

/// `Form_Resize`: clamps the outer size to 7000..27500 × 4000..10300 and
/// places the bars for the clamped size. The vertical bar shows when
/// frm_prg height + 711 exceeds the outer height (maximum frm_prg height −
/// outer height + 750); the horizontal one when frm_prg width + 355 exceeds
/// the outer width (maximum frm_prg width − outer width + 550 beside the
/// vertical bar, + 350 without it).
ParamResizeLayout ParamFormResize(const ParamResizeInput& in);

/// The resize handler in pixels, as the window runs it.
struct ParamPixelLayout {
  /// The client size the window is to have; equal to the current one when
  /// nothing needs to change.
  QSize size;
  bool vVisible = false;
  QRect vBar;  ///< client coordinates
  int vMaximum = 0;
  bool hVisible = false;
  QRect hBar;
  int hMaximum = 0;
};

/// `Form_Resize` for a client area of `inner` pixels in a window frame of
/// `frame` extra pixels, on a screen whose available area is `screen` (an
/// empty size: no limit), with scroll bars `bar` pixels thick. The limits
/// are compared in pixels: 10300 twips are 687 px at 96 dpi, which read
/// back as 10305 twips, and a window that already has the largest pixel
/// size is left as it is. The bars are always placed, for the client area
/// the window has now; a window larger than the limits or than the screen
/// gets the `size` to shrink to (the handler runs again once it has it).
ParamPixelLayout ParamFormResizePx(const TwipScale& twips, QSize inner, QSize frame, QSize screen, int bar);

/// `HScroll1_Change`/`_Scroll`: frm_prg left for a bar value (125 − value).
int ParamFrameLeftForScroll(int value);
/// `VScroll1_Change`/`_Scroll`: frm_prg top for a bar value (− value).
int ParamFrameTopForScroll(int value);

}  // namespace zart::ui

#include "ui/param_resize.h"

#include <algorithm>

namespace zart::ui {

ParamResizeLayout ParamFormResize(const ParamResizeInput& in) {
  ParamResizeLayout out;

  // Setting the size raises the event again in the window; the bars are
  // placed for the size the window ends with, so compute them from the
  // clamped size, the client area shrinking or growing by the same amount.
  const int width = std::clamp(in.outerWidth, kParamMinWidth, kParamMaxWidth);
  const int height = std::clamp(in.outerHeight, kParamMinHeight, kParamMaxHeight);
  out.resize = width != in.outerWidth || height != in.outerHeight;
  out.outerWidth = width;
  out.outerHeight = height;
  const int innerWidth = in.innerWidth + (width - in.outerWidth);
  const int innerHeight = in.innerHeight + (height - in.outerHeight);

  if (in.frameHeight + 200 + 511 > height) {
    out.vVisible = true;
    out.vHeight = innerHeight;
    out.vLeft = innerWidth - in.vBarWidth;
    out.vMaximum = in.frameHeight - height + 750;
  }

  if (in.frameWidth + 100 + 255 > width) {
    out.hVisible = true;
    out.hTop = innerHeight - in.hBarHeight;
    if (out.vVisible) {
      out.hWidth = innerWidth - in.vBarWidth;
      out.hMaximum = in.frameWidth - width + 550;
    } else {
      out.hWidth = innerWidth;
      out.hMaximum = in.frameWidth - width + 350;
    }
  }
  return out;
}

ParamPixelLayout ParamFormResizePx(const TwipScale& twips, QSize inner, QSize frame, QSize screen, int bar) {
  ParamResizeInput in;
  in.innerWidth = twips.Twips(inner.width());
  in.innerHeight = twips.Twips(inner.height());
  in.outerWidth = twips.Twips(inner.width() + frame.width());
  in.outerHeight = twips.Twips(inner.height() + frame.height());
  in.vBarWidth = twips.Twips(bar);
  in.hBarHeight = twips.Twips(bar);
  const ParamResizeLayout clamped = ParamFormResize(in);

  ParamPixelLayout out;
  out.size = inner;
  if (clamped.resize) {
    const QSize limited(twips.Px(clamped.outerWidth) - frame.width(), twips.Px(clamped.outerHeight) - frame.height());
    // Only a size the rounding did not already give.
    if (limited.width() != inner.width() && clamped.outerWidth != in.outerWidth) out.size.setWidth(limited.width());
    if (limited.height() != inner.height() && clamped.outerHeight != in.outerHeight) {
      out.size.setHeight(limited.height());
    }
  }
  if (screen.isValid() && !screen.isEmpty()) out.size = out.size.boundedTo(screen - frame);

  // The bars for the client area as it is now; which bars show and how far
  // they scroll follows the limited outer size.
  ParamResizeInput now = in;
  now.outerWidth = clamped.outerWidth;
  now.outerHeight = clamped.outerHeight;
  const ParamResizeLayout bars = ParamFormResize(now);
  out.vVisible = bars.vVisible;
  out.vMaximum = bars.vMaximum;
  out.hVisible = bars.hVisible;
  out.hMaximum = bars.hMaximum;
  if (out.vVisible) out.vBar = QRect(inner.width() - bar, 0, bar, inner.height());
  if (out.hVisible) out.hBar = QRect(0, inner.height() - bar, inner.width() - (out.vVisible ? bar : 0), bar);
  return out;
}

int ParamFrameLeftForScroll(int value) { return 125 - value; }

int ParamFrameTopForScroll(int value) { return -value; }

}  // namespace zart::ui

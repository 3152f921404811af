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

int ParamFrameLeftForScroll(int value) { return 125 - value; }

int ParamFrameTopForScroll(int value) { return -value; }

}  // namespace zart::ui

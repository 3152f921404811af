#pragma once

#include <QRect>

namespace zart::ui {

/// Converts the window's design coordinates, twips (1/1440 inch), to pixels
/// at the screen's logical DPI: px = twips × dpi / 1440, 15 twips per pixel at
/// 96 dpi. Positions are relative to the containing frame, as in the design.
/// One converter serves all of the tool's windows.
class TwipScale {
 public:
  static constexpr int kTwipsPerInch = 1440;

  /// `dpi` is the logical DPI of the screen the window opens on (>= 1).
  explicit TwipScale(int dpi = 96) : m_dpi(dpi > 0 ? dpi : 96) {}

  int Dpi() const { return m_dpi; }

  /// Twips to pixels, rounded to the nearest pixel (halves away from zero).
  int Px(int twips) const {
    const long long scaled = static_cast<long long>(twips) * m_dpi;
    const long long half = kTwipsPerInch / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch : (scaled - half) / kTwipsPerInch);
  }

  /// Pixels to twips, rounded to the nearest twip.
  int Twips(int px) const {
    const long long scaled = static_cast<long long>(px) * kTwipsPerInch;
    const long long half = m_dpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / m_dpi : (scaled - half) / m_dpi);
  }

  /// A control's rectangle: left, top, width, height in twips, each
  /// converted on its own, so equal sizes stay equal in pixels.
  QRect Rect(int left, int top, int width, int height) const {
    return QRect(Px(left), Px(top), Px(width), Px(height));
  }

  /// The same with the edges converted one by one, so that neighbouring
  /// controls stay flush.
  QRect FlushRect(int left, int top, int width, int height) const {
    const int x = Px(left);
    const int y = Px(top);
    return QRect(x, y, Px(left + width) - x, Px(top + height) - y);
  }

 private:
  int m_dpi;
};

}  // namespace zart::ui

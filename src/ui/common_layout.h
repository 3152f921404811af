#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include "ui/common_twips.h"

class QWidget;

namespace zart::ui {

/// Window geometry given in twips (1/1440 inch) placed at the screen's
/// logical DPI (15 twips a pixel at 96 dpi), and the fonts of the tool's
/// windows: "MS Sans Serif" where installed, otherwise the closest
/// sans-serif face with Cyrillic at the same point size.
class CommonLayout {
 public:
  /// Point size of the windows' default font.
  static constexpr double kDefaultPointSize = 8.25;

  /// Reads the logical DPI of the screen `reference` is on (96 without one).
  explicit CommonLayout(const QWidget* reference);

  int Px(int twips) const { return m_twips.Px(twips); }
  /// Left, top, width and height in twips; edges are converted one by one so
  /// that neighbouring controls stay flush.
  QRect Rect(int left, int top, int width, int height) const { return m_twips.FlushRect(left, top, width, height); }
  void Place(QWidget* widget, int left, int top, int width, int height) const;

  QFont Font(double pointSize, bool bold = false) const;
  QFont DefaultFont() const { return Font(kDefaultPointSize); }
  QString Family() const { return m_family; }
  int Dpi() const { return m_twips.Dpi(); }
  const TwipScale& Scale() const { return m_twips; }

  /// Picks the first installed face of the preferred list.
  static QString ChooseFamily();

 private:
  TwipScale m_twips;
  QString m_family;
};

/// Lamp colours when lit.
inline const QColor kLampRed{255, 0, 0};
inline const QColor kLampGreen{0, 255, 0};
inline const QColor kLampYellow{255, 255, 0};

}  // namespace zart::ui

#include "ui/param_tab_strip.h"

#include <QProxyStyle>

#include "ui/param_text_fit.h"

namespace zart::ui {
namespace {

// The application's style, except for the padding around tab captions,
// which the strip chooses. Changing the metric rather than the tab sizes
// keeps the style's own drawing: the caption is laid out within the padded
// rectangle, so narrower tabs alone would cut it.
class TabPaddingStyle : public QProxyStyle {
 public:
  explicit TabPaddingStyle(const ParamTabStrip* strip) : m_strip(strip) {}

  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_TabBarTabHSpace && widget == m_strip && m_strip->Padding() >= 0) return 2 * m_strip->Padding();
    return QProxyStyle::pixelMetric(metric, option, widget);
  }

 private:
  const ParamTabStrip* m_strip;
};

}  // namespace

ParamTabStrip::ParamTabStrip(QWidget* parent) : QTabBar(parent) {
  auto* style = new TabPaddingStyle(this);
  style->setParent(this);
  setStyle(style);
}

int ParamTabStrip::TabsWidth() const {
  int total = 0;
  for (int i = 0; i < count(); ++i) total += tabSizeHint(i).width();
  return total;
}

void ParamTabStrip::FitCaptions() {
  const QFont base = parentWidget() != nullptr ? parentWidget()->font() : font();
  m_padding = -1;
  const int natural = style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, this) / 2;
  bool fits = false;
  for (int step = 0; step < ParamTextFit::kSteps && !fits; ++step) {
    setFont(ParamTextFit::Font(base, step));  // also drops the strip's cached caption sizes
    m_padding = -1;
    fits = TabsWidth() <= width();
    for (int padding = natural - 1; padding >= kMinPadding && !fits; --padding) {
      m_padding = padding;
      fits = TabsWidth() <= width();
    }
  }
  if (!fits) m_padding = 1;
  // Lays the tabs out again with the padding chosen.
  if (count() > 0) setTabText(0, tabText(0));
}

bool ParamTabStrip::AllTabsVisible() const {
  for (int i = 0; i < count(); ++i) {
    const QRect tab = tabRect(i);
    if (tab.left() < 0 || tab.right() >= width()) return false;
  }
  return true;
}

}  // namespace zart::ui

#include "ui/param_text_fit.h"

#include <algorithm>

#include <QFontMetrics>
#include <QLabel>

namespace zart::ui {

QFont ParamTextFit::Font(const QFont& base, int step) {
  if (step <= 0) return base;
  QFont font = base;
  // A condensed face where the family has one (DejaVu Sans Condensed,
  // Liberation Sans Narrow); Qt stretches the glyphs where it has none.
  font.setStretch(QFont::Condensed);
  if (step >= 2) {
    const double factor = step == 2 ? 0.85 : 0.7;
    if (base.pixelSize() > 0) {
      font.setPixelSize(std::max(1, static_cast<int>(base.pixelSize() * factor)));
    } else {
      font.setPointSizeF(base.pointSizeF() * factor);
    }
  }
  return font;
}

int ParamTextFit::StepFor(const QFont& base, const QStringList& texts, QSize size, bool wrap) {
  for (int step = 0; step < kSteps; ++step) {
    const QFontMetrics metrics(Font(base, step));
    const bool fits = std::all_of(texts.begin(), texts.end(), [&](const QString& text) {
      if (!wrap) return metrics.horizontalAdvance(text) <= size.width();
      const QRect needed = metrics.boundingRect(QRect(0, 0, size.width(), 0x10000), Qt::TextWordWrap, text);
      return needed.width() <= size.width() && needed.height() <= size.height();
    });
    if (fits) return step;
  }
  return kSteps;
}

int ParamTextFit::FitLabels(std::span<QLabel* const> labels) {
  if (labels.empty()) return 0;
  // Every label of a group starts from the same inherited font.
  const QFont base = labels.front()->parentWidget() != nullptr ? labels.front()->parentWidget()->font()
                                                               : labels.front()->font();
  int step = 0;
  for (const QLabel* label : labels) {
    const QSize size = label->contentsRect().size();
    step = std::max(step, StepFor(base, {label->text()}, size, label->wordWrap()));
  }
  step = std::min(step, kSteps - 1);
  if (step > 0) {
    const QFont font = Font(base, step);
    for (QLabel* label : labels) label->setFont(font);
  }
  return step;
}

}  // namespace zart::ui

#include "ui/param_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace zart::ui {

void ParamButton::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButton, option);
  const int margin = style()->pixelMetric(QStyle::PM_ButtonMargin, &option, this) / 2;
  style()->drawItemText(&painter, rect().adjusted(margin, 1, -margin, -1), Qt::AlignCenter | Qt::TextWordWrap,
                        palette(), isEnabled(), text(), QPalette::ButtonText);
}

}  // namespace zart::ui

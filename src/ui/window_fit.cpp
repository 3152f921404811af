#include "ui/window_fit.h"

#include <algorithm>

#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace zart::ui {

QRect WindowFit::Fitted(QSize wanted, QSize minimum, QSize frame, QPoint at, QRect screen) {
  const QSize room = screen.size() - frame;
  const int width = std::max(std::min(wanted.width(), room.width()), minimum.width());
  const int height = std::max(std::min(wanted.height(), room.height()), minimum.height());
  // The frame's top left corner where the window asked, moved inside the
  // screen; a window larger than the screen keeps its top left corner on it.
  const int outerW = width + frame.width();
  const int outerH = height + frame.height();
  const int left = std::max(screen.left(), std::min(at.x(), screen.right() + 1 - outerW));
  const int top = std::max(screen.top(), std::min(at.y(), screen.bottom() + 1 - outerH));
  return QRect(left, top, width, height);
}

void WindowFit::Apply(QWidget* window, QSize wanted) {
  const QScreen* screen = window->screen();
  if (screen == nullptr) {
    window->resize(wanted);
    return;
  }
  QSize frame = window->frameGeometry().size() - window->geometry().size();
  if (!window->isVisible() || frame.isEmpty()) {
    // Before the window manager has framed it: a caption and thin borders.
    const int border = window->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
    const int caption = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    frame = QSize(2 * border + 2, caption + 2 * border + 8);
  }
  const QRect available = screen->availableGeometry();
  // Where the window would open: centred over its owner, or on the screen.
  const QWidget* owner = window->parentWidget();
  const QRect over = owner != nullptr && owner->isVisible() ? owner->window()->frameGeometry() : available;
  const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
  QRect fitted = Fitted(wanted, minimum, frame, QPoint(), available);
  const QPoint centred(over.center().x() - (fitted.width() + frame.width()) / 2,
                       over.center().y() - (fitted.height() + frame.height()) / 2);
  fitted = Fitted(wanted, minimum, frame, centred, available);
  window->resize(fitted.size());
  window->move(fitted.topLeft());
}

}  // namespace zart::ui

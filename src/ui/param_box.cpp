#include "ui/param_box.h"

#include <QKeyEvent>

namespace zart::ui {

ParamBox::ParamBox(int index, ParamBoxEvents& events, QWidget* parent)
    : QLineEdit(parent), m_index(index), m_events(events) {
  // textChanged also fires for texts the program sets (replies, file loads),
  // which is what turns a box white before its new colour is applied.
  connect(this, &QLineEdit::textChanged, this, [this] { m_events.BoxChanged(m_index); });
}

void ParamBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    m_events.BoxKeyPress(m_index, kKeyEnter);
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace zart::ui

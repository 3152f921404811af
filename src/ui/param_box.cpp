#include "ui/param_box.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include "ui/param_text_fit.h"

namespace zart::ui {
namespace {

// QLineEdit keeps this many pixels between its contents rectangle and the
// text on either side.
constexpr int kLineEditMargin = 2;
// Negative text margins give half of that back: the design's narrow boxes
// (27 px for a three-box row at 96 dpi) need every pixel for a value.
constexpr int kTrim = 1;

}  // namespace

ParamBox::ParamBox(int index, const QString& text, ParamBoxEvents& events, QWidget* parent)
    : QLineEdit(text, parent), m_index(index), m_events(events) {
  setTextMargins(-kTrim, 0, -kTrim, 0);
  setCursorPosition(0);
  // The font is fitted to the text when the box gets its size, as it is
  // shown.
  // textChanged also fires for texts the program sets (replies, file loads),
  // which is what turns a box white before its new colour is applied.
  connect(this, &QLineEdit::textChanged, this, [this] {
    Refit();
    m_events.BoxChanged(m_index);
  });
}

void ParamBox::ShowValue(const QString& text) {
  setText(text);
  // QLineEdit leaves the cursor at the end, which scrolls a long text so
  // that its end shows: "031" for "2031" looks like a value of its own.
  setCursorPosition(0);
}

void ParamBox::SetDescription(const QString& description) {
  m_description = description;
  UpdateToolTip();
}

int ParamBox::TextWidth() const {
  QStyleOptionFrame option;
  initStyleOption(&option);
  const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
  // One pixel more for the cursor, as QLineEdit reserves it.
  return contents.width() + 2 * kTrim - 2 * kLineEditMargin - 1;
}

void ParamBox::Refit() {
  if (m_fitting) return;
  m_fitting = true;
  const QFont base = parentWidget() != nullptr ? parentWidget()->font() : font();
  const int step = ParamTextFit::StepFor(base, {text()}, QSize(TextWidth(), height()), false);
  const bool cut = step >= ParamTextFit::kSteps;
  const int use = cut ? ParamTextFit::kSteps - 1 : step;
  if (use != m_fitStep) {
    m_fitStep = use;
    setFont(ParamTextFit::Font(base, use));
  }
  if (cut != m_cut) {
    m_cut = cut;
    update();
  }
  m_fitting = false;
  UpdateToolTip();
}

void ParamBox::UpdateToolTip() {
  QString tip = m_description;
  if (m_cut) {
    if (!tip.isEmpty()) tip += QLatin1Char('\n');
    tip += QStringLiteral(u"Значение: ") + text();
  }
  if (tip != toolTip()) setToolTip(tip);
}

void ParamBox::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      m_events.BoxKeyPress(m_index, kKeyEnter);
      event->accept();
      return;
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        m_events.BoxMoveInColumn(m_index, event->key() == Qt::Key_Up ? -1 : 1);
        event->accept();
        return;
      }
      break;
    case Qt::Key_Left:
    case Qt::Key_Right:
      // Moves the cursor inside the text; at its ends the key stops here
      // rather than reaching the page.
      QLineEdit::keyPressEvent(event);
      event->accept();
      return;
    default:
      break;
  }
  QLineEdit::keyPressEvent(event);
}

void ParamBox::paintEvent(QPaintEvent* event) {
  if (!m_cut || hasFocus()) {
    QLineEdit::paintEvent(event);
    return;
  }
  // The edit box would show as much of the text as fits, a fragment that
  // reads as a plausible value; an ellipsis says that more follows.
  QPainter painter(this);
  QStyleOptionFrame option;
  initStyleOption(&option);
  style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
  QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
  area.adjust(kLineEditMargin - kTrim, 0, kTrim - kLineEditMargin, 0);
  painter.setClipRect(area);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
  painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}

void ParamBox::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  Refit();
}

void ParamBox::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  // The page's font changed (not this box's own narrowing): fit again.
  if (event->type() == QEvent::FontChange && !m_fitting) Refit();
}

}  // namespace zart::ui

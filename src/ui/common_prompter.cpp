#include "ui/common_prompter.h"

#include <QAbstractButton>
#include <QMessageBox>

#include <utility>

namespace zart::ui {
namespace {

QMessageBox::Icon IconOf(settings::Message::Icon icon) {
  switch (icon) {
    case settings::Message::Icon::error:
      return QMessageBox::Critical;
    case settings::Message::Icon::question:
      return QMessageBox::Question;
    case settings::Message::Icon::warning:
      return QMessageBox::Warning;
    case settings::Message::Icon::information:
      return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

settings::Answer CommonPrompter::Ask(const settings::Message& message) {
  QMessageBox box(m_parent);
  box.setWindowTitle(message.title);
  // The texts carry CR LF line breaks; a bare CR would show as a stray glyph.
  QString text = message.text;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setText(text);
  box.setTextFormat(Qt::PlainText);
  box.setIcon(IconOf(message.icon));
  if (!message.detail.isEmpty()) box.setDetailedText(message.detail);

  QMessageBox::StandardButton escape = QMessageBox::Cancel;
  switch (message.buttons) {
    case settings::Message::Buttons::ok:
      box.setStandardButtons(QMessageBox::Ok);
      escape = QMessageBox::Ok;
      break;
    case settings::Message::Buttons::ok_cancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(message.cancelIsDefault ? QMessageBox::Cancel : QMessageBox::Ok);
      break;
    case settings::Message::Buttons::retry_cancel:
      box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Retry);
      break;
  }
  box.setEscapeButton(escape);
  // The captions the controller's engineers know from the Windows tool,
  // whatever Qt's catalogue says ("OK" is left Latin there).
  for (const auto& [button, caption] : {std::pair{QMessageBox::Ok, u"ОК"}, std::pair{QMessageBox::Cancel, u"Отмена"},
                                        std::pair{QMessageBox::Retry, u"Повторить"}}) {
    if (QAbstractButton* shown = box.button(button)) shown->setText(QString::fromUtf16(caption));
  }
  if (!message.okCaption.isEmpty())
    if (QAbstractButton* ok = box.button(QMessageBox::Ok)) ok->setText(message.okCaption);

  switch (box.exec()) {
    case QMessageBox::Ok:
      return settings::Answer::ok;
    case QMessageBox::Retry:
      return settings::Answer::retry;
    default:
      return message.buttons == settings::Message::Buttons::ok ? settings::Answer::ok : settings::Answer::cancel;
  }
}

}  // namespace zart::ui

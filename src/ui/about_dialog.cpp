#include "ui/about_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zart::ui {
namespace {

QLabel* addLine(QVBoxLayout* column, const QString& text, Qt::TextFormat format = Qt::PlainText) {
  auto* label = new QLabel(text);
  label->setTextFormat(format);
  label->setWordWrap(true);
  column->addWidget(label);
  return label;
}

}  // namespace

QString AboutDialog::VersionText() {
  const QString version = QString::fromUtf8(ZART_VERSION);
  const QString build = QString::fromUtf8(ZART_BUILD_ID);
  return build.isEmpty() ? version : version + QStringLiteral(u" (сборка ") + build + u')';
}

AboutDialog::AboutDialog(const QString& settingsPath, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frm_about"));
  setWindowTitle(QStringLiteral(u"О программе"));

  auto* icon = new QLabel;
  icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
  icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  auto* column = new QVBoxLayout;
  QLabel* name = addLine(column, QStringLiteral(u"ЗАРТ. Тест протокола Modbus"));
  QFont bold = name->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.25);
  name->setFont(bold);
  addLine(column, QStringLiteral(u"Сервисная программа контроллера ЗАРТ (ДГУ, ДРА) для линии RS-485, Modbus RTU"));
  addLine(column, QStringLiteral(u"Версия ") + VersionText());
  column->addSpacing(8);

  // Which file is in use tells the user where a hand-made [Ports] section
  // belongs: beside the program, or in their own folder when the program's
  // folder cannot be written.
  const bool beside = QFileInfo(settingsPath).absolutePath() == QDir(QCoreApplication::applicationDirPath()).absolutePath();
  addLine(column, beside ? QStringLiteral(u"Файл настроек (рядом с программой):")
                         : QStringLiteral(u"Файл настроек (в папке пользователя):"));
  QLabel* path = addLine(column, QDir::toNativeSeparators(settingsPath));
  path->setObjectName(QStringLiteral("lbl_settings_path"));
  path->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  column->addSpacing(8);

  addLine(column, QStringLiteral(u"Библиотека Qt ") + QString::fromLatin1(qVersion()));
  QLabel* licence = addLine(column,
                            QStringLiteral(u"Qt используется по лицензии "
                                           u"<a href=\"https://www.gnu.org/licenses/lgpl-3.0.html\">GNU LGPL версии 3</a>; "
                                           u"<a href=\"https://download.qt.io/archive/qt/\">исходные тексты Qt</a>."),
                            Qt::RichText);
  licence->setOpenExternalLinks(true);

  auto* body = new QHBoxLayout;
  body->addWidget(icon);
  body->addSpacing(12);
  body->addLayout(column, 1);

  auto* buttons = new QDialogButtonBox;
  QPushButton* close = buttons->addButton(QStringLiteral(u"Закрыть"), QDialogButtonBox::RejectRole);
  close->setDefault(true);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addWidget(buttons);
  // The text is wide enough for a profile path on one line in most cases,
  // narrow enough for the smallest laptop screen; the height follows it.
  name->setMinimumWidth(fontMetrics().averageCharWidth() * 60);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  close->setFocus();
}

}  // namespace zart::ui

// The main window on real screens: where it opens, captions clear of the
// group borders, the banner's line breaks, the command buttons' face, and
// Qt's own texts in Russian.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionGroupBox>
#include <QTimer>

#include "ui/application_translations.h"
#include "ui/common_prompter.h"
#include "ui/main_window.h"

namespace zart::ui {
namespace {

TEST(MainWindowFit, OpensAtTheDesignPlaceOnlyWhereItFits) {
  // Frame sizes of the window at 96 dpi (client 944 x 562 plus menu and a
  // window manager's frame) and at 144 dpi; design place 418,297 / 627,446.
  const struct {
    QPoint design;
    QSize frame;
    QRect screen;
    QPoint expected;
  } rows[] = {
      {{418, 297}, {954, 610}, {0, 0, 1920, 1050}, {418, 297}},     // fits: the design place
      {{418, 297}, {954, 610}, {0, 0, 1366, 738}, {412, 128}},      // laptop with a panel: moved up and left
      {{627, 446}, {1426, 910}, {0, 0, 1920, 1080}, {494, 170}},    // 144 dpi on 1920 x 1080
      {{418, 297}, {954, 610}, {0, 30, 1366, 738}, {412, 158}},     // panel at the top
      {{627, 446}, {1426, 910}, {0, 0, 1366, 738}, {0, 0}},         // larger than the screen: top left stays
      {{418, 297}, {954, 610}, {1920, 0, 1366, 768}, {1920, 158}},  // on a second screen to the right
  };
  for (const auto& row : rows) {
    const QPoint at = MainWindow::FitOnScreen(row.design, row.frame, row.screen);
    EXPECT_EQ(at, row.expected) << row.screen.width() << "x" << row.screen.height();
  }
}

TEST(MainWindowFit, CaptionsStandClearOfTheGroupBorders) {
  MainWindow window;
  window.show();
  for (QGroupBox* box : window.findChildren<QGroupBox*>()) {
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect frame = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, box);
    const QRect title = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    for (const QLabel* label : box->findChildren<QLabel*>()) {
      const QString where = box->objectName() + u'/' + label->objectName();
      EXPECT_GE(label->y(), frame.top() + 4) << where.toStdString();
      // Nothing of a label reaches up into the caption's letters.
      EXPECT_GT(label->y(), title.top() + QFontMetrics(box->font()).ascent()) << where.toStdString();
      EXPECT_LE(label->x() + label->width(), frame.right()) << where.toStdString();
    }
  }
}

TEST(MainWindowFit, BannerBreaksOnlyBetweenWords) {
  MainWindow window;
  const QFontMetrics metrics(window.font());
  const struct {
    const char16_t* text;
    int width;
    const char16_t* expected;
  } rows[] = {
      {u"a b", 10000, u"a b"},
      {u"ЩМКР.540", 1, u"ЩМКР.540"},  // a word longer than the line stays whole
      {u"  a   b  ", 10000, u"a b"},
      {u"", 100, u""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(MainWindow::WrapAtBlanks(QString::fromUtf16(row.text), metrics, row.width),
              QString::fromUtf16(row.expected));
  }
  const auto* banner = window.findChild<QLabel*>(QStringLiteral("lbl_modbus_off"));
  const QStringList lines = banner->text().split(u'\n');
  EXPECT_GE(lines.size(), 2);
  EXPECT_TRUE(lines.contains(QStringLiteral(u"ЩМКР.540")) || lines.last().endsWith(QStringLiteral(u" ЩМКР.540")))
      << banner->text().toStdString();
  for (const QString& line : lines) EXPECT_LE(QFontMetrics(banner->font()).horizontalAdvance(line), banner->width());
  EXPECT_EQ(lines.join(u' '), QStringLiteral(u"Управление по Modbus заблокировано в ЩМКР.540"));
}

TEST(MainWindowFit, CommandButtonsShareOneFaceThatFits) {
  MainWindow window;
  const QFont face = window.CommandButton(0)->font();
  for (int i = 0; i < 4; ++i) {
    QPushButton* button = window.CommandButton(i);
    EXPECT_EQ(button->font(), face) << i;
    EXPECT_LT(QFontMetrics(button->font()).horizontalAdvance(button->text()), button->width()) << i;
  }
  // 12 pt unless no face at all fits; with the usual faces one does.
  EXPECT_DOUBLE_EQ(face.pointSizeF(), 12.0) << face.family().toStdString();
}

TEST(MainWindowFit, MessageBoxButtonsAreRussian) {
  const ApplicationTranslations translations;
  CommonPrompter prompter;
  QStringList captions;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* button : box->buttons()) captions << button->text();
    box->button(QMessageBox::Retry)->click();
  });
  const settings::Answer answer = prompter.Ask({QStringLiteral(u"Ошибка"), QStringLiteral(u"Текст"),
                                                settings::Message::Buttons::retry_cancel,
                                                settings::Message::Icon::error, QStringLiteral(u"подробности")});
  EXPECT_EQ(answer, settings::Answer::retry);
  EXPECT_TRUE(captions.contains(QStringLiteral(u"Повторить"))) << captions.join(u'|').toStdString();
  EXPECT_TRUE(captions.contains(QStringLiteral(u"Отмена"))) << captions.join(u'|').toStdString();
  if (!translations.Loaded()) GTEST_SKIP() << "Qt's Russian catalogue (qt6-translations-l10n) is not installed";
  // The details button is Qt's own; its caption comes from the catalogue.
  EXPECT_FALSE(captions.contains(QStringLiteral("Show Details..."))) << captions.join(u'|').toStdString();
}

}  // namespace
}  // namespace zart::ui

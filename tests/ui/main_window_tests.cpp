#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTest>
#include <QDateTime>
#include <QTimer>

#include "controller.h"
#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "monitor/main_window_logic.h"
#include "main_window_test_support.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "link/port_switch.h"
#include "support/fake_link_view.h"
#include "support/fake_network_port.h"
#include "support/fake_serial_port.h"
#include "support/scripted_prompter.h"
#include "ui/application_translations.h"
#include "ui/common_prompter.h"
#include "ui/main_window.h"
#include "ui/port_dialog.h"
#include "ui/port_scan_dialog.h"
#include "ui/port_dialog_state.h"

namespace zart::ui {
namespace {

using settings::Answer;
using testing::AppFixture;
using testing::StatusBlock;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale::c());
    ASSERT_TRUE(fx.app->Start());
    // The tests drive the exchange by hand.
    fx.app->Timer().Stop();
  }
  MainWindow& window() { return fx.app->Window(); }
  link::ExchangeCycle& cycle() { return fx.app->Cycle(); }
  QLabel* label(const char* name) { return window().findChild<QLabel*>(QLatin1String(name)); }

  AppFixture fx;
};

TEST_F(MainWindowTest, BeforeAnyReplyEverythingWaitsInAFixedSizeWindow) {
  for (const char* name : {"lbl_object", "lbl_eng_rpm", "lbl_acc", "lbl_motomin", "lbl_tr_id"})
    EXPECT_EQ(label(name)->text(), QStringLiteral("-")) << name;
  EXPECT_FALSE(window().Lamp(0)->autoFillBackground());
  // No data yet: the cells dark and greyed, the lamps of one type hidden
  // until the controller says which it is, and the window says so.
  EXPECT_FALSE(window().SignalCell(1)->autoFillBackground());
  EXPECT_FALSE(window().SignalCell(1)->isEnabled());
  EXPECT_FALSE(window().Lamp(6)->isVisible());
  EXPECT_FALSE(window().Lamp(7)->isVisible());
  EXPECT_EQ(window().StaleNote()->text(), MainWindow::NoDataNote());
  // Cell 17 is the first of the second row.
  EXPECT_EQ(window().SignalCell(17)->geometry().topLeft(), window().SignalCell(0)->geometry().bottomLeft() + QPoint(0, 1));
  EXPECT_FALSE(window().SignalCell(0)->isVisible());
  EXPECT_FALSE(label("lbl_modbus_off")->isVisible());
  EXPECT_FALSE(window().findChild<QCheckBox*>(QStringLiteral("chk_armoff"))->isVisible());
  EXPECT_EQ(window().findChild<QComboBox*>(QStringLiteral("cmb_slad"))->currentText(), QStringLiteral("7"));

  EXPECT_EQ(window().minimumSize(), window().maximumSize());
  EXPECT_FALSE(window().windowFlags() & Qt::WindowMaximizeButtonHint);
  const QList<QAction*> menu = window().menuBar()->actions();
  // The design's two commands act at once; the "Сервис" menu stands beside them.
  ASSERT_EQ(menu.size(), 3);
  EXPECT_EQ(menu[2]->menu(), window().ServiceMenu());
}

TEST_F(MainWindowTest, FocusStartsOnStartAndFollowsTheButtonsThenTheAddress) {
  window().activateWindow();
  QCoreApplication::processEvents();
  QWidget* w = window().CommandButton(0);
  EXPECT_EQ(window().focusWidget(), w);
  QStringList order;
  for (int i = 0; i < 5; ++i) {
    order << w->objectName();
    w = w->nextInFocusChain();
    while (!w->isVisible() || w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
  }
  EXPECT_EQ(order, (QStringList{QStringLiteral("cmd_mode_0"), QStringLiteral("cmd_mode_1"),
                                QStringLiteral("cmd_mode_2"), QStringLiteral("cmb_slad"), QStringLiteral("cmd_mode_3")}));
}

TEST_F(MainWindowTest, StatusReplyFillsTheWindow) {
  cycle().ExchangeTick();  // no answer yet; sends the first status request
  EXPECT_EQ(label("lbl_sys_mes")->text(), QStringLiteral(u"Ошибка обмена: Нет ответа от контроллера ЗАРТ"));

  fx.Tick(
      StatusBlock().Set(302, 1).Set(303, 1500).Set(304, 500).Set(305, 243).Set(392, 0x0401).Set(397, 0x0002).Frame());

  // Wiring only: the decoder's own tests cover every value's format.
  EXPECT_EQ(label("lbl_sys_mes")->text(), QStringLiteral(u"Связь с контроллером ЗАРТ установлена"));
  EXPECT_EQ(label("lbl_object")->text(), QStringLiteral(u"ДРА"));
  EXPECT_EQ(label("lbl_eng_rpm")->text(), QStringLiteral("1500 "));
  EXPECT_EQ(label("lbl_acc")->text(), QStringLiteral("24.3 "));
  EXPECT_TRUE(label("lbl_prop_rpm")->isVisible());

  // Lamp 0 lit red; lamp 10 hidden for ДРА.
  EXPECT_TRUE(window().Lamp(0)->autoFillBackground());
  EXPECT_EQ(window().Lamp(0)->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_FALSE(window().Lamp(10)->isVisible());
  EXPECT_FALSE(window().Lamp(1)->autoFillBackground());

  EXPECT_TRUE(window().SignalCell(1)->autoFillBackground());
  EXPECT_EQ(window().SignalCell(1)->palette().color(QPalette::Window), QColor(0, 255, 0));
  EXPECT_FALSE(window().SignalCell(2)->autoFillBackground());

  EXPECT_TRUE(window().SignalCell(1)->isEnabled());
  EXPECT_FALSE(window().StaleNote()->isVisible());

  // The next idle request is the first heartbeat.
  cycle().ExchangeTick();
  EXPECT_EQ(label("lbl_tr_id")->text(), QStringLiteral("1"));

  // Replies stop: the values stay, greyed, and the window says since when.
  fx.app->Logic().Decoder().CheckFreshness(QDateTime::currentDateTime().addSecs(2));
  EXPECT_FALSE(label("lbl_eng_rpm")->isEnabled());
  EXPECT_EQ(label("lbl_eng_rpm")->text(), QStringLiteral("1500 "));
  EXPECT_TRUE(window().StaleNote()->text().startsWith(QStringLiteral(u"Нет связи с ")));
  EXPECT_FALSE(window().Lamp(0)->isEnabled());
}

TEST_F(MainWindowTest, CommandClickSendsItsFrameToTheSelectedAddress) {
  cycle().ExchangeTick();
  QTest::mouseClick(window().CommandButton(1), Qt::LeftButton);
  auto* address = window().findChild<QComboBox*>(QStringLiteral("cmb_slad"));
  address->setCurrentIndex(12);
  emit address->activated(12);  // the user's choice reaches the exchange
  EXPECT_EQ(cycle().SlaveAddress(), 12);
  fx.Tick({7, 4, 0});  // garbled answer to the status read: it is repeated first
  fx.Tick(StatusBlock().Frame());
  const std::vector<std::uint8_t> stop{0x0C, 0x06, 0x01, 0x92, 0x45, 0x69, 0xDA, 0x78};
  ASSERT_FALSE(fx.port->written.empty());
  EXPECT_EQ(fx.port->written.back(), stop);
}

// The menu's gating and the hook's banner are the logic's tests, the flag
// cleared again the end-to-end row's; here the menu reaches the hook and the
// widgets follow the flag.
TEST_F(MainWindowTest, BlockedFlagDisablesParamMenuAndShowsBanner) {
  testing::FakeParamHook hook;
  fx.app->SetParamWindowHook(&hook);
  window().ParamMenu()->trigger();
  EXPECT_EQ(hook.opened, 1);
  cycle().ExchangeTick();
  fx.Tick(StatusBlock().Set(300, 0x8203).Frame());
  EXPECT_TRUE(label("lbl_modbus_off")->isVisible());
  EXPECT_FALSE(window().ParamMenu()->isEnabled());
  fx.app->SetParamWindowHook(nullptr);
}

TEST_F(MainWindowTest, ClosingTheWindowStopsTheExchange) {
  fx.app->Timer().Start();
  window().close();
  EXPECT_FALSE(fx.app->Timer().IsActive());
  EXPECT_FALSE(window().isVisible());
}

// ---- Start-up ---------------------------------------------------------------

TEST(StartUpTest, OkOpensThePortDialogModallyAndStartUpGoesOn) {
  AppFixture fx(5, {1, 2});
  fx.prompter->answers = {Answer::ok};
  bool wasModal = false;
  bool windowShownMeanwhile = true;
  // The user, once the dialog is up (it probes the ports first): picks
  // COM2 and confirms.
  QTimer user;
  int looks = 0;
  user.setInterval(5);
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<PortDialog*>(QApplication::activeModalWidget());
    if (!dialog) {
      if (++looks > 400) user.stop();  // never came up: the test fails below
      return;
    }
    user.stop();
    wasModal = dialog->isModal();
    windowShownMeanwhile = fx.app->Window().isVisible();
    dialog->PortList()->setCurrentIndex(1);
    emit dialog->PortList()->activated(1);
    dialog->OkButton()->click();
  });
  user.start();

  ASSERT_TRUE(fx.app->Start());
  EXPECT_TRUE(wasModal);
  EXPECT_FALSE(windowShownMeanwhile);
  EXPECT_EQ(fx.prompter->asked.size(), 1u);
  EXPECT_TRUE(fx.port->IsOpen());
  EXPECT_EQ(fx.port->PortNumber(), 2);
  EXPECT_EQ(fx.Setting(QStringLiteral("PC config"), QStringLiteral("COM")), QStringLiteral("2"));
  EXPECT_EQ(fx.app->Settings().ComPort(), 2);
  EXPECT_TRUE(fx.app->Window().isVisible());
  EXPECT_TRUE(fx.app->Timer().IsActive());
  EXPECT_EQ(fx.app->OpenPortDialog(), nullptr);
}

// Link= in тп.ini: the gateway is connected in the background and the
// serial port left closed; an address that does not read is told once and
// the serial port used as without the key.
TEST(StartUpTest, LinkInTheSettingsStartsOnTheGatewayOrSaysWhyNot) {
  for (const bool readable : {true, false}) {
    AppFixture fx(1, {1});
    fx.WriteSettings(readable ? QStringLiteral("Link=tcp://127.0.0.1:1\r\nReplyTimeout=2500") : QStringLiteral("Link=tcp://gw:0"));
    ASSERT_TRUE(fx.app->Start());
    EXPECT_EQ(fx.app->Links().UsesNetwork(), readable);
    EXPECT_EQ(fx.port->IsOpen(), !readable);
    EXPECT_EQ(fx.app->Network().ReplyTimeoutMs(), readable ? 2500 : 1000);
    ASSERT_EQ(fx.prompter->asked.size(), readable ? 0u : 1u);
    if (!readable) { EXPECT_TRUE(fx.prompter->asked[0].text.endsWith(QStringLiteral(u"Используется порт COM1."))); }
  }
}

TEST(StartUpTest, PortMenuOpensOneModelessDialogAtATime) {
  AppFixture fx(1, {1, 2});
  ASSERT_TRUE(fx.app->Start());
  fx.app->Window().PortMenu()->trigger();
  PortDialog* first = fx.app->OpenPortDialog();
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(first->isModal());
  EXPECT_EQ(first->parentWidget(), nullptr);
  EXPECT_TRUE(fx.app->Timer().IsActive());

  fx.app->Window().PortMenu()->trigger();
  EXPECT_EQ(fx.app->OpenPortDialog(), first);

  first->CancelButton()->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(fx.app->OpenPortDialog(), nullptr);
}

// ---- Fast exchange --------------------------------------------------------

TEST(StartUpTest, FastExchangeComesFromTheSettingsFileAndTheRunTimeSwitchStoresIt) {
  AppFixture fx(1, {1});
  fx.WriteSettings(QStringLiteral("COM=1\r\nFastExchange=1"));
  ASSERT_TRUE(fx.app->Start());
  EXPECT_TRUE(fx.app->FastExchange());
  EXPECT_TRUE(fx.app->Timer().FastExchange());

  fx.app->SetFastExchange(false);
  EXPECT_FALSE(fx.app->Timer().FastExchange());
  EXPECT_EQ(fx.Setting(QStringLiteral("PC config"), QStringLiteral("FastExchange")), QStringLiteral("0"));
}

// ---- The main window on real screens: where it opens, captions clear of the
// group borders, the banner's line breaks, the command buttons' face, and
// Qt's own texts in Russian.

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
#ifdef Q_OS_WIN
  GTEST_SKIP() << "the fit depends on the installed fonts, and Wine's differ from Windows' own";
#endif
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
#ifdef Q_OS_WIN
  GTEST_SKIP() << "the fit depends on the installed fonts, and Wine's differ from Windows' own";
#endif
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

// ---- The port dialog --------------------------------------------------------

class PortDialogTest : public ::testing::Test {
 protected:
  /// The program running on `comPort`, open when it can be.
  void StartOn(int comPort, std::set<int> openable, std::set<int> busy = {}) {
    port.openable = std::move(openable);
    port.busy = std::move(busy);
    settings.SetComPort(comPort);
    settings.SaveConfig(7);
    port.SetPortNumber(comPort);
    port.Open();
    view.statusHistory.clear();
  }
  std::unique_ptr<PortDialog> Open() { return std::make_unique<PortDialog>(links, settings, view, exchange, state); }
  static QStringList Entries(const PortDialog& dialog) {
    QStringList list;
    for (int i = 0; i < dialog.PortList()->count(); ++i) list << dialog.PortList()->itemText(i);
    return list;
  }
  static void Pick(PortDialog& dialog, const QString& entry) {
    const int i = dialog.PortList()->findText(entry);
    ASSERT_GE(i, 0) << entry.toStdString();
    dialog.PortList()->setCurrentIndex(i);
    emit dialog.PortList()->activated(i);
  }
  QString StoredPort() const {
    return settings::ReadIniKey(settings.Path(), QStringLiteral("PC config"), QStringLiteral("COM"), QString());
  }

  QTemporaryDir folder;
  testing::FakeSerialPort port;
  testing::FakeNetworkPort net;
  link::PortSwitch links{port, net};
  testing::FakeLinkView view;
  testing::ScriptedPrompter prompter;
  settings::SettingsFile settings{folder.path(), view, prompter};
  link::ExchangeCycle exchange{links, view};
  PortDialogState state;
};

enum class Finish { ok, cancel, closeBox };

struct Situation {
  const char* name;
  int comPort;
  std::set<int> openable, busy;
  QStringList listed;  // entries of the list when it opens
  const char* pick;    // entry the user picks, or nullptr
  Finish finish;
  int stored;    // COM= in the file afterwards
  int openPort;  // the port open afterwards, 0 for none
};

std::ostream& operator<<(std::ostream& os, const Situation& s) { return os << s.name; }

class PortDialogSituation : public PortDialogTest, public ::testing::WithParamInterface<Situation> {};

TEST_P(PortDialogSituation, ListsPicksAndStores) {
  const Situation& s = GetParam();
  StartOn(s.comPort, s.openable, s.busy);
  auto dialog = Open();
  EXPECT_EQ(Entries(*dialog), s.listed);
  if (s.pick) {
    Pick(*dialog, QString::fromLatin1(s.pick));
    EXPECT_EQ(port.PortNumber(), QString::fromLatin1(s.pick).mid(3).toInt()) << "picking switches the live port";
    EXPECT_EQ(StoredPort(), QString::number(s.comPort)) << "only OK writes the file";
  }
  exchange.SetSlaveAddress(9);
  if (s.finish == Finish::ok) dialog->OkButton()->click();
  if (s.finish == Finish::cancel) dialog->CancelButton()->click();
  if (s.finish == Finish::closeBox) {
    dialog->show();
    dialog->close();
  }
  EXPECT_EQ(StoredPort(), QString::number(s.stored));
  EXPECT_EQ(settings.ComPort(), s.stored);
  EXPECT_EQ(port.IsOpen() ? port.PortNumber() : 0, s.openPort);
  if (s.pick) { EXPECT_EQ(state.port_confirmed, s.finish == Finish::ok); }
  if (s.finish == Finish::ok && s.stored) {
    EXPECT_EQ(settings::ReadIniKey(settings.Path(), QStringLiteral("KZR config"), QStringLiteral("MBSLAD"), {}),
              QStringLiteral("9"));
  }
  if (s.finish != Finish::ok) { EXPECT_TRUE(view.statusHistory.isEmpty()); }
  EXPECT_TRUE(prompter.asked.empty());
  if (s.finish == Finish::ok && s.pick) {
    // The confirmation outlives the dialog: the next one shows the port and,
    // closed by its box, keeps it.
    auto again = Open();
    EXPECT_EQ(again->PortList()->currentText(), QString::fromLatin1(s.pick));
    again->show();
    again->close();
    EXPECT_TRUE(state.port_confirmed);
    EXPECT_EQ(port.PortNumber(), s.stored);
  }
}

const QString C1 = QStringLiteral("COM1"), C2 = QStringLiteral("COM2"), C5 = QStringLiteral("COM5"),
              C12 = QStringLiteral("COM12"), C16 = QStringLiteral("COM16");

INSTANTIATE_TEST_SUITE_P(
    Situations, PortDialogSituation,
    ::testing::Values(
        Situation{"NothingOpenableStoresZero", 1, {}, {}, {}, nullptr, Finish::ok, 0, 0},
        Situation{"BusyPortInForceIsLeftOutAndAnotherPicked", 3, {1, 2}, {3}, {C1, C2}, "COM2", Finish::ok, 2, 2},
        Situation{"OnlyOpenablePortsUpToSixteen", 1, {1, 5, 16, 17, 40}, {}, {C1, C5, C16}, nullptr, Finish::cancel, 1, 1},
        Situation{"PickedPortIsStoredByOk", 1, {1, 12}, {}, {C1, C12}, "COM12", Finish::ok, 12, 12},
        Situation{"CancelGoesBackToThePortInUse", 1, {1, 12}, {}, {C1, C12}, "COM12", Finish::cancel, 1, 1},
        Situation{"CloseBoxGoesBackToThePortInUse", 1, {1, 12}, {}, {C1, C12}, "COM12", Finish::closeBox, 1, 1},
        Situation{"OkUntouchedStoresThePortInUse", 2, {1, 2}, {}, {C1, C2}, nullptr, Finish::ok, 2, 2},
        Situation{"OkWithThePortInForceUnlistedStoresZero", 3, {1, 2}, {}, {C1, C2}, nullptr, Finish::ok, 0, 0}),
    [](const ::testing::TestParamInfo<Situation>& p) { return std::string(p.param.name); });

TEST_F(PortDialogTest, NoPortStatusPreselectionAndTooltips) {
  StartOn(1, {});
  Open()->OkButton()->click();
  // Port 0 is refused, and the opening on the last accepted number fails too.
  EXPECT_EQ(view.statusHistory.count(QStringLiteral(u"Порт не выбран")), 2);

  StartOn(5, {1, 5});
  auto dialog = Open();
  EXPECT_EQ(dialog->PortList()->currentText(), QStringLiteral("COM5"));
  EXPECT_EQ(dialog->PortList()->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/fake5"));
  // A port typed over the list is the port, as typed.
  for (const auto& [typed, number] : {std::pair{"COM7", 7}, {" com 3 ", 3}, {"12", 12}, {"COM0", 0}, {"COM256", 0},
                                      {"USB", 0}, {"", 0}}) {
    dialog->PortList()->lineEdit()->setText(QString::fromLatin1(typed));
    EXPECT_EQ(dialog->SelectedPort(), number) << typed;
  }
  dialog->PortList()->lineEdit()->setText(QStringLiteral("COM3"));
  dialog->OkButton()->click();
  EXPECT_EQ(StoredPort(), QStringLiteral("3"));

  // "Обновить" finds an adapter plugged in while the dialog is open.
  StartOn(5, {5});
  dialog = Open();
  EXPECT_EQ(Entries(*dialog), QStringList{QStringLiteral("COM5")});
  port.openable.insert(9);
  dialog->RefreshButton()->click();
  EXPECT_EQ(Entries(*dialog), (QStringList{QStringLiteral("COM5"), QStringLiteral("COM9")}));
  EXPECT_EQ(dialog->PortList()->currentText(), QStringLiteral("COM5"));
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(PortDialogTest, OpensWithFocusOnOkAndTabsToCancelThenTheList) {
  StartOn(1, {1});
  auto dialog = Open();
  dialog->show();
  dialog->activateWindow();
  QCoreApplication::processEvents();
  EXPECT_EQ(dialog->focusWidget(), dialog->OkButton());
  QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(dialog->focusWidget(), dialog->CancelButton());
  QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
  EXPECT_TRUE(dialog->focusWidget() == dialog->PortList() || dialog->PortList()->isAncestorOf(dialog->focusWidget()));
  dialog->close();
}

TEST_F(PortDialogTest, ExchangeRunsBetweenProbesButNeverInsideATick) {
  StartOn(1, {1, 2, 3});
  link::ExchangeCycle& cycle = exchange;
  QTimer ticks;
  ticks.setInterval(0);
  QObject::connect(&ticks, &QTimer::timeout, [&cycle] { cycle.ExchangeTick(); });
  ticks.start();
  auto dialog = Open();
  ticks.stop();
  EXPECT_GT(cycle.Counters().ticks, 0u);
  EXPECT_EQ(cycle.Counters().nestedTicksSkipped, 0u);
  EXPECT_EQ(Entries(*dialog).size(), 3);
}

// ---- Fast exchange check box ---------------------------------------------

TEST_F(PortDialogTest, FastExchangeBoxShowsTheStoredChoiceAndOnlyOkStoresIt) {
  StartOn(1, {1});
  const auto stored = [this] {
    return settings::ReadIniKey(settings.Path(), QStringLiteral("PC config"), QStringLiteral("FastExchange"),
                                QStringLiteral("<none>"));
  };
  auto dialog = Open();
  EXPECT_FALSE(dialog->FastExchangeBox()->isChecked());
  dialog->FastExchangeBox()->setChecked(true);
  dialog->OkButton()->click();
  EXPECT_TRUE(settings.FastExchange());
  EXPECT_EQ(stored(), QStringLiteral("1"));

  dialog = Open();
  EXPECT_TRUE(dialog->FastExchangeBox()->isChecked());
  dialog->FastExchangeBox()->setChecked(false);
  dialog->CancelButton()->click();
  EXPECT_TRUE(settings.FastExchange());
  EXPECT_EQ(stored(), QStringLiteral("1"));
}

// ---- The network part -------------------------------------------------------

struct NetSituation {
  const char* name;
  const char* linkBefore;  // Link= in force when the dialog opens ("": the serial port)
  bool box;                // "Через шлюз Ethernet" as the user leaves it
  const char* typed;       // typed as the address; nullptr: untouched
  bool mbap;               // the mode list at Modbus TCP
  Finish finish;
  const char* linkAfter;   // Link= in the file afterwards ("-": never written)
};

std::ostream& operator<<(std::ostream& os, const NetSituation& s) { return os << s.name; }

class PortDialogNetwork : public PortDialogTest, public ::testing::WithParamInterface<NetSituation> {};

TEST_P(PortDialogNetwork, StoresTheGatewayOrTheLine) {
  const NetSituation& s = GetParam();
  StartOn(1, {1});
  const QString before = QString::fromLatin1(s.linkBefore);
  if (!before.isEmpty()) {
    settings.SetLink(before);
    settings.SaveConfig(7);
    links.UseNetwork();
    net.SetAddress(*link::LinkAddress::Parse(before));
    net.Open();
  }
  auto dialog = Open();
  EXPECT_EQ(dialog->NetworkBox()->isChecked(), !before.isEmpty());
  EXPECT_EQ(port.IsOpen(), before.isEmpty()) << "the line stays closed while the gateway is in use";
  dialog->NetworkBox()->setChecked(s.box);
  if (s.typed) dialog->AddressEdit()->setText(QString::fromLatin1(s.typed));
  dialog->ModeList()->setCurrentIndex(s.mbap ? 1 : 0);
  dialog->ReplyTimeoutBox()->setValue(2500);
  (s.finish == Finish::ok ? dialog->OkButton() : dialog->CancelButton())->click();
  const QString stored = settings::ReadIniKey(settings.Path(), QStringLiteral("PC config"), QStringLiteral("Link"), QStringLiteral("-"));
  EXPECT_EQ(stored, QString::fromLatin1(s.linkAfter));
  const QString inForce = stored == QStringLiteral("-") ? before : stored;
  EXPECT_EQ(links.UsesNetwork(), !inForce.isEmpty());
  EXPECT_EQ(port.IsOpen(), inForce.isEmpty());
  if (!inForce.isEmpty()) {
    EXPECT_EQ(net.Address().ToUrl(), inForce);
    EXPECT_EQ(net.opens, 1) << "a connection to the same gateway is kept";
    EXPECT_EQ(net.ReplyTimeoutMs(), s.finish == Finish::ok ? 2500 : 1000);
  }
  // A gateway chosen but refused: the dialog stays and says why.
  const bool refused = s.finish == Finish::ok && s.box && stored == QStringLiteral("-");
  EXPECT_EQ(dialog->NetworkResult()->text().isEmpty(), !refused);
  EXPECT_EQ(settings.Link(), QString::fromLatin1(refused ? s.linkBefore : s.linkAfter).remove(QLatin1Char('-')));
}

INSTANTIATE_TEST_SUITE_P(
    Situations, PortDialogNetwork,
    ::testing::Values(
        NetSituation{"OkStoresTheGatewayAndUsesIt", "", true, " 10.0.0.5:4001 ", false, Finish::ok, "rtuovertcp://10.0.0.5:4001"},
        NetSituation{"ModbusTcpWithoutAPortTakes502", "", true, "gw.local", true, Finish::ok, "tcp://gw.local:502"},
        NetSituation{"APastedAddressKeepsItsScheme", "", true, "tcp://10.0.0.9:1502", false, Finish::ok, "tcp://10.0.0.9:1502"},
        NetSituation{"CancelLeavesTheLineInUse", "", true, "10.0.0.5:4001", false, Finish::cancel, "-"},
        NetSituation{"AnAddressWithoutAPortIsRefused", "", true, "10.0.0.5", false, Finish::ok, "-"},
        NetSituation{"UncheckingGoesBackToTheLine", "rtuovertcp://10.0.0.5:4001", false, nullptr, false, Finish::ok, ""},
        NetSituation{"CancelKeepsTheGatewayConnected", "rtuovertcp://10.0.0.5:4001", false, nullptr, false, Finish::cancel,
                     "rtuovertcp://10.0.0.5:4001"}),
    [](const ::testing::TestParamInfo<NetSituation>& p) { return std::string(p.param.name); });

// "Проверить" switches the live link to the gateway and says what one status
// read found.
TEST_F(PortDialogTest, CheckTellsWhatTheGatewayAnswered) {
  StartOn(1, {1});
  sim::Controller controller{sim::EepromImage::Defaults(0), 7};
  for (const auto& [answers, refusal, result] :
       {std::tuple{true, "", u"Найден контроллер ЗАРТ: ДГУ, версия протокола "},
        {false, "", u"Нет ответа от контроллера ЗАРТ (адрес 7) через 10.0.0.5:4001"},
        {false, "соединение отвергнуто", u"Нет соединения с 10.0.0.5:4001: соединение отвергнуто"}}) {
    net.answer = [&, on = answers](const testing::FakeNetworkPort::Bytes& f) { return on ? controller.HandleRequest(f) : std::nullopt; };
    net.refusal = QString::fromUtf8(refusal);
    auto dialog = Open();
    dialog->NetworkBox()->setChecked(true);
    dialog->AddressEdit()->setText(QStringLiteral("10.0.0.5:4001"));
    dialog->CheckButton()->click();
    EXPECT_TRUE(links.UsesNetwork());
    const QString expected = QString::fromUtf16(result);
    for (int i = 0; i < 40 && !dialog->NetworkResult()->text().startsWith(expected); ++i) {
      EXPECT_EQ(dialog->CheckButton()->isEnabled(), false) << "one check at a time";
      QCoreApplication::processEvents();
      exchange.ExchangeTick();
    }
    EXPECT_TRUE(dialog->NetworkResult()->text().startsWith(expected)) << dialog->NetworkResult()->text().toStdString();
    EXPECT_TRUE(dialog->CheckButton()->isEnabled());
    dialog->CancelButton()->click();
    EXPECT_TRUE(port.IsOpen() && !links.UsesNetwork());
  }
}

// "Поиск контроллера…" lists who answers on the link in use; choosing one
// sets the address the exchange and the main window use; "Отмена" stops at
// once and leaves the address as it was; a link not open is said at once.
TEST_F(PortDialogTest, ScanFindsTheControllerAndChoosingItSetsTheAddress) {
  StartOn(1, {1});
  sim::Controller controller{sim::EepromImage::Defaults(0), 7};
  net.answer = [&](const testing::FakeNetworkPort::Bytes& f) { return controller.HandleRequest(f); };
  net.SetAddress(*link::LinkAddress::Parse(QStringLiteral("rtuovertcp://10.0.0.5:4001")));
  links.UseNetwork();
  exchange.SetSlaveAddress(3);
  view.slaveAddress = 3;
  auto dialog = Open();
  enum class Then { closed, cancel, choose };
  for (const auto& [then, address, said] :
       {std::tuple{Then::closed, 3, u"Поиск не начат: Нет соединения с 10.0.0.5:4001"},
        {Then::cancel, 3, u"Поиск остановлен. Опрошено адресов: 10"}, {Then::choose, 7, u"Поиск закончен. Ответили: 1"}}) {
    SCOPED_TRACE(static_cast<int>(then));
    if (then != Then::closed) net.Open();
    QString told;
    QTimer::singleShot(0, dialog.get(), [&, then = then] {
      PortScanDialog* scan = dialog->ScanDialog();
      ASSERT_NE(scan, nullptr);
      for (int i = 0; i < 2000 && scan->Scan().Running() && (then == Then::choose || scan->Scan().Tried() < 10); ++i) {
        exchange.ExchangeTick();
        QCoreApplication::processEvents();
      }
      if (then == Then::choose) {
        EXPECT_EQ(scan->Scan().Tried(), 128);
        ASSERT_EQ(scan->List()->count(), 1);
        EXPECT_TRUE(scan->List()->item(0)->text().startsWith(QStringLiteral(u"адрес 7: ДГУ")));
        told = scan->StateText();
        scan->ChooseButton()->click();
      } else {
        scan->CancelButton()->click();
        EXPECT_FALSE(scan->Scan().Running());
        told = scan->StateText();
      }
    });
    dialog->ScanButton()->click();
    EXPECT_EQ(dialog->ScanDialog(), nullptr);
    EXPECT_EQ(exchange.SlaveAddress(), address);
    EXPECT_EQ(view.slaveAddress, address);
    EXPECT_TRUE(told.startsWith(QString::fromUtf16(said))) << told.toStdString();
  }
}

}  // namespace
}  // namespace zart::ui

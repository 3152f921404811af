#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "main_window_test_support.h"
#include "ui/main_window.h"
#include "ui/port_dialog.h"

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

  /// One tick that finds `reply` waiting, as if the controller had answered
  /// the request sent at the previous tick.
  void TickWithReply(const std::vector<std::uint8_t>& reply) {
    fx.port->Receive(reply);
    cycle().ExchangeTick();
  }

  AppFixture fx;
};

TEST_F(MainWindowTest, BeforeAnyReplyEverythingWaitsInAFixedSizeWindow) {
  EXPECT_TRUE(window().isVisible());
  EXPECT_TRUE(fx.prompter->asked.empty());
  for (const char* name : {"lbl_object", "lbl_eng_rpm", "lbl_acc", "lbl_motomin", "lbl_tr_id"})
    EXPECT_EQ(label(name)->text(), QStringLiteral("-")) << name;
  EXPECT_FALSE(window().Lamp(0)->autoFillBackground());
  EXPECT_TRUE(window().SignalCell(1)->autoFillBackground());
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

  TickWithReply(
      StatusBlock().Set(302, 1).Set(303, 1500).Set(304, 500).Set(305, 243).Set(392, 0x0401).Set(397, 0x0002).Frame());

  // Wiring only: the decoder's own tests cover every value's format.
  EXPECT_EQ(label("lbl_sys_mes")->text(), QStringLiteral(u"Связь с контроллером ЗАРТ установлена"));
  EXPECT_EQ(label("lbl_object")->text(), QStringLiteral(u"ДРА"));
  EXPECT_EQ(label("lbl_eng_rpm")->text(), QStringLiteral("1500 "));
  EXPECT_EQ(label("lbl_acc")->text(), QStringLiteral("24.3 "));
  EXPECT_TRUE(label("lbl_prop_rpm")->isVisible());

  // Lamp 0 lit red; lamp 10 lit but hidden for ДРА, lamp 7 in its place.
  EXPECT_TRUE(window().Lamp(0)->autoFillBackground());
  EXPECT_EQ(window().Lamp(0)->palette().color(QPalette::Window), QColor(255, 0, 0));
  EXPECT_FALSE(window().Lamp(10)->isVisible());
  EXPECT_TRUE(window().Lamp(7)->isVisible());
  EXPECT_FALSE(window().Lamp(1)->autoFillBackground());

  EXPECT_TRUE(window().SignalCell(1)->autoFillBackground());
  EXPECT_EQ(window().SignalCell(1)->palette().color(QPalette::Window), QColor(0, 255, 0));
  EXPECT_FALSE(window().SignalCell(2)->autoFillBackground());

  // The next idle request is the first heartbeat.
  cycle().ExchangeTick();
  EXPECT_EQ(label("lbl_tr_id")->text(), QStringLiteral("1"));
}

TEST_F(MainWindowTest, CommandClickSendsItsFrameToTheSelectedAddress) {
  cycle().ExchangeTick();
  QTest::mouseClick(window().CommandButton(1), Qt::LeftButton);
  window().findChild<QComboBox*>(QStringLiteral("cmb_slad"))->setCurrentIndex(12);
  TickWithReply({7, 4, 0});  // garbled answer to the status read: it is repeated first
  TickWithReply(StatusBlock().Frame());
  const std::vector<std::uint8_t> stop{0x0C, 0x06, 0x01, 0x92, 0x45, 0x69, 0xDA, 0x78};
  ASSERT_FALSE(fx.port->written.empty());
  EXPECT_EQ(fx.port->written.back(), stop);
}

// The menu's gating and the hook's banner are the logic's tests; here the
// widgets follow the flag.
TEST_F(MainWindowTest, BlockedFlagDisablesParamMenuAndShowsBanner) {
  cycle().ExchangeTick();
  TickWithReply(StatusBlock().Set(300, 0x8203).Frame());
  EXPECT_TRUE(label("lbl_modbus_off")->isVisible());
  EXPECT_FALSE(window().ParamMenu()->isEnabled());
  cycle().ExchangeTick();  // heartbeat
  TickWithReply({7, 0x10, 0x01, 0x90, 0x00, 0x02, 0x40, 0x7F});
  TickWithReply(StatusBlock().Set(300, 0x0203).Frame());
  EXPECT_FALSE(label("lbl_modbus_off")->isVisible());
  EXPECT_TRUE(window().ParamMenu()->isEnabled());
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
  QStringList listed;
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
    for (int i = 0; i < dialog->PortList()->count(); ++i) listed << dialog->PortList()->itemText(i);
    dialog->PortList()->setCurrentIndex(1);
    emit dialog->PortList()->activated(1);
    dialog->OkButton()->click();
  });
  user.start();

  ASSERT_TRUE(fx.app->Start());
  EXPECT_TRUE(wasModal);
  EXPECT_FALSE(windowShownMeanwhile);
  EXPECT_EQ(listed, (QStringList{QStringLiteral("COM1"), QStringLiteral("COM2")}));
  EXPECT_EQ(fx.prompter->asked.size(), 1u);
  EXPECT_TRUE(fx.port->IsOpen());
  EXPECT_EQ(fx.port->PortNumber(), 2);
  EXPECT_EQ(fx.Setting(QStringLiteral("PC config"), QStringLiteral("COM")), QStringLiteral("2"));
  EXPECT_EQ(fx.Setting(QStringLiteral("KZR config"), QStringLiteral("MBSLAD")), QStringLiteral("7"));
  EXPECT_TRUE(fx.app->Window().isVisible());
  EXPECT_TRUE(fx.app->Timer().IsActive());
  EXPECT_EQ(fx.app->OpenPortDialog(), nullptr);
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
  EXPECT_TRUE(fx.port->IsOpen());
  EXPECT_EQ(fx.port->PortNumber(), 1);
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
  EXPECT_EQ(fx.Setting(QStringLiteral("PC config"), QStringLiteral("COM")), QStringLiteral("1"));

  AppFixture plain(1, {1});
  ASSERT_TRUE(plain.app->Start());
  EXPECT_FALSE(plain.app->FastExchange());
}

}  // namespace
}  // namespace zart::ui

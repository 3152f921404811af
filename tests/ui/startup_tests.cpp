#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>

#include "link/exchange_timer.h"
#include "main_window_test_support.h"
#include "ui/main_window.h"
#include "ui/port_dialog.h"

namespace zart::ui {
namespace {

using settings::Answer;
using testing::AppFixture;

TEST(StartUpTest, NoSettingsFileCreatesItAndOpensPortOne) {
  AppFixture fx(-1, {1});
  ASSERT_TRUE(fx.app->Start());
  EXPECT_EQ(fx.Setting(QStringLiteral("PC config"), QStringLiteral("COM")), QStringLiteral("1"));
  EXPECT_EQ(fx.Setting(QStringLiteral("KZR config"), QStringLiteral("MBSLAD")), QStringLiteral("-1"));
  EXPECT_TRUE(fx.port->IsOpen());
  EXPECT_TRUE(fx.app->Timer().IsActive());
  EXPECT_TRUE(fx.app->Window().isVisible());
}

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

#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "link/exchange_cycle.h"
#include "params/box_colors.h"
#include "settings/prompter.h"
#include "support/frames.h"
#include "support/scripted_prompter.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "ui/file_chooser.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace zart::ui {
namespace {

class ParamControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_port.ForceOpen(true);
    m_controller = std::make_unique<ParamWindowController>(m_cycle, nullptr, m_view, m_prompter);
  }
  void TearDown() override { m_controller.reset(); }

  std::vector<std::uint8_t> HeadBytes() const {
    const link::RequestSlot& head = m_cycle.Queue().Head();
    return {head.slot_bytes.begin(), head.slot_bytes.begin() + head.last_index + 1};
  }

  testing::FakeSerialPort m_port;
  testing::FakeLinkView m_view;
  link::ExchangeCycle m_cycle{m_port, m_view};
  testing::ScriptedPrompter m_prompter{settings::Answer::ok};
  std::unique_ptr<ParamWindowController> m_controller;
};

TEST_F(ParamControllerTest, WindowBuiltInsideATickLosesNoReplyAndJudgesNoneTwice) {
  m_cycle.SetStatusHandler([this](const link::RxStore& rx) {
    // Bit 15 of register 300: control over Modbus blocked.
    m_controller->SetBlockedBanner((rx[3] & 0x80) != 0);
  });
  m_cycle.ExchangeTick();  // sends the idle status read
  ASSERT_EQ(m_port.written.size(), 1u);
  ASSERT_EQ(m_port.written[0][1], 4);

  std::vector<std::uint8_t> reply{7, 4, 250};
  reply.resize(3 + 250, 0);
  reply[3] = 0x82;  // protocol 2.3, blocked
  reply[4] = 0x03;
  m_port.Receive(testing::WithCrc(reply));

  // The exchange timer keeps firing while the builders let events run.
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  int timerTicks = 0;
  QObject::connect(&timer, &QTimer::timeout, [this, &timerTicks] {
    ++timerTicks;
    m_cycle.ExchangeTick();
  });
  timer.start(1);
  m_cycle.ExchangeTick();  // judges the reply; the status handler builds the window
  timer.stop();

  ASSERT_NE(m_controller->Window(), nullptr);
  EXPECT_TRUE(m_controller->Window()->isHidden());
  EXPECT_FALSE(m_controller->Window()->lbl_modbus_off()->isHidden());
  EXPECT_GT(timerTicks, 0);
  EXPECT_EQ(m_cycle.Counters().nestedTicksSkipped, static_cast<std::uint64_t>(timerTicks));
  EXPECT_EQ(m_cycle.Counters().validReplies, 1u);
  EXPECT_EQ(m_cycle.Counters().framesSent, 2u);
  EXPECT_EQ(m_cycle.Queue().ReadIndex(), 1);  // the head moved exactly once
}

TEST_F(ParamControllerTest, WhatHappensWhileTheWindowIsBuiltReachesTheFinishedWindow) {
  // Events run during the build: the user opens the window from the menu
  // and a status reply reports the blocked flag before the boxes exist.
  int pumps = 0;
  m_controller->SetEventPump([this, &pumps] {
    if (++pumps == 1) {
      EXPECT_EQ(m_controller->Window(), nullptr);
      m_controller->OpenParamWindow();
      m_controller->SetBlockedBanner(true);
    }
  });
  m_controller->SetBlockedBanner(false);
  ParamWindow* window = m_controller->Window();
  ASSERT_NE(window, nullptr);
  EXPECT_GT(pumps, 1);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->lbl_modbus_off()->isHidden());
  EXPECT_EQ(m_controller->Editor().Progress().total, 131);
  // Only one window was made.
  const QWidgetList tops = QApplication::topLevelWidgets();
  EXPECT_EQ(std::count_if(tops.begin(), tops.end(),
                          [](const QWidget* w) { return dynamic_cast<const ParamWindow*>(w) != nullptr; }),
            1);
}

TEST_F(ParamControllerTest, MenuReadsAllShowsProgressAndFillsTheBoxes) {
  m_controller->SetEventPump([] {});
  m_controller->OpenParamWindow();
  ParamWindow* window = m_controller->Window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), QStringLiteral(u"Программируемые параметры"));
  EXPECT_EQ(m_cycle.Queue().PendingCount(), 131);
  // The first block reads slots 0..9: ten bytes at 256.
  EXPECT_EQ(HeadBytes(), (std::vector<std::uint8_t>{0x00, 0x64, 0x01, 0x00, 10}));
  QProgressBar* bar = window->TransferBar();
  EXPECT_FALSE(bar->isHidden());
  EXPECT_EQ(bar->maximum(), 131);
  EXPECT_EQ(bar->value(), 0);

  m_cycle.ExchangeTick();  // sends the first read
  m_port.Receive(testing::WithCrc({7, 0x64, 0x01, 0x00, 10, 50, 1, 75, 40, 60, 80, 90, 100, 0, 0}));
  m_cycle.ExchangeTick();
  EXPECT_EQ(bar->value(), 1);
  EXPECT_EQ(bar->text(), QStringLiteral(u"1 / 131"));
  EXPECT_EQ(window->Text(2), QStringLiteral(u"1500 "));
  EXPECT_EQ(window->Color(9), params::COLOR_FROM_EEPROM);
  EXPECT_EQ(window->Text(10), QStringLiteral(u"-"));
  QTest::keyClicks(window->Panels().txt_par[2], QStringLiteral(u"7"));  // any key but Enter only edits
  EXPECT_EQ(window->Color(2), params::COLOR_CHANGED);
  EXPECT_EQ(m_cycle.Queue().PendingCount(), 130);
}

TEST_F(ParamControllerTest, SavingListsTheFileAndClosingDiscardsTheWindowAndItsValues) {
  QTemporaryDir dir;
  m_controller->SetEventPump([] {});
  m_controller->SetStartFolder(dir.path());
  m_controller->OpenParamWindow();
  QPointer<ParamWindow> first = m_controller->Window();
  ASSERT_FALSE(first.isNull());
  first->Chooser().Text3()->setText(QStringLiteral(u"set.ini"));
  first->cmdSaveFile()->click();
  ASSERT_EQ(first->Chooser().File2()->count(), 1);
  EXPECT_EQ(first->Chooser().File2()->item(0)->text(), QStringLiteral(u"set.ini"));
  EXPECT_TRUE(m_prompter.asked.empty());
  first->SetText(0, QStringLiteral(u"42"));
  first->close();
  EXPECT_EQ(m_controller->Window(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());

  // The next status reply builds it again, hidden, with fresh boxes.
  m_controller->SetBlockedBanner(true);
  ParamWindow* second = m_controller->Window();
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->isHidden());
  EXPECT_FALSE(second->lbl_modbus_off()->isHidden());
  EXPECT_EQ(second->Text(0), QStringLiteral(u"-"));
  m_controller->SetBlockedBanner(false);
  EXPECT_TRUE(second->lbl_modbus_off()->isHidden());
  EXPECT_EQ(m_controller->Window(), second);
}

}  // namespace
}  // namespace zart::ui

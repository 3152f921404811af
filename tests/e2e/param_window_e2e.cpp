// The parameters window over the real QSerialPort adapter against zart-sim:
// read-all, an edit with Enter, write-all moving the controller to a new
// address, and the parameter files, all through the window's own controls.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/qt_serial_port.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "settings/prompter.h"
#include "support/scripted_prompter.h"
#include "support/fake_link_view.h"
#include "support/sim_process.h"
#include "ui/file_chooser.h"
#include "ui/param_box.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace zart::ui {
namespace {


class ParamWindowE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_sim.Start()) << "zart-sim did not start";
    m_serial.SetPortMap(link::PortMap({{5, m_sim.LinkPath()}}));
    ASSERT_TRUE(m_serial.SetPortNumber(5));
    const link::OpenResult r = m_serial.Open();
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    ASSERT_TRUE(m_files.isValid());
    m_controller.SetStartFolder(m_files.path());
  }

  template <typename Pred>
  bool RunUntil(Pred done, int ms) {
    m_timer.Start();
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) testing::SimProcess::Pump(10);
    m_timer.Stop();
    return done();
  }

  /// Runs until the transfer just queued has been answered in full.
  bool RunTransfer() {
    return RunUntil([this] { return m_controller.Editor().Progress().total == 0; }, 40000);
  }

  /// One byte of the simulator's EEPROM.
  int SimByte(int address) {
    const QString answer = m_sim.Command(QStringLiteral("dump %1 1").arg(address));
    bool ok = false;
    const int value = answer.section(QLatin1Char(' '), -1).toInt(&ok, 16);
    return ok ? value : -1;
  }

  ParamWindow& Window() { return *m_controller.Window(); }

  testing::SimProcess m_sim{QStringLiteral(ZART_SIM_PATH)};
  link::QtSerialPort m_serial;
  testing::FakeLinkView m_view;
  link::ExchangeCycle m_cycle{m_serial, m_view};
  link::ExchangeTimer m_timer{m_cycle};
  testing::ScriptedPrompter m_prompter{settings::Answer::ok};
  QTemporaryDir m_files;
  ParamWindowController m_controller{m_cycle, nullptr, m_view, m_prompter};
};

TEST_F(ParamWindowE2e, ReadAllFillsEveryBoxAndEnterWritesOneSlot) {
  std::uint64_t paramRequests = 0;
  m_controller.OpenParamWindow();
  ASSERT_NE(m_controller.Window(), nullptr);
  EXPECT_TRUE(Window().isVisible());
  EXPECT_EQ(m_controller.Editor().Progress().total, 131);
  const std::uint64_t before = m_cycle.Counters().validReplies;
  ASSERT_TRUE(RunTransfer());
  paramRequests = m_cycle.Counters().validReplies - before;
  EXPECT_GE(paramRequests, 131u);
  for (int slot = 0; slot < params::kSlotCount; ++slot) {
    ASSERT_EQ(Window().Color(slot), params::COLOR_FROM_EEPROM) << "slot " << slot;
  }
  // For the documentation: the window after a read-all, at its design size.
  const QString shot = qEnvironmentVariable("ZART_PARAM_SCREENSHOT");
  if (!shot.isEmpty()) {
    Window().resize(Window().Twips().Px(27500), Window().Twips().Px(10300));
    QCoreApplication::processEvents();
    EXPECT_TRUE(Window().grab().save(shot));
  }
  // Slot 2 ("Стартовые обороты", scale 20) shows the simulator's byte at 258.
  EXPECT_EQ(Window().Text(2), QString::number(SimByte(258) * 20) + QLatin1Char(' '));

  ParamBox* box = Window().Panels().txt_par[2];
  box->setText(QStringLiteral(u"1500"));
  EXPECT_EQ(Window().Color(2), params::COLOR_CHANGED);
  QTest::keyClick(box, Qt::Key_Return);
  ASSERT_TRUE(RunUntil([this] { return Window().Color(2) == params::COLOR_FROM_EEPROM; }, 5000));
  EXPECT_EQ(Window().Text(2), QStringLiteral(u"1500 "));
  EXPECT_EQ(SimByte(258), 75);
}

TEST_F(ParamWindowE2e, WriteAllMovesTheControllerToTheEditedAddressAndTheToolFollows) {
  m_controller.OpenParamWindow();
  ASSERT_TRUE(RunTransfer());
  Window().SetText(23, QStringLiteral(u"9"));
  Window().SetText(3, QStringLiteral(u"800"));  // Обороты ХХ, scale 20: raw 40
  Window().cmd_writeall()->click();
  EXPECT_EQ(m_controller.Editor().Progress().total, 133);
  ASSERT_TRUE(RunTransfer());
  EXPECT_EQ(m_view.slaveAddress, 9);
  EXPECT_EQ(SimByte(279), 9);
  EXPECT_EQ(SimByte(259), 40);
  for (int slot = 0; slot < params::kSlotCount; ++slot) {
    ASSERT_EQ(Window().Color(slot), params::COLOR_FROM_EEPROM) << "slot " << slot;
  }
  // The controller answers on its new address.
  const std::uint64_t replies = m_cycle.Counters().validReplies;
  ASSERT_TRUE(RunUntil([&] { return m_cycle.Counters().validReplies >= replies + 5; }, 3000));
  EXPECT_EQ(m_view.status, link::ExchangeCycle::LinkUpMessage());
}

TEST_F(ParamWindowE2e, SaveLoadAndCompareAFile) {
  m_controller.OpenParamWindow();
  ASSERT_TRUE(RunTransfer());
  const QString saved = Window().Text(89);  // name of channel 1
  Window().Chooser().Text3()->setText(QStringLiteral(u"set.ini"));
  Window().cmdSaveFile()->click();
  ASSERT_TRUE(QFileInfo::exists(m_files.filePath(QStringLiteral(u"set.ini"))));
  EXPECT_EQ(Window().Color(0), params::COLOR_FROM_FILE);

  Window().SetText(89, QStringLiteral(u"другое"));
  Window().cmdCompare()->click();
  EXPECT_EQ(Window().Color(89), params::COLOR_DIFFERS_FROM_FILE);
  EXPECT_EQ(Window().Color(90), params::COLOR_MATCHES_FILE);

  Window().cmdReadFile()->click();
  EXPECT_EQ(Window().Text(89), saved.trimmed());
  EXPECT_EQ(Window().Color(89), params::COLOR_FROM_FILE);
  EXPECT_TRUE(m_prompter.asked.empty());
}

}  // namespace
}  // namespace zart::ui

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Backups taken before writes go to a test folder, not the user's documents.
  QStandardPaths::setTestModeEnabled(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

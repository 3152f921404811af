// Commissioning through the parameters window against zart-sim: read-all,
// three edits, write-all; the backup holds the controller's set from before
// the write, and the read-back check reports success, or the slot the
// simulator stored wrong.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/qt_serial_port.h"
#include "monitor/status_decoder.h"
#include "params/catalogue.h"
#include "params/controller_image.h"
#include "params/param_files.h"
#include "settings/ini_file.h"
#include "support/fake_link_view.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "ui/param_diff_window.h"
#include "ui/param_report_window.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace zart::ui {
namespace {

/// The main window's value labels, as the status decoder fills them.
class ShownValues : public monitor::StatusView {
 public:
  QString Value(monitor::ValueLabel label) const { return m_values.value(static_cast<int>(label)); }
  void SetValueText(monitor::ValueLabel label, const QString& text) override { m_values[static_cast<int>(label)] = text; }
  void SetFaultText(int, const QString&) override {}
  void SetLampLit(int, bool) override {}
  void SetLampVisible(int, bool) override {}
  void SetSignalLit(int, bool) override {}
  void SetPropSpeedVisible(bool) override {}
  void SetParamMenuEnabled(bool) override {}
  void SetBlockedBannerVisible(bool) override {}

 private:
  QHash<int, QString> m_values;
};

class CommissioningE2e : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_sim.Start({QStringLiteral("--eeprom"), m_dir.filePath(QStringLiteral("eeprom.bin"))}));
    m_serial.SetPortMap(link::PortMap({{5, m_sim.LinkPath()}}));
    ASSERT_TRUE(m_serial.SetPortNumber(5));
    ASSERT_TRUE(m_serial.Open().ok());
    m_controller.SetEventPump([] {});
    m_controller.Service().SetBackupFolder(m_dir.filePath(QStringLiteral("backups")));
    m_cycle.SetStatusHandler([this](const link::RxStore& rx) { m_decoder.DecodeStatus(rx); });
    m_controller.Service().SetIdentityProvider([this] {
      params::ReportIdentity id;
      id.objectType = m_shown.Value(monitor::ValueLabel::lbl_object);
      id.protocolVersion = m_shown.Value(monitor::ValueLabel::lbl_pr_ver);
      id.softwareVersion = m_shown.Value(monitor::ValueLabel::lbl_sw_ver);
      id.runningHours = m_shown.Value(monitor::ValueLabel::lbl_motomin);
      id.slaveAddress = m_view.slaveAddress;
      return id;
    });
  }
  void TearDown() override {
    m_timer.Stop();
    m_serial.Close();
    m_sim.Stop();
  }

  template <typename Pred>
  bool RunUntil(Pred done, int ms) {
    m_timer.Start();
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) testing::SimProcess::Pump(10);
    m_timer.Stop();
    return done();
  }

  QByteArray SimImage() {
    EXPECT_TRUE(m_sim.Command(QStringLiteral("save")).startsWith(QStringLiteral("ok")));
    QFile f(m_dir.filePath(QStringLiteral("eeprom.bin")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir m_dir;
  testing::SimProcess m_sim{QStringLiteral(ZART_SIM_PATH)};
  link::QtSerialPort m_serial;
  testing::FakeLinkView m_view;
  link::ExchangeCycle m_cycle{m_serial, m_view};
  link::ExchangeTimer m_timer{m_cycle};
  testing::ScriptedPrompter m_prompter{settings::Answer::ok};
  ShownValues m_shown;
  monitor::StatusDecoder m_decoder{m_shown};
  ParamWindowController m_controller{m_cycle, nullptr, m_view, m_prompter};
};

TEST_P(CommissioningE2e, WriteAllLeavesABackupAndIsCheckedByReadingBack) {
  const int corruptAt = GetParam();
  m_controller.OpenParamWindow();
  ASSERT_TRUE(RunUntil([this] { return m_controller.Editor().Progress().total == 0; }, 40000));
  const QByteArray before = SimImage();
  ParamWindow& window = *m_controller.Window();

  window.SetText(2, QStringLiteral("1600"));
  window.SetText(305, QStringLiteral("-12,3"));
  window.SetText(89, QStringLiteral(u"Дизель"));
  if (corruptAt >= 0) {
    ASSERT_TRUE(m_sim.Command(QStringLiteral("fault corrupt-byte %1").arg(corruptAt)).startsWith(QStringLiteral("ok")));
  }
  window.cmd_writeall()->click();

  // The backup is written before anything is queued, from the controller's set.
  const QString backup = m_controller.Service().Backup().LastBackup();
  ASSERT_FALSE(backup.isEmpty());
  EXPECT_TRUE(QFileInfo(backup).fileName().endsWith(QStringLiteral(u" адрес 7.ini")));
  settings::IniFile ini;
  ASSERT_TRUE(ini.Load(backup));
  params::ControllerImage fromSim(m_controller.Catalogue());
  const auto& cat = m_controller.Catalogue();
  for (int k = 0; k < params::kSlotCount; ++k) {
    const auto s = static_cast<std::size_t>(k);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < cat.par_size[s]; ++i) bytes.push_back(static_cast<std::uint8_t>(before[cat.par_addr[s] + i]));
    ASSERT_EQ(ini.Read(QStringLiteral("Parameters"), params::ParamFiles::ParamFileKey(k), QStringLiteral("?")),
              params::SlotTextOfBytes(cat, k, bytes).trimmed())
        << "slot " << k;
  }

  bool sawCheckCaption = false;
  ASSERT_TRUE(RunUntil(
      [&] {
        sawCheckCaption |= window.TransferBar()->isVisible() &&
                           window.TransferBar()->format().startsWith(QStringLiteral(u"Проверка записи"));
        return !m_controller.Service().LastVerification().isEmpty();
      },
      60000));
  EXPECT_TRUE(sawCheckCaption);
  EXPECT_EQ(window.Text(2), QStringLiteral("1600 "));  // the read-back left the boxes alone
  if (corruptAt < 0) {
    EXPECT_EQ(m_controller.Service().LastVerification(),
              QStringLiteral(u"Запись проверена: все 1208 параметров совпадают"));
    // tools/screenshot-report.sh: the report of this set as PDF.
    const QString pdf = qEnvironmentVariable("ZART_REPORT_PDF");
    if (!pdf.isEmpty()) {
      ASSERT_TRUE(RunUntil([this] { return !m_shown.Value(monitor::ValueLabel::lbl_sw_ver).isEmpty(); }, 5000));
      m_controller.Service().ShowReport();
      ASSERT_NE(m_controller.Service().ReportWindow(), nullptr);
      EXPECT_TRUE(m_controller.Service().ReportWindow()->SavePdf(pdf));
    }
  } else {
    ParamDiffWindow* list = m_controller.Service().DiffWindow();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->windowTitle(), QStringLiteral(u"Не совпадает после записи"));
    ASSERT_EQ(list->VisibleRows(), 1);
    EXPECT_EQ(list->SlotAt(0), 2);
    EXPECT_EQ(window.StripOf(params::PageGroup::function)->tabText(0), QStringLiteral(u"Двигатель •"));
  }
}

INSTANTIATE_TEST_SUITE_P(Sim, CommissioningE2e, ::testing::Values(-1, 258));

}  // namespace
}  // namespace zart::ui

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

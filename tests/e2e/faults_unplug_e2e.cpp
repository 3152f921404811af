// The serial device vanishes in the middle of a read-all (a USB adapter
// pulled out) and comes back on the same path. The whole program runs:
// the application with its main window, parameters window, port dialog,
// exchange timer and port reconnector, over a real QSerialPort against
// zart-sim, whose `unplug` and `replug` take the pty away and bring it back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include "link/exchange_cycle.h"
#include "link/qt_serial_port.h"
#include "support/recording_prompter.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "support/recording_port.h"
#include "support/sim_process.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"
#include "ui/port_dialog.h"

namespace zart::ui {
namespace {

constexpr int kReadAllRequests = 131;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class UnplugE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start()) << "zart-sim did not start";
    QFile ini(sim.Folder() + QStringLiteral(u"/тп.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[PC config]\r\nCOM=5\r\n");
    ini.close();

    // COM5 is the simulator; COM6 a pty nobody answers on, which the port
    // dialog's probe finds; the other numbers keep their usual devices.
    spare = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(spare, 0);
    ASSERT_EQ(::grantpt(spare), 0);
    ASSERT_EQ(::unlockpt(spare), 0);
    serial.SetPortMap(link::PortMap({{5, sim.LinkPath()}, {6, QString::fromLocal8Bit(::ptsname(spare))}}));
    Application::Setup setup;
    setup.settingsFolder = sim.Folder();
    auto prompter = std::make_unique<testing::RecordingPrompter>();
    prompts = prompter.get();
    setup.prompter = std::move(prompter);
    auto recording = std::make_unique<testing::RecordingPort>(serial);
    port = recording.get();
    setup.port = std::move(recording);
    app = std::make_unique<Application>(std::move(setup));
    ASSERT_TRUE(app->Start()) << "the port did not open";
    ASSERT_TRUE(prompts->asked.empty());
    ASSERT_TRUE(Run([&] { return LinkUp(); }, 5000)) << app->Window().StatusText().toStdString();
  }

  void TearDown() override {
    app.reset();
    sim.Stop();
    if (spare >= 0) ::close(spare);
  }

  /// Runs the event loop until `done` holds or `ms` pass. Every status
  /// text the window shows at a tick is collected.
  template <typename Pred>
  bool Run(Pred done, int ms) {
    const QDeadlineTimer deadline(ms);
    std::uint64_t ticks = app->Cycle().Counters().ticks;
    while (!done() && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::msleep(1);
      if (app->Cycle().Counters().ticks != ticks) {
        ticks = app->Cycle().Counters().ticks;
        statusAtTicks << app->Window().StatusText();
      }
    }
    return done();
  }
  bool LinkUp() { return app->Window().StatusText() == link::ExchangeCycle::LinkUpMessage(); }
  void Control(const char* line) {
    const QString answer = sim.Command(QString::fromLatin1(line));
    ASSERT_TRUE(answer.startsWith(QStringLiteral("ok"))) << line << ": " << answer.toStdString();
  }
  params::ParamEditor& Editor() { return app->ParamWindows().Editor(); }
  ParamWindow* Window() { return app->ParamWindows().Window(); }
  std::vector<std::uint32_t> Colors() {
    std::vector<std::uint32_t> c;
    for (int k = 0; k < params::kSlotCount; ++k) c.push_back(Window()->Color(k));
    return c;
  }
  int CountColor(std::uint32_t rgb) {
    int n = 0;
    for (int k = 0; k < params::kSlotCount; ++k) n += Window()->Color(k) == rgb ? 1 : 0;
    return n;
  }

  /// Opens the parameters window (its read-all starts), lets part of the
  /// read-all through, then pulls the device and checks the quiet, steady
  /// no-answer state that follows.
  void ReadAllThenUnplug() {
    app->ParamWindows().OpenParamWindow();
    ASSERT_TRUE(Run([&] { return Window() != nullptr; }, 20000)) << "the parameters window was not built";
    ASSERT_EQ(Editor().Progress().total, kReadAllRequests);
    ASSERT_TRUE(Run([&] { return Editor().Progress().answered >= 40; }, 20000)) << Editor().Progress().answered;
    Control("unplug");
    // The reply in flight may still land; after that nothing moves.
    Run([] { return false; }, 400);
    const int answered = Editor().Progress().answered;
    const std::vector<std::uint32_t> colors = Colors();
    statusAtTicks.clear();

    const std::uint64_t ticksBefore = app->Cycle().Counters().ticks;
    const double cpuBefore = CpuSeconds();
    Run([] { return false; }, 3000);
    const double cpu = CpuSeconds() - cpuBefore;
    const auto ticks = app->Cycle().Counters().ticks - ticksBefore;

    EXPECT_FALSE(app->Port().IsOpen());
    // The timer keeps its 10 Hz: no storm of ticks, no stall, no busy loop.
    EXPECT_GE(ticks, 20u);
    EXPECT_LE(ticks, 36u);
    EXPECT_LT(cpu, 1.5) << "CPU seconds used in 3 s with the device away";
    ASSERT_FALSE(statusAtTicks.isEmpty());
    for (const QString& text : statusAtTicks) ASSERT_EQ(text, link::ExchangeCycle::NoAnswerMessage());
    EXPECT_EQ(Editor().Progress().answered, answered);
    EXPECT_EQ(Colors(), colors) << "boxes changed while the device was away";
    EXPECT_GT(CountColor(params::COLOR_CHANGED), 0) << "boxes not yet answered stay white";
    EXPECT_EQ(CountColor(params::COLOR_CHANGED) + CountColor(params::COLOR_FROM_EEPROM), params::kSlotCount);
    EXPECT_TRUE(prompts->asked.empty()) << "a message box for a vanished device";
  }

  /// The read-all finishes after the device came back, every request asked
  /// in turn and no box left white.
  void ExpectReadAllResumesToTheEnd() {
    ASSERT_TRUE(Run([&] { return Editor().Progress().total == 0; }, 40000))
        << Editor().Progress().answered << " of " << Editor().Progress().total;
    EXPECT_EQ(CountColor(params::COLOR_FROM_EEPROM), params::kSlotCount);
    EXPECT_EQ(port->DistinctRuns(link::FC_EEPROM_READ).size(), static_cast<std::size_t>(kReadAllRequests));
    EXPECT_TRUE(port->RunsAreUnique(link::FC_EEPROM_READ));
    ASSERT_TRUE(Run([&] { return LinkUp(); }, 3000));
    EXPECT_FALSE(statusAtTicks.contains(QStringLiteral(u"Порт не выбран")));
    EXPECT_TRUE(prompts->asked.empty());
    EXPECT_EQ(app->Port().PortNumber(), 5);
  }

  testing::SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
  link::QtSerialPort serial;
  testing::RecordingPort* port = nullptr;
  testing::RecordingPrompter* prompts = nullptr;
  std::unique_ptr<Application> app;
  QStringList statusAtTicks;
  int spare = -1;  // master side of COM6's pty
};

TEST_F(UnplugE2e, ReconnectorReopensTheSamePortAndTheReadAllResumes) {
  ReadAllThenUnplug();
  if (HasFatalFailure()) return;
  port->openedPorts.clear();
  Control("replug");
  // Within about a second the port is open again, on its own.
  ASSERT_TRUE(Run([&] { return app->Port().IsOpen(); }, 3000)) << "the vanished port was not reopened";
  ExpectReadAllResumesToTheEnd();
  // Only COM5 was ever opened again, and the settings still say COM5.
  ASSERT_FALSE(port->openedPorts.empty());
  for (int n : port->openedPorts) EXPECT_EQ(n, 5);
  EXPECT_TRUE(app->OpenPortDialog() == nullptr);
}

TEST_F(UnplugE2e, PortDialogReopensTheReturnedDeviceAndTheReadAllResumes) {
  ReadAllThenUnplug();
  if (HasFatalFailure()) return;
  Control("replug");
  // The user opens the port dialog at once: its probe finds COM5 again.
  app->mnu_settings_Click();
  PortDialog* dialog = app->OpenPortDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_GE(dialog->PortList()->findText(QStringLiteral("COM5")), 0) << "the probe did not find the returned device";
  EXPECT_EQ(dialog->SelectedPort(), 5);
  EXPECT_TRUE(app->Port().IsOpen());
  dialog->OkButton()->click();
  ASSERT_TRUE(Run([&] { return app->OpenPortDialog() == nullptr; }, 3000));
  EXPECT_TRUE(app->Port().IsOpen());
  ExpectReadAllResumesToTheEnd();
}

TEST_F(UnplugE2e, PortDialogCancelledWhileTheDeviceIsAwayLeavesTheReconnectorTrying) {
  ReadAllThenUnplug();
  if (HasFatalFailure()) return;
  // The user looks for the adapter in the port dialog while it is away:
  // the probe opens COM6 and finds no COM5; the user cancels.
  app->mnu_settings_Click();
  PortDialog* dialog = app->OpenPortDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_LT(dialog->PortList()->findText(QStringLiteral("COM5")), 0);
  EXPECT_GE(dialog->PortList()->findText(QStringLiteral("COM6")), 0);
  dialog->CancelButton()->click();
  ASSERT_TRUE(Run([&] { return app->OpenPortDialog() == nullptr; }, 3000));
  EXPECT_EQ(app->Port().PortNumber(), 5);
  EXPECT_FALSE(app->Port().IsOpen());
  Run([] { return false; }, 1500);

  // The adapter comes back: COM5 is reopened on its own.
  port->openedPorts.clear();
  Control("replug");
  ASSERT_TRUE(Run([&] { return app->Port().IsOpen(); }, 3000)) << "the vanished port was not reopened";
  ASSERT_TRUE(Run([&] { return Editor().Progress().total == 0; }, 40000));
  EXPECT_EQ(CountColor(params::COLOR_FROM_EEPROM), params::kSlotCount);
  EXPECT_TRUE(port->RunsAreUnique(link::FC_EEPROM_READ));
  for (int n : port->openedPorts) EXPECT_EQ(n, 5);
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

// The "Сервис" tools against zart-sim: a fault switched on in the simulator
// shows in the traffic monitor's rows and counters at once, and the CSV log
// gets a line per status reply.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "link/frame_recorder.h"
#include "monitor_fakes.h"
#include "support/sim_process.h"
#include "ui/application.h"
#include "ui/service_tools.h"
#include "ui/traffic_model.h"
#include "ui/traffic_window.h"

namespace zart::ui {
namespace {

using testing::SimProcess;

class ServiceEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start()) << "zart-sim did not come up";
    QFile ini(folder.filePath(QStringLiteral(u"тп.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[PC config]\r\nCOM=5\r\n[Ports]\r\nCOM5=" + sim.LinkPath().toLocal8Bit() + "\r\n");
    ini.close();
    Application::Setup setup;
    setup.settingsFolder = folder.path();
    setup.prompter = std::make_unique<testing::FakePrompter>();
    app = std::make_unique<Application>(std::move(setup));
    ASSERT_TRUE(app->Start()) << "the port did not open";
  }
  void TearDown() override { app.reset(); }

  /// Pumps until `done` holds or `ms` have passed.
  template <class F>
  bool PumpUntil(F done, int ms) {
    for (int waited = 0; waited < ms && !done(); waited += 50) SimProcess::Pump(50);
    return done();
  }
  QStringList Verdicts() {
    TrafficWindow* window = app->Service().Traffic();
    window->Refresh();
    QStringList verdicts;
    for (int row = 0; row < window->Model().rowCount(); ++row)
      verdicts << window->Model().RowTexts(row)[TrafficModel::kVerdict];
    return verdicts;
  }

  QTemporaryDir folder;
  SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
  std::unique_ptr<Application> app;
};

TEST_F(ServiceEndToEnd, FaultsInTheSimulatorShowInTheMonitorAtOnce) {
  app->Service().ShowTrafficMonitor();
  const link::FrameRecorder& recorder = app->Service().Recorder();
  ASSERT_TRUE(PumpUntil([&] { return recorder.SinceStart().validReplies >= 4; }, 5000));
  EXPECT_FALSE(Verdicts().contains(QStringLiteral(u"несовпадение КС")));

  ASSERT_EQ(sim.Command(QStringLiteral("fault bad-crc on")), QStringLiteral("ok fault bad-crc on"));
  EXPECT_TRUE(PumpUntil([&] { return recorder.SinceStart().crcMismatches >= 2; }, 1000));
  EXPECT_TRUE(Verdicts().contains(QStringLiteral(u"несовпадение КС")));
  EXPECT_TRUE(Verdicts().contains(QStringLiteral(u"повтор")));

  ASSERT_EQ(sim.Command(QStringLiteral("fault none")), QStringLiteral("ok fault none"));
  ASSERT_EQ(sim.Command(QStringLiteral("fault silent on")), QStringLiteral("ok fault silent on"));
  EXPECT_TRUE(PumpUntil([&] { return recorder.SinceStart().noAnswers >= 2; }, 1000));
  EXPECT_TRUE(Verdicts().contains(QStringLiteral(u"нет ответа")));
  EXPECT_LT(recorder.GoodShareLastMinute(), 1.0);
  ASSERT_EQ(sim.Command(QStringLiteral("fault none")), QStringLiteral("ok fault none"));
}

TEST_F(ServiceEndToEnd, CsvLogGetsALinePerStatusReply) {
  const QString path = folder.filePath(QStringLiteral(u"журнал.csv"));
  ASSERT_TRUE(app->Service().StartLog(path));
  SimProcess::Pump(1500);
  app->Service().StopLog();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  // About one status reply every 200 ms, the header first.
  EXPECT_GE(lines.size(), 5);
  EXPECT_TRUE(lines.value(1).contains(";ДГУ;"));
}

}  // namespace
}  // namespace zart::ui

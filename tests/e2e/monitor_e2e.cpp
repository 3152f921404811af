#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "link/exchange_cycle.h"
#include "monitor_fakes.h"
#include "ui/application.h"
#include "ui/main_window.h"

namespace zart::ui {
namespace {

/// zart-sim on a pseudo-terminal, and the tool's settings file mapping COM5
/// to it, in a temporary folder.
class MonitorEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    const QString link = folder.filePath(QStringLiteral("zart-sim.pty"));
    sim.setProgram(QStringLiteral(ZART_SIM_PATH));
    sim.setArguments({QStringLiteral("--link"), link});
    sim.start();
    ASSERT_TRUE(sim.waitForStarted(5000)) << sim.errorString().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, 5000)) << "no device path from zart-sim";
    const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
    ASSERT_TRUE(device.startsWith(QStringLiteral("/dev/"))) << device.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(link); }, 5000));

    QFile ini(folder.filePath(QStringLiteral(u"тп.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[PC config]\r\nCOM=5\r\n[Ports]\r\nCOM5=" + link.toLocal8Bit() + "\r\n");
    ini.close();

    Application::Setup setup;
    setup.settingsFolder = folder.path();
    auto prompter = std::make_unique<testing::FakePrompter>();
    prompts = prompter.get();
    setup.prompter = std::move(prompter);  // a failed opening answers Cancel instead of blocking
    app = std::make_unique<Application>(std::move(setup));
  }

  void TearDown() override {
    app.reset();
    if (sim.state() != QProcess::NotRunning) {
      sim.write("quit\n");
      if (!sim.waitForFinished(3000)) {
        sim.kill();
        sim.waitForFinished(3000);
      }
    }
  }

  QLabel* label(const char* name) { return app->Window().findChild<QLabel*>(QLatin1String(name)); }
  int EngineSpeed() { return label("lbl_eng_rpm")->text().trimmed().toInt(); }
  bool LinkUp() { return label("lbl_sys_mes")->text() == link::ExchangeCycle::LinkUpMessage(); }
  /// Sends a control line to the simulator and waits for its answer.
  void Control(const char* line) {
    sim.write(line);
    sim.write("\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.canReadLine(); }, 3000)) << line;
    EXPECT_TRUE(sim.readLine().startsWith("ok")) << line;
  }

  QTemporaryDir folder;
  QProcess sim;
  testing::FakePrompter* prompts = nullptr;
  std::unique_ptr<Application> app;
};

TEST_F(MonitorEndToEnd, StartRaisesTheEngineSpeedShown) {
  ASSERT_TRUE(app->Start()) << "the port did not open";
  EXPECT_TRUE(prompts->asked.empty());

  ASSERT_TRUE(QTest::qWaitFor([&] { return LinkUp() && label("lbl_object")->text() != QStringLiteral("-"); }, 5000))
      << label("lbl_sys_mes")->text().toStdString();
  EXPECT_EQ(label("lbl_object")->text(), QStringLiteral(u"ДГУ"));
  EXPECT_NE(label("lbl_pr_ver")->text(), QStringLiteral("-"));
  const int before = EngineSpeed();
  EXPECT_TRUE(app->Window().LampLit(3)) << "Готов";

  QTest::mouseClick(app->Window().CommandButton(0), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return EngineSpeed() > before + 200; }, 8000))
      << "engine speed stayed at " << EngineSpeed();
  EXPECT_TRUE(QTest::qWaitFor([&] { return app->Window().LampLit(2); }, 3000)) << "Работа";
  EXPECT_TRUE(LinkUp()) << label("lbl_sys_mes")->text().toStdString();
  EXPECT_NE(label("lbl_tr_id")->text(), QStringLiteral("-"));
}

TEST_F(MonitorEndToEnd, BlockedControllerGreysTheParametersMenu) {
  ASSERT_TRUE(app->Start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return LinkUp(); }, 5000));
  EXPECT_TRUE(app->Window().ParamMenu()->isEnabled());

  Control("block on");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !app->Window().ParamMenu()->isEnabled(); }, 3000));
  EXPECT_TRUE(label("lbl_modbus_off")->isVisible());

  Control("block off");
  EXPECT_TRUE(QTest::qWaitFor([&] { return app->Window().ParamMenu()->isEnabled(); }, 3000));
  EXPECT_FALSE(label("lbl_modbus_off")->isVisible());
}

}  // namespace
}  // namespace zart::ui

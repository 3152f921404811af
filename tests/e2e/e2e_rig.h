#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/qt_serial_port.h"
#include "params/catalogue.h"
#include "support/fake_link_view.h"
#include "support/recording_port.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace zart::testing {

/// One end-to-end run: zart-sim on a pty (its EEPROM image in
/// `ImagePath()`), the real QSerialPort with COM5 on the simulator and COM6
/// on a pty nobody answers, and either the program core (exchange, timer,
/// parameters window) or the whole program with its main window.
class Rig {
 public:
  enum class Mode { simOnly, core, wholeProgram };

  ~Rig() {
    app.reset();
    timer.Stop();
    serial.Close();
    sim.Stop();
    if (m_spare >= 0) ::close(m_spare);
  }

  bool Start(const QStringList& simArgs, Mode mode) {
    if (!sim.Start(QStringList{QStringLiteral("--eeprom"), ImagePath()} + simArgs)) return false;
    m_spare = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_spare < 0 || ::grantpt(m_spare) != 0 || ::unlockpt(m_spare) != 0) return false;
    serial.SetPortMap(link::PortMap({{5, sim.LinkPath()}, {6, QString::fromLocal8Bit(::ptsname(m_spare))}}));
    controller.SetStartFolder(files.path());
    cycle.SetStatusHandler([this](const link::RxStore&) { ++statusReplies; });
    if (mode == Mode::simOnly) return true;
    if (mode == Mode::core) return serial.SetPortNumber(5) && serial.Open().ok();
    QFile ini(sim.Folder() + QStringLiteral(u"/тп.ini"));
    if (!ini.open(QIODevice::WriteOnly)) return false;
    ini.write("[PC config]\r\nCOM=5\r\n");
    ini.close();
    ui::Application::Setup setup;
    setup.settingsFolder = sim.Folder();
    auto prompts = std::make_unique<ScriptedPrompter>();
    m_appPrompter = prompts.get();
    setup.prompter = std::move(prompts);
    auto recording = std::make_unique<RecordingPort>(serial);
    m_appPort = recording.get();
    setup.port = std::move(recording);
    app = std::make_unique<ui::Application>(std::move(setup));
    return app->Start() && m_appPrompter->asked.empty() && RunUntil([this] { return LinkUp(); }, 5000);
  }

  // The same views whichever way the program runs.
  link::ExchangeCycle& Cycle() { return app ? app->Cycle() : cycle; }
  RecordingPort& Port() { return app ? *m_appPort : port; }
  ScriptedPrompter& Prompts() { return app ? *m_appPrompter : prompter; }
  ui::ParamWindowController& Params() { return app ? app->ParamWindows() : controller; }
  params::ParamEditor& Editor() { return Params().Editor(); }
  ui::ParamWindow& Window() { return *Params().Window(); }
  QString Status() { return app ? app->Window().StatusText() : view.status; }
  bool LinkUp() { return Status() == link::ExchangeCycle::LinkUpMessage(); }
  bool TransferDone() { return Editor().Progress().total == 0; }

  /// Runs the event loop (and the core's 100 ms timer) until `done` holds
  /// or `ms` pass. Collects the status text at every tick and the most
  /// bytes one tick gathered.
  template <typename Pred>
  bool RunUntil(Pred done, int ms) {
    if (!app) timer.Start();
    const QDeadlineTimer deadline(ms);
    std::uint64_t ticks = Cycle().Counters().ticks;
    while (!done() && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QThread::msleep(1);
      maxRxCount = std::max(maxRxCount, Cycle().RxCount());
      if (Cycle().Counters().ticks != ticks) {
        ticks = Cycle().Counters().ticks;
        statusAtTicks << Status();
      }
    }
    if (!app) timer.Stop();
    return done();
  }
  void Wait(int ms) { RunUntil([] { return false; }, ms); }
  bool RunTransfer() { return RunUntil([this] { return TransferDone(); }, 60000); }

  /// Sends a control line to the simulator; fails the test unless "ok".
  void Control(const char* line) {
    const QString answer = sim.Command(QString::fromLatin1(line));
    ASSERT_TRUE(answer.startsWith(QStringLiteral("ok"))) << line << ": " << answer.toStdString();
  }
  /// One byte of the simulator's EEPROM; -1 when it does not say.
  int SimByte(int address) {
    bool ok = false;
    const int value = sim.Command(QStringLiteral("dump %1 1").arg(address)).section(QLatin1Char(' '), -1).toInt(&ok, 16);
    return ok ? value : -1;
  }
  /// The simulator's whole EEPROM image, as it saves it.
  QByteArray SimImage() {
    if (!sim.Command(QStringLiteral("save")).startsWith(QStringLiteral("ok"))) return {};
    QFile f(ImagePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QString ImagePath() const { return sim.Folder() + QStringLiteral("/eeprom.bin"); }
  int CountColor(std::uint32_t rgb) {
    int n = 0;
    for (int k = 0; k < params::kSlotCount; ++k) n += Window().Color(k) == rgb ? 1 : 0;
    return n;
  }

  SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
  QTemporaryDir files;  // the parameters window's start folder
  link::QtSerialPort serial;
  RecordingPort port{serial};
  FakeLinkView view;
  link::ExchangeCycle cycle{port, view};
  link::ExchangeTimer timer{cycle};
  ScriptedPrompter prompter{settings::Answer::cancel};
  ui::ParamWindowController controller{cycle, nullptr, view, prompter};
  std::unique_ptr<ui::Application> app;
  int statusReplies = 0;
  int maxRxCount = 0;
  QStringList statusAtTicks;

 private:
  int m_spare = -1;  // master side of COM6's pty
  RecordingPort* m_appPort = nullptr;
  ScriptedPrompter* m_appPrompter = nullptr;
};

}  // namespace zart::testing

#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <set>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <QTcpServer>
#include <QUrl>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/link_reconnector.h"
#include "link/port_switch.h"
#include "link/qt_serial_port.h"
#include "link/tcp_port.h"
#include "params/catalogue.h"
#include "support/fake_link_view.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace zart::testing {

/// Passes everything on to the real port and records each frame written and
/// each successful open: what reached the controller. The bytes go through
/// `io` (the serial port itself, or the switch between it and a gateway).
class RecordingPort : public link::SerialPort {
 public:
  using Bytes = std::vector<std::uint8_t>;

  explicit RecordingPort(link::SerialPort& inner) : RecordingPort(inner, inner) {}
  RecordingPort(link::SerialPort& inner, link::Port& io) : m_inner(inner), m_io(io) {}
  bool SetPortNumber(int n) override { return m_inner.SetPortNumber(n); }
  int PortNumber() const override { return m_inner.PortNumber(); }
  QString DevicePath(int n) const override { return m_inner.DevicePath(n); }
  link::OpenResult Open() override {
    link::OpenResult r = m_io.Open();
    if (r.ok()) openedPorts.push_back(m_inner.PortNumber());
    return r;
  }
  void Close() override { m_io.Close(); }
  bool IsOpen() const override { return m_io.IsOpen(); }
  int BytesWaiting() override { return m_io.BytesWaiting(); }
  int ReadByte() override { return m_io.ReadByte(); }
  void Write(std::span<const std::uint8_t> frame) override {
    written.emplace_back(frame.begin(), frame.end());
    m_io.Write(frame);
  }
  bool DeviceLost() const override { return m_io.DeviceLost(); }
  QString FailureReason() const override { return m_io.FailureReason(); }
  QString LinkName() const override { return m_io.LinkName(); }
  QString NotOpenMessage() const override { return m_io.NotOpenMessage(); }
  bool SignalsArrival() const override { return m_io.SignalsArrival(); }
  void SetArrivalHandler(std::function<void()> handler) override { m_io.SetArrivalHandler(std::move(handler)); }
  int ReplyTimeoutMs() const override { return m_io.ReplyTimeoutMs(); }

  /// The function-`fc` frames with repeats of the same request collapsed:
  /// what the controller was asked, in order.
  std::vector<Bytes> DistinctRuns(int fc) const {
    std::vector<Bytes> runs;
    for (const Bytes& f : written)
      if (f.size() > 1 && f[1] == fc && (runs.empty() || runs.back() != f)) runs.push_back(f);
    return runs;
  }
  /// True when no request of function `fc` was asked again after another
  /// request of that function had followed it (a lost or doubled request).
  bool RunsAreUnique(int fc) const {
    const std::vector<Bytes> runs = DistinctRuns(fc);
    return std::set<Bytes>(runs.begin(), runs.end()).size() == runs.size();
  }

  std::vector<Bytes> written;
  std::vector<int> openedPorts;

 private:
  link::SerialPort& m_inner;
  link::Port& m_io;
};

/// This test binary run again as the user "nobody" (setpriv), for checks that
/// root passes whatever the permissions. `skipReason` says why it could not
/// run (not root, no setpriv, no such user); every wait is bounded.
struct UnprivilegedRun {
  QString skipReason;
  int exitCode = -1;
  QList<QByteArray> lines;  // its standard output
  QString err;

  static UnprivilegedRun Start(const QStringList& args, const QProcessEnvironment& env) {
    UnprivilegedRun run;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::geteuid() != 0 || setpriv.isEmpty()) {
      run.skipReason = QStringLiteral("needs root and setpriv to run a check as an unprivileged user");
      return run;
    }
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(setpriv, QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                     QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath()} +
                             args);
    if (!child.waitForFinished(30000)) child.kill();
    child.waitForFinished(2000);
    run.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    run.lines = child.readAllStandardOutput().split('\n');
    run.err = QString::fromLocal8Bit(child.readAllStandardError());
    if (run.err.startsWith(QStringLiteral("setpriv:"))) run.skipReason = run.err.trimmed();
    return run;
  }
};

/// One end-to-end run: zart-sim on a pty (its EEPROM image in
/// `sim.ImagePath()`), the real QSerialPort with COM5 on the simulator and COM6
/// on a pty nobody answers, and either the program core (exchange, timer,
/// parameters window) or the whole program with its main window.
class Rig {
 public:
  enum class Mode { simOnly, core, wholeProgram };
  /// How the program reaches the simulator: its pty as a serial port, socat
  /// in front of the pty as a transparent Ethernet gateway, or the
  /// simulator's own TCP server (Modbus TCP with "--mbap" among its options).
  enum class Gateway { none, socat, sim };

  ~Rig() {
    app.reset();
    timer.Stop();
    links.UseSerial();
    serial.Close();
    sim.Stop();
    if (socat.state() != QProcess::NotRunning) {
      socat.kill();
      socat.waitForFinished(2000);
    }
    if (m_spare >= 0) ::close(m_spare);
  }

  bool Start(const QStringList& simArgs, Mode mode, Gateway gateway = Gateway::none) {
    const QStringList args = QStringList{QStringLiteral("--eeprom"), sim.ImagePath()} + simArgs;
    if (gateway == Gateway::sim) {
      gatewayUrl = sim.StartTcp(args);
      if (gatewayUrl.isEmpty()) return false;
    } else if (!sim.Start(args)) {
      return false;
    }
    if (gateway == Gateway::socat && !StartSocat()) return false;
    m_spare = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_spare < 0 || ::grantpt(m_spare) != 0 || ::unlockpt(m_spare) != 0) return false;
    serial.SetPortMap(link::PortMap({{5, sim.LinkPath()}, {6, QString::fromLocal8Bit(::ptsname(m_spare))}}));
    controller.SetStartFolder(files.path());
    cycle.SetStatusHandler([this](const link::Reply&) { ++statusReplies; });
    if (mode == Mode::simOnly) return true;
    if (mode == Mode::core) {
      if (gateway != Gateway::none) return UseGateway(gatewayUrl) && RunUntil([this] { return net.IsOpen(); }, 5000);
      return serial.SetPortNumber(5) && serial.Open().ok();
    }
    if (!WriteSettings(sim.Folder(), gateway == Gateway::none ? QByteArray() : "Link=" + gatewayUrl.toUtf8() + "\r\n"))
      return false;
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
  /// The user types `text` into box `slot`.
  void Type(int slot, const QString& text) { Editor().txt_par_Change(slot, text); }
  ui::ParamWindow& Window() { return *Params().Window(); }
  QString Status() { return app ? app->Window().StatusText() : view.status; }
  bool LinkUp() { return Status() == link::ExchangeCycle::LinkUpMessage(); }

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
  /// Runs until the transfers and a write check have ended.
  bool RunTransfer() {
    return RunUntil([this] { return Editor().Progress().total == 0 && !Params().Session().Checking(); }, 60000);
  }
  /// True once `n` more status replies reach the core within `ms`.
  bool MoreStatusReplies(int n, int ms = 3000) {
    const int target = statusReplies + n;
    return RunUntil([&] { return statusReplies >= target; }, ms);
  }

  /// The core's link goes to the gateway at `url` (connecting starts; the
  /// reconnector keeps at it); false when the address does not read.
  bool UseGateway(const QString& url) {
    const std::optional<link::LinkAddress> address = link::LinkAddress::Parse(url);
    if (!address) return false;
    links.UseNetwork();
    net.Close();
    net.SetAddress(*address);
    (void)net.Open();
    reconnector.Start();
    return true;
  }
  /// socat as a transparent gateway in front of the simulator's pty, on a
  /// loopback port that was free a moment ago; each connection opens the
  /// pty afresh. The link's reconnector waits for it to listen.
  bool StartSocat() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost)) return false;
    gatewayUrl = QStringLiteral("rtuovertcp://127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    socat.start(QStringLiteral("socat"), {QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork").arg(QUrl(gatewayUrl).port()),
                                          QStringLiteral("FILE:%1,raw,echo=0").arg(sim.LinkPath())});
    return socat.waitForStarted(3000);
  }

  /// Sends a control line to the simulator; fails the test unless "ok".
  void Control(const char* line) {
    const QString answer = sim.Command(QString::fromLatin1(line));
    ASSERT_TRUE(answer.startsWith(QStringLiteral("ok"))) << line << ": " << answer.toStdString();
  }
  /// Writes "тп.ini" into `folder`: COM5, then `more` lines.
  static bool WriteSettings(const QString& folder, const QByteArray& more) {
    return WriteFileBytes(folder + QStringLiteral(u"/тп.ini"), "[PC config]\r\nCOM=5\r\n" + more);
  }
  int CountColor(std::uint32_t rgb) {
    int n = 0;
    for (int k = 0; k < params::kSlotCount; ++k) n += Window().Color(k) == rgb ? 1 : 0;
    return n;
  }

  SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
  QTemporaryDir files;  // the parameters window's start folder
  link::QtSerialPort serial;
  link::TcpPort net;
  link::PortSwitch links{serial, net};
  link::LinkReconnector reconnector{net};
  QProcess socat;
  QString gatewayUrl;  // "rtuovertcp://127.0.0.1:40123", with a gateway
  RecordingPort port{serial, links};
  FakeLinkView view;
  link::ExchangeCycle cycle{port, view};
  link::ExchangeTimer timer{cycle};
  ScriptedPrompter prompter;
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

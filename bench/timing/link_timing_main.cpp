// zart-link-timing: the whole program (offscreen) against zart-sim with its
// wire timing on. Prints how the exchange paces its requests: the interval
// between ticks and the time each request had on the line before its reply
// was judged, for the first seconds after start-up, after the parameters
// window was closed (the next status reply builds it again inside a tick)
// and while it is reopened with a read-all. Then the wall time of a read-all
// and a write-all, with the design's exchange and with fast exchange, in
// the same run.
//
//
// With --net: a read-all and a write-all with fast exchange through
// zart-sim's own TCP server over loopback, as a transparent gateway and as a
// converting one (Modbus TCP), with the line's timing behind it.
//
//   zart-link-timing [--ticks | --transfers | --net] [--turnaround MS]
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "link/exchange_cycle.h"
#include "link/frame_recorder.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/param_editor.h"
#include "settings/prompter.h"
#include "support/sim_process.h"
#include "timed_port.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"
#include "ui/service_tools.h"

namespace zart::timing {
namespace {

/// Answers every message box at once; nothing should ask during the run.
class SilentPrompter : public settings::Prompter {
 public:
  settings::Answer Ask(const settings::Message& message) override {
    std::fprintf(stderr, "asked: %s: %s\n", qPrintable(message.title), qPrintable(message.text));
    return settings::Answer::ok;
  }
};

/// Runs the event loop for `ms`, as QApplication::exec() would: no sleeps
/// between events that would delay the exchange's timer.
void Pump(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

template <typename Pred>
bool PumpUntil(Pred done, int ms) {
  const QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired()) Pump(5);
  return done();
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto i = static_cast<std::size_t>(p / 100.0 * static_cast<double>(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

void PrintRow(const char* name, const std::vector<double>& ms) {
  if (ms.empty()) {
    std::printf("  %-22s (none)\n", name);
    return;
  }
  const auto below = [&ms](double limit) {
    return std::count_if(ms.begin(), ms.end(), [limit](double x) { return x < limit; });
  };
  std::printf(
      "  %-22s n=%4zu  min %6.1f  p5 %6.1f  median %6.1f  p95 %6.1f  "
      "max %6.1f  | <99.5: %3td  <90: %3td  <60: %3td  <20: %3td\n",
      name, ms.size(), Percentile(ms, 0), Percentile(ms, 5), Percentile(ms, 50), Percentile(ms, 95),
      Percentile(ms, 100), below(99.5), below(90), below(60), below(20));
}

/// Tick intervals (between the starts of the ticks that judged two
/// consecutive requests) and the time each request had, for the requests
/// written at or after `fromNs`.
void Report(const char* title, const TimedPort& port, qint64 fromNs, qint64 toNs) {
  std::vector<double> intervals;
  std::vector<double> had;
  qint64 lastJudged = -1;
  int repeats = 0;
  const TimedPort::Exchange* previous = nullptr;
  for (const TimedPort::Exchange& e : port.Exchanges()) {
    if (e.writtenNs < fromNs || e.writtenNs > toNs || e.judgedNs < 0) continue;
    had.push_back(static_cast<double>(e.judgedNs - e.writtenNs) / 1e6);
    if (lastJudged >= 0) intervals.push_back(static_cast<double>(e.judgedNs - lastJudged) / 1e6);
    lastJudged = e.judgedNs;
    // The same request again within 20 ms: sent twice back to back.
    if (previous != nullptr && previous->function == e.function && e.writtenNs - previous->writtenNs < 20'000'000)
      ++repeats;
    previous = &e;
  }
  std::printf("%s\n", title);
  PrintRow("tick interval (ms)", intervals);
  PrintRow("time to reply (ms)", had);
  std::printf("  same frame twice within 20 ms: %d\n", repeats);
}

bool AllGreen(const ui::ParamWindowController& params) {
  const ui::ParamWindow* window = params.Window();
  if (window == nullptr) return false;
  for (int slot = 0; slot < params::kSlotCount; ++slot) {
    if (window->Color(slot) != params::COLOR_FROM_EEPROM) return false;
  }
  return true;
}

/// One read-all or write-all, timed from the click to the last reply.
struct Transfer {
  int requests = 0;
  double seconds = 0;
  bool green = false;  // finished, and every box shows the controller's value
};

Transfer TimeTransfer(ui::ParamWindowController& params, bool write) {
  QElapsedTimer clock;
  clock.start();
  if (write) {
    params.Editor().cmd_writeall_Click();
  } else {
    params.Editor().cmd_readall_Click();
  }
  Transfer t;
  t.requests = params.Editor().Progress().total;
  const bool done = PumpUntil([&params] { return params.Editor().Progress().total == 0; }, 60000);
  t.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  t.green = done && AllGreen(params);
  return t;
}

class TimingRun {
 public:
  bool ticks = true;
  bool transfers = true;
  bool net = false;
  int turnaroundMs = 3;

  int Run() {
    if (net) return Network();
    m_sim.Process().setStandardErrorFile(QProcess::nullDevice());
    if (!m_sim.Start(
            {QStringLiteral("--wire-timing"), QStringLiteral("--turnaround"), QString::number(turnaroundMs)})) {
      std::fprintf(stderr, "zart-link-timing: zart-sim (%s) did not start\n", ZART_SIM_PATH);
      return 2;
    }
    QTemporaryDir folder;
    QFile ini(QDir(folder.path()).filePath(QStringLiteral(u"тп.ini")));
    if (!ini.open(QIODevice::WriteOnly)) return 2;
    ini.write("[PC config]\r\nCOM=1\r\n");
    ini.close();

    ui::Application::Setup setup;
    setup.settingsFolder = folder.path();
    setup.prompter = std::make_unique<SilentPrompter>();
    auto port = std::make_unique<TimedPort>(link::PortMap(std::map<int, QString>{{1, m_sim.LinkPath()}}));
    TimedPort& timed = *port;
    setup.port = std::move(port);
    m_app = std::make_unique<ui::Application>(std::move(setup));
    ui::ParamWindowController& params = m_app->ParamWindows();
    params.SetStartFolder(folder.path());

    qint64 from = timed.NowNs();
    if (!m_app->Start()) return 2;
    std::printf("zart-sim --wire-timing --turnaround %d (115200 bit/s, even parity)\n", turnaroundMs);
    if (!ticks) return Transfers(params, timed);
    Pump(5000);
    Report("first 5 s after start-up", timed, from, timed.NowNs());

    if (params.Window() != nullptr) params.Window()->close();
    from = timed.NowNs();
    Pump(5000);
    Report(
        "5 s after the parameters window was closed (rebuilt by the next "
        "status reply)",
        timed, from, timed.NowNs());

    from = timed.NowNs();
    params.OpenParamWindow();
    Pump(5000);
    Report(
        "5 s after the parameters window was opened again from the menu "
        "(read-all)",
        timed, from, timed.NowNs());
    PumpUntil([&params] { return params.Editor().Progress().total == 0; }, 60000);
    return transfers ? Transfers(params, timed) : 0;
  }

  /// Read-all and write-all with fast exchange through a gateway on
  /// loopback, in both modes; the line's own time from the frames recorded.
  int Network() {
    int failures = 0;
    std::printf("through zart-sim --tcp --wire-timing --turnaround %d on loopback, fast exchange\n", turnaroundMs);
    for (const bool mbap : {false, true}) {
      testing::SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
      sim.Process().setStandardErrorFile(QProcess::nullDevice());
      QStringList args{QStringLiteral("--wire-timing"), QStringLiteral("--turnaround"), QString::number(turnaroundMs)};
      if (mbap) args << QStringLiteral("--mbap");
      const QString url = sim.StartTcp(args);
      QTemporaryDir folder;
      QFile ini(QDir(folder.path()).filePath(QStringLiteral(u"тп.ini")));
      if (url.isEmpty() || !ini.open(QIODevice::WriteOnly)) return 2;
      ini.write("[PC config]\r\nCOM=1\r\nFastExchange=1\r\nLink=" + url.toUtf8() + "\r\n");
      ini.close();
      ui::Application::Setup setup;
      setup.settingsFolder = folder.path();
      setup.prompter = std::make_unique<SilentPrompter>();
      ui::Application app(std::move(setup));
      ui::ParamWindowController& params = app.ParamWindows();
      params.SetStartFolder(folder.path());
      if (!app.Start() || !PumpUntil([&app] { return app.Cycle().LinkUp(); }, 5000)) return 2;
      params.OpenParamWindow();  // its first read-all, untimed
      if (!PumpUntil([&params] { return params.Editor().Progress().total == 0; }, 60000)) return 1;
      const link::FrameRecorder& recorder = app.Service().Recorder();
      for (const bool write : {false, true}) {
        const std::uint64_t first = recorder.NewestNumber() + 1;
        const Transfer t = TimeTransfer(params, write);
        std::int64_t bytes = 0;
        for (std::uint64_t n = first; n <= recorder.NewestNumber(); ++n)
          if (const link::RecordedExchange* e = recorder.Find(n)) bytes += e->requestLength + e->replyLength;
        if (!t.green || (!write && t.seconds > 1.5)) ++failures;  // the goal is the read-all
        std::printf("  %-22s %-9s %3d requests  %6.2f s  (line and turnaround alone %4.2f s)  %s\n",
                    mbap ? "Modbus TCP" : "RTU over TCP", write ? "write-all" : "read-all", t.requests, t.seconds,
                    static_cast<double>(bytes) * 11.0 / 115200.0 + t.requests * turnaroundMs / 1000.0,
                    t.green ? "all green" : "NOT all green");
      }
    }
    return failures == 0 ? 0 : 1;
  }

  /// Read-all and write-all, timed from the click to the last reply, in
  /// the design's exchange and then in fast exchange.
  int Transfers(ui::ParamWindowController& params, const TimedPort& port) {
    if (params.Window() == nullptr || !params.Window()->isVisible()) {
      params.OpenParamWindow();
      if (!PumpUntil([&params] { return params.Editor().Progress().total == 0; }, 60000)) return 1;
    }
    int failures = 0;
    std::printf("transfers (wall time from the click to the last reply)\n");
    for (const bool fast : {false, true}) {
      m_app->SetFastExchange(fast);
      Pump(500);
      for (const bool write : {false, true}) {
        const std::int64_t bytesBefore = port.BytesMoved();
        const Transfer t = TimeTransfer(params, write);
        if (!t.green) ++failures;
        // What the line itself needs: every byte both ways at 11 bits a
        // character, plus the controller's turnaround for each request.
        const double line =
            static_cast<double>(port.BytesMoved() - bytesBefore) * 11.0 / 115200.0 + t.requests * turnaroundMs / 1000.0;
        std::printf("  %-14s %-9s %3d requests  %6.2f s  (line and turnaround alone %4.2f s)  %s\n",
                    fast ? "fast exchange" : "design", write ? "write-all" : "read-all", t.requests, t.seconds, line,
                    t.green ? "all green" : "NOT all green");
      }
    }
    m_app->SetFastExchange(false);
    return failures == 0 ? 0 : 1;
  }

 private:
  testing::SimProcess m_sim{QStringLiteral(ZART_SIM_PATH)};
  std::unique_ptr<ui::Application> m_app;
};

}  // namespace
}  // namespace zart::timing

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  zart::timing::TimingRun run;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == QStringLiteral("--ticks")) {
      run.transfers = false;
    } else if (arg == QStringLiteral("--transfers")) {
      run.ticks = false;
    } else if (arg == QStringLiteral("--net")) {
      run.net = true;
    } else if (arg == QStringLiteral("--turnaround") && i + 1 < argc) {
      run.turnaroundMs = QString::fromLocal8Bit(argv[++i]).toInt();
    } else {
      std::fprintf(stderr,
                   "usage: zart-link-timing [--ticks | --transfers | --net] "
                   "[--turnaround MS]\n");
      return 2;
    }
  }
  return run.Run();
}

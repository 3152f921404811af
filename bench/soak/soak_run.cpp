#include "soak_run.h"

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include "params/box_colors.h"
#include "params/catalogue.h"
#include "settings/prompter.h"
#include "tick_watch.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace zart::soak {

/// Answers every message box at once (OK, or Cancel where there is a
/// choice) and remembers what was asked: nothing should ask during a soak.
class SoakPrompter : public settings::Prompter {
 public:
  settings::Answer Ask(const settings::Message& message) override {
    asked << message.title + QStringLiteral(": ") + message.text;
    return message.buttons == settings::Message::Buttons::ok ? settings::Answer::ok : settings::Answer::cancel;
  }
  QStringList asked;
};

namespace {

constexpr long kMaxRssGrowthKb = 1024;
constexpr double kMaxTickGapMs = 1000;
constexpr std::int64_t kCommandEveryMs = 5000;
constexpr std::int64_t kTransferLimitMs = 120000;

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long HeapInUseKb() { return static_cast<long>(mallinfo2().uordblks / 1024); }

QString Elapsed(std::int64_t ms) { return QStringLiteral("%1 s").arg(ms / 1000, 4); }

}  // namespace

SoakRun::SoakRun(SoakOptions options) : m_options(options), m_sim(QStringLiteral(ZART_SIM_PATH)) {}

SoakRun::~SoakRun() {
  if (m_watch) QCoreApplication::instance()->removeEventFilter(m_watch.get());
  m_app.reset();
  m_sim.Stop();
  if (!m_settingsFolder.isEmpty()) QDir(m_settingsFolder).removeRecursively();
}

std::int64_t SoakRun::NowMs() const { return QDateTime::currentMSecsSinceEpoch() - m_clockStartMs; }

void SoakRun::Progress(const QString& what) {
  m_events.emplace_back(NowMs() - m_measureStartMs, what);
  std::fprintf(stderr, "[%s] %s\n", qPrintable(Elapsed(NowMs() - m_measureStartMs)), qPrintable(what));
}

// Faults in the order they are switched on, each followed by a stretch
// without faults in which the link has to recover by itself.
std::vector<SoakRun::Phase> SoakRun::Schedule() {
  const auto fault = [](const char* name, const char* line) {
    return Phase{name, {QStringLiteral("fault none"), QString::fromLatin1(line)}, {}};
  };
  const std::vector<Phase> faults = {
      fault("bad CRC every 3rd reply", "fault bad-crc-every 3"),
      fault("every 5th reply dropped", "fault drop-every 5"),
      fault("replies split, 40 ms pause", "fault split 40"),
      fault("replies split across ticks", "fault split 150"),
      fault("8 garbage bytes before replies", "fault garbage 8"),
      fault("replies from address 9", "fault answer-as 9"),
      fault("300-byte status replies", "fault long 300"),
      fault("controller silent", "fault silent on"),
      fault("bad CRC on every reply", "fault bad-crc on"),
      Phase{"device unplugged, then replugged", {QStringLiteral("fault none"), QStringLiteral("unplug")},
            QStringLiteral("replug")},
  };
  std::vector<Phase> phases;
  for (const Phase& f : faults) {
    phases.push_back(Phase{"no faults", {QStringLiteral("fault none")}, {}});
    phases.push_back(f);
  }
  return phases;
}

void SoakRun::Control(const QString& line) {
  m_sim.Process().write((line + QLatin1Char('\n')).toUtf8());
  ++m_controlSent;
  if (line == QStringLiteral("unplug")) m_unplugged = true;
  if (line == QStringLiteral("replug")) m_unplugged = false;
}

void SoakRun::DrainControl() {
  QProcess& p = m_sim.Process();
  while (p.canReadLine()) {
    const QString line = QString::fromUtf8(p.readLine()).trimmed();
    if (line.startsWith(QStringLiteral("ok"))) {
      ++m_controlOk;
    } else if (line.startsWith(QStringLiteral("error"))) {
      m_controlErrors << line;
    }
  }
}

void SoakRun::Pump(std::int64_t ms) {
  const std::int64_t end = NowMs() + ms;
  while (NowMs() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    DrainControl();
    QThread::msleep(1);
  }
}

template <typename Pred>
bool SoakRun::PumpUntil(Pred done, std::int64_t ms) {
  const std::int64_t end = NowMs() + ms;
  while (!done() && NowMs() < end) Pump(10);
  return done();
}

SoakRun::Stats SoakRun::SimStats() {
  Pump(300);  // every earlier answer read, so the next line is the one asked for
  Stats stats;
  const QString line = m_sim.Command(QStringLiteral("stats"));
  for (const QString& field : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const qsizetype eq = field.indexOf(QLatin1Char('='));
    if (eq > 0) stats[field.left(eq)] = field.mid(eq + 1).toLongLong();
  }
  return stats;
}

bool SoakRun::LinkUp() const {
  const auto* status = m_app->Window().findChild<QLabel*>(QStringLiteral("lbl_sys_mes"));
  return status != nullptr && status->text().startsWith(link::ExchangeCycle::LinkUpMessage());
}

bool SoakRun::AllBoxesFromEeprom() const {
  const ui::ParamWindow* window = m_app->ParamWindows().Window();
  if (window == nullptr) return false;
  for (int slot = 0; slot < params::kSlotCount; ++slot) {
    if (window->Color(slot) != params::COLOR_FROM_EEPROM) return false;
  }
  return true;
}

bool SoakRun::TransferRunning() const { return m_app->ParamWindows().Editor().Progress().total != 0; }

bool SoakRun::SetUp() {
  m_sim.Process().setStandardErrorFile(QProcess::nullDevice());
  if (!m_sim.Start({QStringLiteral("--wire-timing"), QStringLiteral("--seed"), QString::number(m_options.seed)})) {
    std::fprintf(stderr, "zart-soak: zart-sim (%s) did not start\n", ZART_SIM_PATH);
    return false;
  }
  QTemporaryDir folder;
  folder.setAutoRemove(false);
  if (!folder.isValid()) return false;
  m_settingsFolder = folder.path();
  QFile ini(QDir(m_settingsFolder).filePath(QStringLiteral(u"тп.ini")));
  if (!ini.open(QIODevice::WriteOnly)) return false;
  ini.write("[PC config]\r\nCOM=1\r\n[Ports]\r\nCOM1=" + m_sim.LinkPath().toLocal8Bit() + "\r\n");
  ini.close();

  ui::Application::Setup setup;
  setup.settingsFolder = m_settingsFolder;
  auto prompter = std::make_unique<SoakPrompter>();
  m_prompter = prompter.get();
  setup.prompter = std::move(prompter);
  m_app = std::make_unique<ui::Application>(std::move(setup));
  m_watch = std::make_unique<TickWatch>(m_app->Cycle());
  QCoreApplication::instance()->installEventFilter(m_watch.get());
  m_app->ParamWindows().SetStartFolder(m_settingsFolder);
  if (!m_app->Start()) {
    std::fprintf(stderr, "zart-soak: the program did not open the simulator's port:\n");
    for (const QString& q : m_prompter->asked) std::fprintf(stderr, "  %s\n", qPrintable(q));
    return false;
  }
  return true;
}

bool SoakRun::WarmUp() {
  if (!PumpUntil([this] { return LinkUp(); }, 10000)) {
    std::fprintf(stderr, "zart-soak: no link to the simulator\n");
    return false;
  }
  // The first build of the parameters window and a whole read-all, so that
  // the memory measured next holds everything a long run keeps.
  m_app->ParamWindows().OpenParamWindow();
  if (!PumpUntil([this] { return !TransferRunning(); }, kTransferLimitMs) || !AllBoxesFromEeprom()) {
    std::fprintf(stderr, "zart-soak: the warm-up read-all did not finish\n");
    return false;
  }
  for (int i = 0; i < 4; ++i) m_app->Window().CommandButton(i)->click();
  Pump(2000);
  return true;
}

// At the start of a stretch without faults: a read-all, a write-all of
// what the last read-all brought, or the window closed and opened again
// from the menu (a new window, a new catalogue, a read-all), in turn.
void SoakRun::ParamAction() {
  if (TransferRunning()) {
    ++m_transfersBusy;
    return;
  }
  // The transfer started by the previous action has ended: a box it did
  // not bring back from the controller is a reply lost or mismatched.
  if (m_paramStep > 0 && m_app->ParamWindows().Window() != nullptr) {
    ++m_transfersChecked;
    const ui::ParamWindow& window = *m_app->ParamWindows().Window();
    for (int slot = 0; slot < params::kSlotCount; ++slot) {
      if (window.Color(slot) != params::COLOR_FROM_EEPROM) ++m_boxesNotBack;
    }
  }
  ui::ParamWindowController& params = m_app->ParamWindows();
  switch (m_paramStep++ % 3) {
    case 0:
      if (params.Window() == nullptr) break;
      params.Editor().cmd_readall_Click();
      ++m_readAlls;
      Progress(QStringLiteral("read-all"));
      return;
    case 1:
      if (!AllBoxesFromEeprom()) break;
      params.Editor().cmd_writeall_Click();
      ++m_writeAlls;
      Progress(QStringLiteral("write-all"));
      return;
    default:
      if (params.Window() != nullptr) {
        params.Window()->close();
        Pump(200);
      }
      params.OpenParamWindow();
      ++m_rebuilds;
      Progress(QStringLiteral("parameters window closed and opened again"));
      return;
  }
  // What was due could not be done (no window, or the last read-all was
  // cut short by the faults): a fresh window and a read-all instead.
  params.OpenParamWindow();
  ++m_readAlls;
  Progress(QStringLiteral("read-all (window opened)"));
}

void SoakRun::RunPhase(const Phase& phase, std::int64_t endMs) {
  ++m_phases;
  Progress(QString::fromLatin1(phase.name));
  if (m_unplugged) Control(QStringLiteral("replug"));
  for (const QString& line : phase.enter) Control(line);
  const bool faultsOff = phase.enter.size() == 1;
  const std::int64_t start = NowMs();
  const std::int64_t halfway = start + (endMs - start) / 2;
  std::int64_t nextCommand = start + kCommandEveryMs / 2;
  bool halfDone = phase.halfway.isEmpty();
  // Once the faults are off (or the device is back) the link has to come
  // up again by itself within the stretch.
  std::int64_t recoverFrom = faultsOff ? start : -1;
  // The user's parameter action once the link is back (a window build
  // would hide the moment it came back), at a quarter of the stretch at
  // the latest.
  bool actionDue = faultsOff;
  const std::int64_t actionLatest = start + (endMs - start) / 4;
  while (NowMs() < endMs) {
    Pump(std::min<std::int64_t>(10, endMs - NowMs()));
    if (!halfDone && NowMs() >= halfway) {
      Control(phase.halfway);
      halfDone = true;
      recoverFrom = NowMs();
    }
    if (recoverFrom >= 0 && LinkUp()) {
      std::int64_t& longest = faultsOff ? m_longestRecoveryMs : m_longestReplugMs;
      longest = std::max(longest, NowMs() - recoverFrom);
      Progress(QStringLiteral("link up after %1 ms").arg(NowMs() - recoverFrom));
      recoverFrom = -1;
    }
    if (actionDue && (recoverFrom < 0 || NowMs() >= actionLatest)) {
      ParamAction();
      actionDue = false;
    }
    if (NowMs() >= nextCommand) {
      // СТАРТ, СТОП, КВИТ, ОТКЛ. ЗАЩ in turn, as a user at the panel would.
      m_app->Window().CommandButton(m_command++ % 4)->click();
      nextCommand += kCommandEveryMs;
    }
  }
  if (recoverFrom >= 0) {
    ++m_notRecovered;
    Progress(QStringLiteral("the link did not come back in this stretch"));
  }
}

bool SoakRun::FinalReadAll() {
  Control(QStringLiteral("fault none"));
  if (m_unplugged) Control(QStringLiteral("replug"));
  Progress(QStringLiteral("faults off; the transfer under way finishes, then a last read-all"));
  if (!PumpUntil([this] { return LinkUp(); }, 10000)) return false;
  if (!PumpUntil([this] { return !TransferRunning(); }, kTransferLimitMs)) return false;
  ui::ParamWindowController& params = m_app->ParamWindows();
  if (params.Window() == nullptr) {
    params.OpenParamWindow();
  } else {
    params.Editor().cmd_readall_Click();
  }
  if (!PumpUntil([this] { return !TransferRunning(); }, kTransferLimitMs)) return false;
  Pump(1000);
  return AllBoxesFromEeprom();
}

int SoakRun::Run() {
  m_clockStartMs = QDateTime::currentMSecsSinceEpoch();
  if (!SetUp() || !WarmUp()) return 2;

  m_rssStartKb = ResidentKb();
  m_heapStartKb = HeapInUseKb();
  m_widgetsStart = QApplication::allWidgets().size();
  const Stats simStart = SimStats();
  const link::ExchangeCounters start = m_app->Cycle().Counters();
  m_measureStartMs = NowMs();
  m_events.clear();
  m_watch->Restart();

  const std::vector<Phase> phases = Schedule();
  const std::int64_t total = static_cast<std::int64_t>(m_options.seconds) * 1000;
  // Every fault at least once even in a short run; at least 3 s each.
  const std::int64_t phaseMs = std::max<std::int64_t>(3000, total / static_cast<std::int64_t>(phases.size()));
  const std::int64_t deadline = m_measureStartMs + total;
  for (std::size_t i = 0; NowMs() < deadline; ++i) {
    RunPhase(phases[i % phases.size()], std::min(deadline, NowMs() + phaseMs));
  }
  m_finalGreen = FinalReadAll();
  m_finalLinkUp = LinkUp();
  m_seconds = static_cast<double>(NowMs() - m_measureStartMs) / 1000;

  m_rssEndKb = ResidentKb();
  m_heapEndKb = HeapInUseKb();
  m_widgetsEnd = QApplication::allWidgets().size();
  const Stats simEnd = SimStats();
  PrintReport(start, simStart, simEnd);

  const bool memoryOk = m_rssEndKb - m_rssStartKb <= kMaxRssGrowthKb;
  const bool ticksOk = m_watch->MaxGapMs() <= kMaxTickGapMs;
  return memoryOk && ticksOk && m_finalGreen && m_finalLinkUp && m_notRecovered == 0 &&
                 m_controlErrors.isEmpty() ? 0 : 1;
}

void SoakRun::PrintReport(const link::ExchangeCounters& start, const Stats& simStart, const Stats& simEnd) const {
  const link::ExchangeCounters& end = m_app->Cycle().Counters();
  const auto row = [](const char* what, const QString& value, const char* note = "") {
    std::printf("  %-40s %14s  %s\n", what, qPrintable(value), note);
  };
  const auto count = [&](const char* what, std::uint64_t a, std::uint64_t b, const char* note = "") {
    row(what, QString::number(b - a), note);
  };
  const auto sim = [&](const char* key) {
    const QString k = QString::fromLatin1(key);
    const auto a = simStart.find(k);
    const auto b = simEnd.find(k);
    if (b == simEnd.end()) return QStringLiteral("?");
    return QString::number(b->second - (a == simStart.end() ? 0 : a->second));
  };
  const long growth = m_rssEndKb - m_rssStartKb;
  const double gap = m_watch->MaxGapMs();

  std::printf("\nzart-soak: %.0f s against zart-sim with faults on and off (%d stretches)\n\n", m_seconds, m_phases);
  std::printf("Exchange (the program's own counters)\n");
  count("ticks", start.ticks, end.ticks);
  count("requests sent", start.framesSent, end.framesSent);
  count("valid replies", start.validReplies, end.validReplies);
  count("  of them controller exceptions", start.exceptionReplies, end.exceptionReplies);
  count("no answer", start.noAnswers, end.noAnswers);
  count("CRC mismatch", start.crcMismatches, end.crcMismatches);
  count("ticks refused inside a tick", start.nestedTicksSkipped, end.nestedTicksSkipped);
  count("requests refused by a full queue", start.refusedRequests, end.refusedRequests);
  std::printf("\nTicks (timed from outside the program)\n");
  row("tick starts seen", QString::number(m_watch->Ticks()));
  row("mean interval", QStringLiteral("%1 ms").arg(m_watch->MeanGapMs(), 0, 'f', 1));
  row("largest gap between two ticks", QStringLiteral("%1 ms").arg(gap, 0, 'f', 1),
      gap <= kMaxTickGapMs ? "ok (limit 1000 ms)" : "TOO LONG (limit 1000 ms)");
  QString during = QStringLiteral("-");
  for (const auto& [at, what] : m_events) {
    if (static_cast<double>(at) <= m_watch->MaxGapAtMs()) during = what;
  }
  row("  it ended at", QStringLiteral("%1 s").arg(m_watch->MaxGapAtMs() / 1000, 0, 'f', 1));
  std::printf("    after: %s\n", qPrintable(during));
  row("intervals over 150 ms", QString::number(m_watch->LateTicks()));
  row("intervals over 500 ms", QString::number(m_watch->VeryLateTicks()));
  std::printf("\nSimulator (its stats command)\n");
  for (const char* key : {"requests", "replies", "exceptions", "other_address", "written", "discarded_bytes"}) {
    row(key, sim(key));
  }
  std::printf("  faults injected:\n");
  for (const char* key : {"corrupted", "dropped", "silenced", "split", "garbage", "readdressed", "padded"}) {
    row(key, sim(key));
  }
  std::printf("\nWhat the user did\n");
  row("commands pressed", QString::number(m_command));
  row("read-alls started", QString::number(m_readAlls));
  row("write-alls started", QString::number(m_writeAlls));
  row("parameters window rebuilt", QString::number(m_rebuilds));
  row("transfer still running, action skipped", QString::number(m_transfersBusy));
  row("transfers checked when done", QString::number(m_transfersChecked));
  row("  boxes left not from EEPROM", QString::number(m_boxesNotBack));
  row("longest wait for the link, faults off", QStringLiteral("%1 ms").arg(m_longestRecoveryMs));
  row("longest wait for the link after replug", QStringLiteral("%1 ms").arg(m_longestReplugMs));
  row("stretches the link did not come back", QString::number(m_notRecovered));
  row("message boxes asked", QString::number(m_prompter->asked.size()));
  for (const QString& q : m_prompter->asked) std::printf("    %s\n", qPrintable(q));
  row("control lines (sent / ok)", QStringLiteral("%1 / %2").arg(m_controlSent).arg(m_controlOk));
  for (const QString& e : m_controlErrors) std::printf("    %s\n", qPrintable(e));
  std::printf("\nMemory\n");
  row("resident at start (after warm-up)", QStringLiteral("%1 kB").arg(m_rssStartKb));
  row("resident at end", QStringLiteral("%1 kB").arg(m_rssEndKb));
  row("growth", QStringLiteral("%1 kB").arg(growth), growth <= kMaxRssGrowthKb ? "ok (limit 1024 kB)" : "TOO MUCH (limit 1024 kB)");
  row("widgets at start / end", QStringLiteral("%1 / %2").arg(m_widgetsStart).arg(m_widgetsEnd));
  row("heap in use at start / end", QStringLiteral("%1 / %2 kB").arg(m_heapStartKb).arg(m_heapEndKb));
  std::printf("\nEnd state\n");
  row("link up at the end", m_finalLinkUp ? QStringLiteral("yes") : QStringLiteral("NO"));
  row("last read-all: every box from EEPROM", m_finalGreen ? QStringLiteral("yes") : QStringLiteral("NO"));
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace zart::soak

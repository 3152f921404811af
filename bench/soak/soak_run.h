#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include <QString>
#include <QStringList>

#include "link/exchange_cycle.h"
#include "support/sim_process.h"

namespace zart::ui {
class Application;
}

namespace zart::soak {

class SoakPrompter;
class TickWatch;

/// What the soak run is asked to do.
struct SoakOptions {
  /// Length of the measured run, after the warm-up.
  int seconds = 600;
  /// Seed of the simulator's noise and garbage bytes.
  int seed = 1;
};

/// The whole program (ui::Application, offscreen, with its parameters
/// window) against zart-sim on a pseudo-terminal for a long time, with the
/// simulator's faults switched on and off in turn, the user's commands and
/// parameter transfers in between. Prints a table of what happened and
/// returns the process exit code: 0 when the resident memory grew by at
/// most 1 MB, no two ticks were more than 1 s apart, the link came back in
/// every stretch without faults and a final read-all turned every box green; 1 when one of these failed; 2 when the run could
/// not be set up.
class SoakRun {
 public:
  explicit SoakRun(SoakOptions options);
  ~SoakRun();
  SoakRun(const SoakRun&) = delete;
  SoakRun& operator=(const SoakRun&) = delete;

  int Run();

 private:
  /// One stretch of the run: the control lines that start it and, for the
  /// device pulled out, the line that ends it half-way.
  struct Phase {
    const char* name;
    QStringList enter;
    QString halfway;
  };
  using Stats = std::map<QString, std::int64_t>;

  static std::vector<Phase> Schedule();
  bool SetUp();
  bool WarmUp();
  void RunPhase(const Phase& phase, std::int64_t endMs);
  void ParamAction();
  bool FinalReadAll();

  /// Event loop for `ms` (bounded by the run's clock), answers of the
  /// simulator's control channel collected on the way.
  void Pump(std::int64_t ms);
  template <typename Pred>
  bool PumpUntil(Pred done, std::int64_t ms);
  void Control(const QString& line);
  void DrainControl();
  Stats SimStats();
  bool LinkUp() const;
  bool AllBoxesFromEeprom() const;
  bool TransferRunning() const;
  std::int64_t NowMs() const;
  void Progress(const QString& what);
  void PrintReport(const link::ExchangeCounters& start, const Stats& simStart, const Stats& simEnd) const;

  SoakOptions m_options;
  testing::SimProcess m_sim;
  QString m_settingsFolder;
  SoakPrompter* m_prompter = nullptr;
  std::unique_ptr<ui::Application> m_app;
  std::unique_ptr<TickWatch> m_watch;
  std::int64_t m_clockStartMs = 0;
  std::int64_t m_measureStartMs = 0;

  // Things done and seen during the measured run.
  int m_command = 0;
  int m_paramStep = 0;
  int m_readAlls = 0;
  int m_writeAlls = 0;
  int m_rebuilds = 0;
  int m_transfersBusy = 0;
  int m_phases = 0;
  int m_controlSent = 0;
  int m_controlOk = 0;
  QStringList m_controlErrors;
  /// What was started when, in ms after the measured run began.
  std::vector<std::pair<std::int64_t, QString>> m_events;
  qsizetype m_widgetsStart = 0;
  qsizetype m_widgetsEnd = 0;
  bool m_unplugged = false;
  std::int64_t m_longestRecoveryMs = 0;
  std::int64_t m_longestReplugMs = 0;
  int m_notRecovered = 0;
  int m_transfersChecked = 0;
  int m_boxesNotBack = 0;
  bool m_finalGreen = false;
  bool m_finalLinkUp = false;
  long m_rssStartKb = 0;
  long m_rssEndKb = 0;
  long m_heapStartKb = 0;
  long m_heapEndKb = 0;
  double m_seconds = 0;
};

}  // namespace zart::soak

#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "link/frame_recorder.h"
#include "monitor/csv_log_file.h"
#include "monitor/csv_status_log.h"
#include "monitor/event_log.h"
#include "monitor/signal_names.h"
#include "monitor/status_line_link_watch.h"
#include "monitor/trend_buffer.h"
#include "params/catalogue.h"
#include "params/frame_description.h"

class QAction;

namespace zart::link {
class ExchangeCycle;
class RxStore;
}  // namespace zart::link
namespace zart::settings {
class SettingsFile;
}

namespace zart::ui {

class EventLogWindow;
class MainWindow;
class TrafficWindow;
class TrendsWindow;

/// The "Сервис" menu's tools for the whole run: the recorder the exchange
/// writes every frame into, the traffic monitor, the trends of the last ten
/// minutes, the CSV log of status replies, the event log (with its live
/// file) and the signal names. Windows are built on first use and owned by
/// the main window.
class ServiceTools : public QObject {
  Q_OBJECT

 public:
  /// How often the status line is looked at for the link's state, ms.
  static constexpr int kLinkWatchMs = 100;

  /// Attaches the recorder to `cycle` and the menu of `window`; the signal
  /// names file and the CSV option come from `settings`.
  ServiceTools(link::ExchangeCycle& cycle, MainWindow& window, settings::SettingsFile& settings);
  ~ServiceTools() override;
  ServiceTools(const ServiceTools&) = delete;
  ServiceTools& operator=(const ServiceTools&) = delete;

  /// Each valid status reply, after the main window has shown it.
  void OnStatusReply(const link::RxStore& rx);
  /// After the settings file was read: the CSV option and the signal names
  /// file it names (a file that became unreadable is reported, not fatal).
  void ApplySettings();
  /// Puts the signal names into the grid's tooltips (after the cells exist).
  void ApplySignalNames();

  void ShowTrafficMonitor();
  void ShowTrends();
  void ShowEventLog();
  /// Starts a log into `path` (no dialog); false with a message shown.
  bool StartLog(const QString& path);
  void StopLog();
  /// The event log's live file into `path` (no dialog); false with a message.
  bool StartEventFile(const QString& path);
  void StopEventFile();
  /// Loads the signal names from `path` and remembers it in тп.ini; false
  /// with a message shown (the names in use stay).
  bool LoadSignalNames(const QString& path);
  /// Back to numbers only.
  void ClearSignalNames();
  /// Looks at the status line now (also done by a timer).
  void WatchLink(std::int64_t nowMs);

  link::FrameRecorder& Recorder() { return m_recorder; }
  const monitor::TrendBuffer& Trends() const { return m_trends; }
  const monitor::CsvStatusLog& Log() const { return m_log; }
  monitor::EventLog& Events() { return m_events; }
  const monitor::CsvLogFile& EventFile() const { return m_eventFile; }
  const monitor::SignalNames& Names() const { return m_names; }
  /// The windows once built; null before first use.
  TrafficWindow* Traffic() const;
  TrendsWindow* TrendsView() const;
  EventLogWindow* EventsView() const;

 private:
  void OnLogToggled(bool on);
  bool ToggleEventFile(bool on);
  void WriteEventFile(std::int64_t nowMs);
  void ReportLogError();
  void ReportEventFileError();
  void Warn(const QString& title, const QString& text, const char* objectName);
  void ChooseSignalNames();
  const monitor::SignalNames* NamesInUse() const { return m_names.IsEmpty() ? nullptr : &m_names; }
  std::uint64_t Failures() const;

  link::ExchangeCycle& m_cycle;
  MainWindow& m_window;
  settings::SettingsFile& m_settings;
  link::FrameRecorder m_recorder;
  std::unique_ptr<params::FrameDescription> m_description;
  monitor::TrendBuffer m_trends;
  monitor::CsvStatusLog m_log;
  monitor::EventLog m_events;
  monitor::StatusLineLinkWatch m_linkWatch{m_events};
  monitor::CsvLogFile m_eventFile;
  std::uint64_t m_eventFileNext = 0;  // first entry not yet written to it
  monitor::SignalNames m_names;
  std::uint64_t m_failuresAtLastLine = 0;
  bool m_shaftShown = false;  // the last object type reported was ДРА
  QTimer m_flushTimer;
  QTimer m_linkTimer;
  QAction* m_clearNames = nullptr;
  QPointer<TrafficWindow> m_traffic;
  QPointer<TrendsWindow> m_trendsWindow;
  QPointer<EventLogWindow> m_eventWindow;
};

}  // namespace zart::ui

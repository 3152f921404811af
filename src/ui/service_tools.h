#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QTimer>

#include "link/frame_recorder.h"
#include "monitor/csv_status_log.h"
#include "monitor/trend_buffer.h"
#include "params/catalogue.h"
#include "params/frame_description.h"

namespace zart::link {
class ExchangeCycle;
class RxStore;
}  // namespace zart::link

namespace zart::ui {

class MainWindow;
class TrafficWindow;
class TrendsWindow;

/// The "Сервис" menu's tools for the whole run: the recorder the exchange
/// writes every frame into, the traffic monitor, the trends of the last ten
/// minutes and the CSV log of status replies. Windows are built on first
/// use and owned by the main window.
class ServiceTools : public QObject {
  Q_OBJECT

 public:
  /// Attaches the recorder to `cycle` and the menu of `window`.
  ServiceTools(link::ExchangeCycle& cycle, MainWindow& window);
  ~ServiceTools() override;
  ServiceTools(const ServiceTools&) = delete;
  ServiceTools& operator=(const ServiceTools&) = delete;

  /// Each valid status reply, after the main window has shown it.
  void OnStatusReply(const link::RxStore& rx);

  void ShowTrafficMonitor();
  void ShowTrends();
  /// Starts a log into `path` (no dialog); false with a message shown.
  bool StartLog(const QString& path);
  void StopLog();

  link::FrameRecorder& Recorder() { return m_recorder; }
  const monitor::TrendBuffer& Trends() const { return m_trends; }
  const monitor::CsvStatusLog& Log() const { return m_log; }
  /// The windows once built; null before first use.
  TrafficWindow* Traffic() const;
  TrendsWindow* TrendsView() const;

 private:
  void OnLogToggled(bool on);
  void ReportLogError();
  std::uint64_t Failures() const;

  link::ExchangeCycle& m_cycle;
  MainWindow& m_window;
  link::FrameRecorder m_recorder;
  std::unique_ptr<params::FrameDescription> m_description;
  monitor::TrendBuffer m_trends;
  monitor::CsvStatusLog m_log;
  std::uint64_t m_failuresAtLastLine = 0;
  bool m_shaftShown = false;  // the last object type reported was ДРА
  QTimer m_flushTimer;
  QPointer<TrafficWindow> m_traffic;
  QPointer<TrendsWindow> m_trendsWindow;
};

}  // namespace zart::ui

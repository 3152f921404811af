#include "ui/service_tools.h"

#include <QAction>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>

#include "link/exchange_cycle.h"
#include "link/port.h"
#include "monitor/status_registers.h"
#include "monitor/status_sample.h"
#include "settings/settings_file.h"
#include "ui/event_log_window.h"
#include "ui/main_window.h"
#include "ui/tool_context.h"
#include "ui/traffic_window.h"
#include "ui/trends_window.h"

namespace zart::ui {

ServiceTools::ServiceTools(link::ExchangeCycle& cycle, MainWindow& window, settings::SettingsFile& settings)
    : m_cycle(cycle),
      m_window(window),
      m_settings(settings),
      m_eventFile(QStringLiteral(u"Журнал событий"), QStringLiteral(u"журнала событий")) {
  m_description = std::make_unique<params::FrameDescription>();
  m_cycle.SetRecorder(&m_recorder);
  ToolContext& context = ToolContext::Of(&m_window);
  context.SetEvents(&m_events);
  connect(&m_window, &MainWindow::trafficMonitorTriggered, this, [this] { ShowTrafficMonitor(); });
  connect(&m_window, &MainWindow::trendsTriggered, this, [this] { ShowTrends(); });
  connect(&m_window, &MainWindow::csvLogToggled, this, [this](bool on) { OnLogToggled(on); });

  QMenu* menu = m_window.ServiceMenu();
  QAction* events = menu->addAction(QStringLiteral(u"Журнал &событий"));
  events->setObjectName(QStringLiteral("mnu_event_log"));
  connect(events, &QAction::triggered, this, [this] { ShowEventLog(); });
  QAction* names = menu->addAction(QStringLiteral(u"&Имена сигналов…"));
  names->setObjectName(QStringLiteral("mnu_signal_names"));
  connect(names, &QAction::triggered, this, [this] { ChooseSignalNames(); });
  m_clearNames = menu->addAction(QStringLiteral(u"Без имён сигналов"));
  m_clearNames->setObjectName(QStringLiteral("mnu_signal_names_clear"));
  m_clearNames->setEnabled(false);
  connect(m_clearNames, &QAction::triggered, this, [this] { ClearSignalNames(); });

  m_flushTimer.setInterval(static_cast<int>(monitor::CsvLogFile::kFlushIntervalMs));
  connect(&m_flushTimer, &QTimer::timeout, this, [this] {
    const std::int64_t now = m_recorder.NowMs();
    if (m_log.IsOpen() && !m_log.Flush(now)) ReportLogError();
    if (m_eventFile.IsOpen() && !m_eventFile.Flush(now)) ReportEventFileError();
  });
  m_linkTimer.setInterval(kLinkWatchMs);
  connect(&m_linkTimer, &QTimer::timeout, this, [this] { WatchLink(m_recorder.NowMs()); });
  m_linkTimer.start();
}

ServiceTools::~ServiceTools() {
  m_cycle.SetRecorder(nullptr);
  m_log.Close();
  m_eventFile.Close();
  ToolContext& context = ToolContext::Of(&m_window);
  context.SetEvents(nullptr);
  context.SetNames(nullptr);
}

TrafficWindow* ServiceTools::Traffic() const { return m_traffic.data(); }
TrendsWindow* ServiceTools::TrendsView() const { return m_trendsWindow.data(); }
EventLogWindow* ServiceTools::EventsView() const { return m_eventWindow.data(); }

std::uint64_t ServiceTools::Failures() const {
  const link::TrafficCounters& c = m_recorder.SinceStart();
  return c.noAnswers + c.crcMismatches;
}

void ServiceTools::OnStatusReply(const link::RxStore& rx) {
  const monitor::StatusSample sample = monitor::StatusSample::FromStatusReply(rx);
  const std::int64_t now = m_recorder.NowMs();
  const QDateTime wall = QDateTime::currentDateTime();
  // The reply is the link's return: it comes before the changes it shows.
  WatchLink(now);
  m_events.Record(sample, wall.toMSecsSinceEpoch());
  WriteEventFile(now);
  m_trends.Add(monitor::TrendPoint{static_cast<double>(now) / 1000.0, static_cast<double>(sample.engineRpm),
                                   static_cast<double>(sample.shaftRpm), sample.batteryDecivolts / 10.0,
                                   wall.toMSecsSinceEpoch()});
  // Other object types leave the display as it was, as on the main window.
  if (sample.objectType == monitor::status_registers::kObjectDgu || sample.objectType == monitor::status_registers::kObjectDra)
    m_shaftShown = sample.objectType == monitor::status_registers::kObjectDra;
  if (m_trendsWindow) m_trendsWindow->SetShaftShown(m_shaftShown);
  if (m_log.IsOpen()) {
    const std::uint64_t failures = Failures();
    const bool ok = m_log.Append(wall, now, sample, failures - m_failuresAtLastLine, m_cycle.LinkPort().LinkName());
    m_failuresAtLastLine = failures;
    if (!ok) ReportLogError();
  }
}

void ServiceTools::WatchLink(std::int64_t nowMs) {
  const std::uint64_t before = m_events.Total();
  m_linkWatch.Observe(m_window.StatusText(), nowMs, QDateTime::currentMSecsSinceEpoch());
  if (m_events.Total() != before) WriteEventFile(nowMs);
}

void ServiceTools::WriteEventFile(std::int64_t nowMs) {
  if (!m_eventFile.IsOpen()) {
    m_eventFileNext = m_events.Total();
    return;
  }
  const monitor::CsvFormat format = ToolContext::Of(&m_window).Csv();
  for (std::uint64_t n = std::max(m_eventFileNext, m_events.OldestNumber()); n < m_events.Total(); ++n) {
    if (!m_eventFile.Append(m_events.CsvLine(format, *m_events.Find(n), NamesInUse()), nowMs)) {
      ReportEventFileError();
      return;
    }
  }
  m_eventFileNext = m_events.Total();
}

void ServiceTools::ShowTrafficMonitor() {
  if (!m_traffic) m_traffic = new TrafficWindow(m_recorder, *m_description, &m_window);
  m_traffic->show();
  m_traffic->raise();
  m_traffic->activateWindow();
}

void ServiceTools::ShowTrends() {
  if (!m_trendsWindow) {
    m_trendsWindow = new TrendsWindow(m_trends, &m_window);
    m_trendsWindow->SetShaftShown(m_shaftShown);
  }
  m_trendsWindow->show();
  m_trendsWindow->raise();
  m_trendsWindow->activateWindow();
}

void ServiceTools::ShowEventLog() {
  if (!m_eventWindow) {
    m_eventWindow = new EventLogWindow(m_events, NamesInUse(), [this](bool on) { return ToggleEventFile(on); },
                                       &m_window);
    m_eventWindow->SetFileOn(m_eventFile.IsOpen());
  }
  m_eventWindow->show();
  m_eventWindow->raise();
  m_eventWindow->activateWindow();
}

bool ServiceTools::StartLog(const QString& path) {
  m_failuresAtLastLine = Failures();
  if (!m_log.Open(path, ToolContext::Of(&m_window).Csv(), NamesInUse())) {
    ReportLogError();
    return false;
  }
  m_window.CsvLogAction()->setChecked(true);
  m_flushTimer.start();
  return true;
}

void ServiceTools::StopLog() {
  const bool ok = m_log.Close();
  m_window.CsvLogAction()->setChecked(false);
  if (!ok) ReportLogError();
}

void ServiceTools::OnLogToggled(bool on) {
  if (!on) {
    StopLog();
    return;
  }
  const QString suggested =
      QStringLiteral(u"журнал-%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral(u"yyyyMMdd-HHmmss")));
  const QString path = ToolContext::Of(&m_window).Folders().SaveFileName(
      &m_window, DialogFolders::Purpose::csvLog, QStringLiteral(u"Журнал в файл"), suggested,
      QStringLiteral(u"Таблица CSV (*.csv)"));
  if (path.isEmpty() || !StartLog(path)) m_window.CsvLogAction()->setChecked(false);
}

bool ServiceTools::StartEventFile(const QString& path) {
  if (!m_eventFile.Open(path, monitor::EventLog::CsvHeader())) {
    ReportEventFileError();
    return false;
  }
  // The file starts with what the session has seen so far.
  m_eventFileNext = m_events.OldestNumber();
  WriteEventFile(m_recorder.NowMs());
  m_flushTimer.start();
  if (m_eventWindow) m_eventWindow->SetFileOn(m_eventFile.IsOpen());
  return m_eventFile.IsOpen();
}

void ServiceTools::StopEventFile() {
  const bool ok = m_eventFile.Close();
  if (m_eventWindow) m_eventWindow->SetFileOn(false);
  if (!ok) ReportEventFileError();
}

bool ServiceTools::ToggleEventFile(bool on) {
  if (!on) {
    StopEventFile();
    return false;
  }
  const QString suggested =
      QStringLiteral(u"события-%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral(u"yyyyMMdd-HHmmss")));
  QWidget* parent = m_eventWindow ? static_cast<QWidget*>(m_eventWindow.data()) : &m_window;
  const QString path = ToolContext::Of(&m_window).Folders().SaveFileName(
      parent, DialogFolders::Purpose::eventLog, QStringLiteral(u"Записывать журнал событий в файл"), suggested,
      QStringLiteral(u"Таблица CSV (*.csv)"));
  return !path.isEmpty() && StartEventFile(path);
}

void ServiceTools::Warn(const QString& title, const QString& text, const char* objectName) {
  // This may run inside an exchange tick: the box is modeless so that the
  // exchange goes on while it is shown.
  auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, &m_window);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setObjectName(QString::fromLatin1(objectName));
  box->setModal(false);
  box->show();
}

void ServiceTools::ReportLogError() {
  m_window.CsvLogAction()->setChecked(false);
  if (!m_log.Error().isEmpty()) Warn(QStringLiteral(u"Журнал в файл"), m_log.Error(), "msg_csv_log");
}

void ServiceTools::ReportEventFileError() {
  if (m_eventWindow) m_eventWindow->SetFileOn(false);
  if (!m_eventFile.Error().isEmpty()) Warn(QStringLiteral(u"Журнал событий"), m_eventFile.Error(), "msg_event_file");
}

void ServiceTools::ApplySettings() {
  ToolContext::Of(&m_window).SetCsvDecimalPoint(m_settings.CsvDecimalPoint());
  const QString path = m_settings.SignalNamesFile();
  if (path.isEmpty() || path == m_names.Path()) return;
  QString error;
  if (m_names.Load(path, &error)) {
    ApplySignalNames();
  } else {
    Warn(QStringLiteral(u"Имена сигналов"), error + QStringLiteral(u"\nСигналы показаны номерами."), "msg_signal_names");
  }
}

void ServiceTools::ApplySignalNames() {
  const monitor::SignalNames* names = NamesInUse();
  ToolContext::Of(&m_window).SetNames(names);
  m_clearNames->setEnabled(names != nullptr);
  for (int n = 1; n < monitor::StatusView::kSignalCount; ++n) {
    if (QLabel* cell = m_window.SignalCell(n)) {
      const QString name = m_names.Name(n);
      cell->setToolTip(name.isEmpty() ? QString() : QStringLiteral(u"Сигнал %1: %2").arg(n).arg(name));
    }
  }
  if (m_eventWindow) m_eventWindow->SetNames(names);
}

bool ServiceTools::LoadSignalNames(const QString& path) {
  monitor::SignalNames names;
  QString error;
  if (!names.Load(path, &error)) {
    Warn(QStringLiteral(u"Имена сигналов"), error, "msg_signal_names");
    return false;
  }
  m_names = std::move(names);
  ApplySignalNames();
  m_settings.SetSignalNamesFile(path);
  m_settings.SaveConfig(m_window.SlaveAddress());
  return true;
}

void ServiceTools::ClearSignalNames() {
  m_names.Clear();
  ApplySignalNames();
  m_settings.SetSignalNamesFile(QString());
  m_settings.SaveConfig(m_window.SlaveAddress());
}

void ServiceTools::ChooseSignalNames() {
  const QString path = ToolContext::Of(&m_window).Folders().OpenFileName(
      &m_window, DialogFolders::Purpose::signalNames, QStringLiteral(u"Файл имён сигналов"),
      QStringLiteral(u"Файлы имён (*.ini *.txt);;Все файлы (*)"));
  if (!path.isEmpty()) LoadSignalNames(path);
}

}  // namespace zart::ui

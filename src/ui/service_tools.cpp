#include "ui/service_tools.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "link/exchange_cycle.h"
#include "link/port.h"
#include "monitor/status_registers.h"
#include "monitor/status_sample.h"
#include "ui/main_window.h"
#include "ui/traffic_window.h"
#include "ui/trends_window.h"

namespace zart::ui {

ServiceTools::ServiceTools(link::ExchangeCycle& cycle, MainWindow& window) : m_cycle(cycle), m_window(window) {
  m_description = std::make_unique<params::FrameDescription>();
  m_cycle.SetRecorder(&m_recorder);
  connect(&m_window, &MainWindow::trafficMonitorTriggered, this, [this] { ShowTrafficMonitor(); });
  connect(&m_window, &MainWindow::trendsTriggered, this, [this] { ShowTrends(); });
  connect(&m_window, &MainWindow::csvLogToggled, this, [this](bool on) { OnLogToggled(on); });
  m_flushTimer.setInterval(static_cast<int>(monitor::CsvStatusLog::kFlushIntervalMs));
  connect(&m_flushTimer, &QTimer::timeout, this, [this] {
    if (m_log.IsOpen() && !m_log.Flush(m_recorder.NowMs())) ReportLogError();
  });
}

ServiceTools::~ServiceTools() {
  m_cycle.SetRecorder(nullptr);
  m_log.Close();
}

TrafficWindow* ServiceTools::Traffic() const { return m_traffic.data(); }
TrendsWindow* ServiceTools::TrendsView() const { return m_trendsWindow.data(); }

std::uint64_t ServiceTools::Failures() const {
  const link::TrafficCounters& c = m_recorder.SinceStart();
  return c.noAnswers + c.crcMismatches;
}

void ServiceTools::OnStatusReply(const link::RxStore& rx) {
  const monitor::StatusSample sample = monitor::StatusSample::FromStatusReply(rx);
  const std::int64_t now = m_recorder.NowMs();
  m_trends.Add(monitor::TrendPoint{static_cast<double>(now) / 1000.0, static_cast<double>(sample.engineRpm),
                                   static_cast<double>(sample.shaftRpm), sample.batteryDecivolts / 10.0});
  // Other object types leave the display as it was, as on the main window.
  if (sample.objectType == monitor::status_registers::kObjectDgu || sample.objectType == monitor::status_registers::kObjectDra)
    m_shaftShown = sample.objectType == monitor::status_registers::kObjectDra;
  if (m_trendsWindow) m_trendsWindow->SetShaftShown(m_shaftShown);
  if (m_log.IsOpen()) {
    const std::uint64_t failures = Failures();
    const bool ok = m_log.Append(QDateTime::currentDateTime(), now, sample, failures - m_failuresAtLastLine,
                                 m_cycle.LinkPort().LinkName());
    m_failuresAtLastLine = failures;
    if (!ok) ReportLogError();
  }
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

bool ServiceTools::StartLog(const QString& path) {
  m_failuresAtLastLine = Failures();
  if (!m_log.Open(path)) {
    ReportLogError();
    return false;
  }
  m_window.CsvLogAction()->setChecked(true);
  m_flushTimer.start();
  return true;
}

void ServiceTools::StopLog() {
  m_flushTimer.stop();
  const bool ok = m_log.Close();
  m_window.CsvLogAction()->setChecked(false);
  if (!ok) ReportLogError();
}

void ServiceTools::OnLogToggled(bool on) {
  if (!on) {
    StopLog();
    return;
  }
  const QString suggested = QDir::home().filePath(
      QStringLiteral(u"журнал-%1.csv").arg(QDateTime::currentDateTime().toString(QStringLiteral(u"yyyyMMdd-HHmmss"))));
  const QString path = QFileDialog::getSaveFileName(&m_window, QStringLiteral(u"Журнал в файл"), suggested,
                                                    QStringLiteral(u"Таблица CSV (*.csv)"));
  if (path.isEmpty() || !StartLog(path)) m_window.CsvLogAction()->setChecked(false);
}

void ServiceTools::ReportLogError() {
  m_flushTimer.stop();
  m_window.CsvLogAction()->setChecked(false);
  if (m_log.Error().isEmpty()) return;
  // This may run inside an exchange tick: the box is modeless so that the
  // exchange goes on while it is shown.
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral(u"Журнал в файл"), m_log.Error(),
                              QMessageBox::Ok, &m_window);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setObjectName(QStringLiteral("msg_csv_log"));
  box->setModal(false);
  box->show();
}

}  // namespace zart::ui

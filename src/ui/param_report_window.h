#pragma once

#include <functional>

#include <QDialog>

#include "params/service_report.h"

class QCheckBox;
class QPrinter;
class QTextBrowser;
class QTextDocument;

namespace zart::ui {

/// The service report in a preview window, with printing, a print preview,
/// and saving as PDF and as HTML. "Сравнить с файлом…" adds the
/// differences against a parameter file the user picks; a check box adds
/// the session's event log. Printed pages are cut by ParamReportPages, so
/// printer, preview and PDF show the same pages.
class ParamReportWindow : public QDialog {
  Q_OBJECT

 public:
  /// Builds the report again, with the differences against `file` (empty:
  /// none); returns false when the file could not be read.
  using Rebuild = std::function<bool(const QString& file, params::ServiceReport& report)>;
  /// The newest event log entries a report includes at most.
  static constexpr int kMaxLogEntries = 2000;

  ParamReportWindow(params::ServiceReport report, Rebuild rebuild, QWidget* owner);

  /// Writes the report as PDF (A4, portrait) / HTML. False when the file
  /// cannot be written.
  bool SavePdf(const QString& path) const;
  bool SaveHtml(const QString& path) const;
  void ShowReport(params::ServiceReport report);
  const params::ServiceReport& Report() const { return m_report; }
  QTextBrowser* Preview() const { return m_preview; }
  /// "Журнал событий сеанса в отчёте".
  QCheckBox* IncludeLog() const { return m_includeLog; }
  /// The report's HTML, with the event log when it is included.
  QString Html() const;

  /// A4 portrait with the report's margins: print, preview and PDF alike.
  static void SetUpPrinter(QPrinter& printer);
  /// Prints onto `printer` as set up; the number of pages.
  int PrintTo(QPrinter& printer) const;
  /// The face the report is set in: Liberation Sans, from the program's
  /// "fonts" folder where the system lacks it.
  static QString FontFamily();

 private:
  QString AskSavePath(const QString& filter, const QString& suffix);
  void Refresh();

  params::ServiceReport m_report;
  Rebuild m_rebuild;
  QTextBrowser* m_preview = nullptr;
  QCheckBox* m_includeLog = nullptr;
};

}  // namespace zart::ui

#pragma once

#include <functional>

#include <QDialog>

#include "params/service_report.h"

class QPrinter;
class QTextBrowser;
class QTextDocument;

namespace zart::ui {

/// The service report in a preview window, with printing, a print preview,
/// and saving as PDF and as HTML. "Сравнить с файлом…" adds the
/// differences against a parameter file the user picks.
class ParamReportWindow : public QDialog {
  Q_OBJECT

 public:
  /// Builds the report again, with the differences against `file` (empty:
  /// none); returns false when the file could not be read.
  using Rebuild = std::function<bool(const QString& file, params::ServiceReport& report)>;

  ParamReportWindow(params::ServiceReport report, Rebuild rebuild, QWidget* owner);

  /// Writes the report as PDF (A4, portrait) / HTML. False when the file
  /// cannot be written.
  bool SavePdf(const QString& path) const;
  bool SaveHtml(const QString& path) const;
  void ShowReport(params::ServiceReport report);
  const params::ServiceReport& Report() const { return m_report; }
  QTextBrowser* Preview() const { return m_preview; }

 private:
  void PrintTo(QPrinter& printer) const;
  QString AskSavePath(const QString& filter, const QString& suffix);

  params::ServiceReport m_report;
  Rebuild m_rebuild;
  QTextBrowser* m_preview = nullptr;
};

}  // namespace zart::ui

#pragma once

#include <functional>

#include <QPointer>
#include <QString>

#include "params/param_diff.h"
#include "params/service_report.h"
#include "ui/param_diff_window.h"
#include "ui/param_report_window.h"

class QWidget;

namespace zart::params {
class ParamSession;
}

namespace zart::ui {

class ParamWindow;

/// The commissioning aids' windows beside the parameters window: the
/// differences list, the report, the two-file comparison, the backup folder
/// and the outcome of a write check. The logic behind them is the parameter
/// session's; this shows it.
class ParamService {
 public:
  /// The controller's identity for reports.
  using IdentityProvider = std::function<params::ReportIdentity()>;
  /// The parameters window when it exists (never creates one).
  using WindowProvider = std::function<ParamWindow*()>;

  ParamService(params::ParamSession& session, QWidget* owner);
  ~ParamService();
  ParamService(const ParamService&) = delete;
  ParamService& operator=(const ParamService&) = delete;

  void SetIdentityProvider(IdentityProvider provider) { m_identity = std::move(provider); }
  void SetWindowProvider(WindowProvider provider) { m_window = std::move(provider); }

  /// Shows a differences list (and keeps it as the last one).
  void ShowList(const params::DiffList& list);
  /// A write check ended: a box that does not block the link when all
  /// matches, the list and the tab marks when something does not.
  void Checked(const params::DiffList& mismatches, const QString& text);

  // The "Сервис" menu.
  void ShowDifferences();
  void CompareTwoFiles(const QString& first, const QString& second);
  void CompareTwoFiles();  ///< asks for the two files
  void ShowReport();
  void OpenBackupFolder();
  /// "Последняя копия: <name>" or that there is none yet; with the folder.
  QString BackupInfo() const;

  /// Shows `slot` in the parameters window: page, scroll, focus.
  void ShowSlot(int slot);

  ParamDiffWindow* DiffWindow() const { return m_diffWindow.data(); }
  ParamReportWindow* ReportWindow() const { return m_reportWindow.data(); }

 private:
  params::ReportIdentity Identity() const;
  ParamWindow* Window() const { return m_window ? m_window() : nullptr; }

  params::ParamSession& m_session;
  QWidget* m_owner;
  IdentityProvider m_identity;
  WindowProvider m_window;
  QPointer<ParamDiffWindow> m_diffWindow;
  QPointer<ParamReportWindow> m_reportWindow;
};

}  // namespace zart::ui

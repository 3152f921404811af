#pragma once

#include <functional>
#include <optional>

#include <QPointer>
#include <QString>

#include "params/controller_image.h"
#include "params/param_backup.h"
#include "params/param_diff.h"
#include "params/service_report.h"
#include "params/write_verifier.h"
#include "ui/param_diff_window.h"
#include "ui/param_report_window.h"

class QWidget;

namespace zart::link {
class ExchangeCycle;
class RxStore;
}  // namespace zart::link
namespace zart::params {
class ParamCatalogue;
class ParamEditor;
}  // namespace zart::params
namespace zart::settings {
class Prompter;
}

namespace zart::ui {

class ParamWindow;

/// The commissioning aids beside the parameters window: the controller's
/// set as last read, the backup taken before every write, the check of a
/// write-all by reading everything back, the differences list and the
/// service report. The parameters window controller feeds it the link's
/// events and the window's actions.
class ParamService {
 public:
  /// The controller's identity for reports and the slave address for backups.
  using IdentityProvider = std::function<params::ReportIdentity()>;
  /// The parameters window when it exists (never creates one).
  using WindowProvider = std::function<ParamWindow*()>;

  ParamService(link::ExchangeCycle& link, const params::ParamCatalogue& catalogue, params::ParamEditor& editor,
               settings::Prompter& prompter, QWidget* owner);
  ~ParamService();
  ParamService(const ParamService&) = delete;
  ParamService& operator=(const ParamService&) = delete;

  void SetIdentityProvider(IdentityProvider provider) { m_identity = std::move(provider); }
  void SetWindowProvider(WindowProvider provider) { m_window = std::move(provider); }
  /// Where backups go (default: ParamBackup::DefaultFolder()).
  void SetBackupFolder(const QString& folder);

  // The link's events, in the order the exchange delivers them.
  /// After the editor has counted the request.
  void OnRequestCompleted(int slot);
  /// Every function-100/101 reply; true when it was a read-back of the write
  /// check and must not reach the boxes.
  bool OnParamReply(const link::RxStore& rx, int rxCount);

  // The window's actions.
  /// Before any write: the backup. False: write nothing.
  bool BeforeWrite();
  /// "Записать всё в ЭСППЗУ": backup, the design's write-all, then the check.
  void WriteAll();
  /// After "Сравнить с файлом" ran on `folder`/`name`: the list and the tab marks.
  void AfterCompare(const QString& folder, const QString& name);
  /// Read-all or load: the tab marks go.
  void ClearMarks();

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

  params::ControllerImage& Image() { return m_image; }
  params::ParamBackup& Backup() { return *m_backup; }
  params::WriteVerifier& Verifier() { return m_verifier; }
  ParamDiffWindow* DiffWindow() const { return m_diffWindow.data(); }
  ParamReportWindow* ReportWindow() const { return m_reportWindow.data(); }
  const std::optional<params::DiffList>& LastDifferences() const { return m_last; }
  /// The result of the last write check ("Запись проверена: …"), if any.
  QString LastVerification() const { return m_lastVerification; }

 private:
  void ShowList(const params::DiffList& list);
  void Verified(const params::DiffList& mismatches, int compared);
  params::ReportIdentity Identity() const;
  ParamWindow* Window() const { return m_window ? m_window() : nullptr; }

  link::ExchangeCycle& m_link;
  const params::ParamCatalogue& m_catalogue;
  params::ParamEditor& m_editor;
  settings::Prompter& m_prompter;
  QWidget* m_owner;
  params::ControllerImage m_image;
  std::optional<params::ParamBackup> m_backup;
  params::WriteVerifier m_verifier;
  IdentityProvider m_identity;
  WindowProvider m_window;
  std::optional<params::DiffList> m_last;
  QString m_lastVerification;
  QPointer<ParamDiffWindow> m_diffWindow;
  QPointer<ParamReportWindow> m_reportWindow;
};

}  // namespace zart::ui

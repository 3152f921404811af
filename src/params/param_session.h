#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QString>

#include "params/param_backup.h"
#include "params/param_diff.h"
#include "params/param_editor.h"
#include "params/param_set.h"
#include "params/write_verifier.h"
#include "settings/prompter.h"

namespace zart::link {
class ExchangeCycle;
class StatusLine;
}  // namespace zart::link

namespace zart::params {

/// The controller's parameter set and everything done to it, without any
/// window: the set, its transfers and editing, the backup taken before every
/// write, the check of a write-all, and the last differences list. The
/// parameters window and the command line both work through it. Lives for
/// the whole run.
class ParamSession {
 public:
  /// `status`: the main window's status line (the link's and the files'
  /// messages). `backupFolder`: where the safety copies go.
  ParamSession(link::ExchangeCycle& link, link::StatusLine& status, settings::Prompter& prompter,
               const QString& backupFolder = ParamBackup::DefaultFolder());
  ~ParamSession();
  ParamSession(const ParamSession&) = delete;
  ParamSession& operator=(const ParamSession&) = delete;

  ParamSet& Set() { return m_set; }
  const ParamSet& Set() const { return m_set; }
  ParamEditor& Editor() { return m_editor; }
  WriteVerifier& Verifier() { return m_verifier; }
  ParamBackup& Backup() { return m_backup; }
  settings::Prompter& Prompter() { return m_prompter; }
  link::StatusLine& Status() { return m_status; }
  void SetBackupFolder(const QString& folder) { m_backup.SetFolder(folder); }

  /// What the user is told beside the link's messages: how a transfer
  /// ended ("Не прочитано 3 параметров: …"), why an Enter sent nothing.
  void SetMessageHandler(std::function<void(const QString&)> handler) { m_message = std::move(handler); }
  /// The progress of the transfers, and of a write check's read-back
  /// (`checking`).
  void SetProgressHandler(std::function<void(const TransferProgress&, bool checking)> handler) {
    m_progress = std::move(handler);
  }
  /// A write check ended: the slots that do not match (empty when all do)
  /// and what the check found, in words.
  void SetCheckHandler(std::function<void(const DiffList& mismatches, const QString& text)> handler) {
    m_check = std::move(handler);
  }
  /// A transfer ended.
  void SetTransferHandler(std::function<void(const TransferOutcome&)> handler) { m_transfer = std::move(handler); }

  /// "Прочитать всё из ЭСППЗУ".
  void ReadAll();
  /// Before any write: the backup of what the controller holds. False:
  /// write nothing.
  bool BeforeWrite();
  /// Enter in a box: the backup, then the write of that slot.
  EditResult Enter(int slot);
  /// "Записать всё в ЭСППЗУ": the slots that cannot be written are listed
  /// first, with "Отмена" as the default and "Записать остальные" beside it;
  /// then the backup, the write-all of the rest and, with `verify`, the
  /// check. False when nothing was queued.
  bool WriteAll(bool verify = true);
  /// "Прервать": the rest of every running transfer and check leaves the
  /// queue; the boxes keep the state they reached.
  void Abort();

  TransferProgress Progress() const;
  bool Checking() const { return m_verifier.Running(); }
  /// What the last write check found ("Запись проверена: …"); empty before.
  const QString& LastVerification() const { return m_lastVerification; }
  /// The last differences list (a compare, a write check, invalid values).
  const std::optional<DiffList>& LastDifferences() const { return m_lastDifferences; }
  void SetLastDifferences(const DiffList& list) { m_lastDifferences = list; }

  /// The question WriteAll asks about `problems`.
  static settings::Message ProblemsQuestion(const std::vector<SlotProblem>& problems);

 private:
  void TransferEnded(const TransferOutcome& outcome);
  void Checked(const DiffList& mismatches, int compared, int leftOut);
  void Tell(const QString& text);
  void NotifyProgress();

  link::ExchangeCycle& m_link;
  link::StatusLine& m_status;
  settings::Prompter& m_prompter;
  ParamSet m_set;
  ParamEditor m_editor;
  WriteVerifier m_verifier;
  ParamBackup m_backup;
  // The write-all awaiting its check: its number, what it wrote, how many
  // slots it left out.
  int m_checkFor = 0;
  std::vector<std::vector<std::uint8_t>> m_written;
  int m_leftOut = 0;
  QString m_lastVerification;
  std::optional<DiffList> m_lastDifferences;
  std::function<void(const QString&)> m_message;
  std::function<void(const TransferProgress&, bool)> m_progress;
  std::function<void(const DiffList&, const QString&)> m_check;
  std::function<void(const TransferOutcome&)> m_transfer;
};

}  // namespace zart::params

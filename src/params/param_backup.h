#pragma once

#include <QDateTime>
#include <QString>

namespace zart::settings {
class Prompter;
}

namespace zart::params {

class ParamSet;

/// The safety copy taken before the tool writes to the controller: the set
/// as the controller last showed it (slots never read are left out) saved
/// as an ordinary parameter file, so that "Прочитать из файла" followed by
/// a write puts it back. Without its copy nothing is written.
class ParamBackup {
 public:
  /// `folder`: where the copies go (created when missing).
  ParamBackup(settings::Prompter& prompter, QString folder);

  /// "<documents>/ЗАРТ/Резервные копии".
  static QString DefaultFolder();
  /// "2026-12-07 14-03-22 адрес 7.ini".
  static QString FileName(const QDateTime& when, int slaveAddress);

  /// Called before every write. Saves a copy when values were read from the
  /// controller since the last one; while the copy cannot be written the
  /// user is offered Retry and Cancel. True: the write may go ahead (a copy
  /// was saved, or none was due); false: the user cancelled, write nothing.
  bool EnsureBackup(ParamSet& set, int slaveAddress, const QDateTime& when);

  /// Writes what the controller last sent to `path` (section "Parameters",
  /// keys PARk of the slots a reply covered, in slot order). False with the
  /// reason in `error`.
  static bool Save(const ParamSet& set, const QString& path, QString* error);

  QString Folder() const { return m_folder; }
  void SetFolder(const QString& folder) { m_folder = folder; }
  /// Full path of the last copy saved; empty before the first.
  QString LastBackup() const { return m_last; }

  /// Title and text of the Retry/Cancel message.
  static QString FailureTitle();
  static QString FailureText(const QString& path);

 private:
  settings::Prompter& m_prompter;
  QString m_folder;
  QString m_last;
};

}  // namespace zart::params

#include "params/param_backup.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "params/catalogue.h"
#include "params/param_files.h"
#include "params/param_set.h"
#include "settings/ini_file.h"
#include "settings/prompter.h"

namespace zart::params {

ParamBackup::ParamBackup(settings::Prompter& prompter, QString folder)
    : m_prompter(prompter), m_folder(std::move(folder)) {}

QString ParamBackup::DefaultFolder() {
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty()) documents = QDir::homePath();
  return documents + QStringLiteral(u"/ЗАРТ/Резервные копии");
}

QString ParamBackup::FileName(const QDateTime& when, int slaveAddress) {
  // Colons are not allowed in Windows file names; the time uses dashes.
  return when.toString(QStringLiteral(u"yyyy-MM-dd HH-mm-ss")) + QStringLiteral(u" адрес ") +
         QString::number(slaveAddress) + QStringLiteral(u".ini");
}

QString ParamBackup::FailureTitle() { return QStringLiteral(u"Резервная копия параметров"); }

QString ParamBackup::FailureText(const QString& path) {
  return QStringLiteral(u"Невозможно сохранить резервную копию параметров в файл ") + path + QStringLiteral(u"\r\n") +
         QStringLiteral(u"Без резервной копии запись в контроллер не выполняется.");
}

bool ParamBackup::Save(const ParamSet& set, const QString& path, QString* error) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    if (error) *error = QStringLiteral(u"Не удалось создать папку ") + QFileInfo(path).absolutePath();
    return false;
  }
  settings::IniFile ini;
  for (int k = 0; k < kSlotCount; ++k) {
    if (!set.ControllerBytes(k).empty())
      ini.Write(ParamFiles::ParamFileSection(k), ParamFiles::ParamFileKey(k), set.ControllerText(k));
  }
  return ini.Save(path, error);
}

bool ParamBackup::EnsureBackup(ParamSet& set, int slaveAddress, const QDateTime& when) {
  // Nothing read from the controller since the last copy: the last copy (or
  // the absence of any value to save) stands.
  if (!set.BackupDue()) return true;

  // Two copies within one second get a number, so the first is never lost.
  QString path = QDir(m_folder).filePath(FileName(when, slaveAddress));
  for (int n = 2; QFileInfo::exists(path); ++n) {
    path = QDir(m_folder).filePath(FileName(when, slaveAddress).chopped(4) + QStringLiteral(u" (%1).ini").arg(n));
  }
  for (;;) {
    QString error;
    if (Save(set, path, &error)) break;
    const settings::Message message{FailureTitle(), FailureText(path), settings::Message::Buttons::retry_cancel,
                                    settings::Message::Icon::error, error};
    if (m_prompter.Ask(message) != settings::Answer::retry) return false;
  }
  m_last = path;
  set.MarkBackedUp();
  return true;
}

}  // namespace zart::params

#include "settings/settings_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "settings/settings_file.h"

namespace zart::settings {

QString SettingsFolder::ForThisProgram() {
  return Choose(QCoreApplication::applicationDirPath(), ProfileFolder(), CanWriteIn);
}

QString SettingsFolder::Choose(const QString& programFolder, const QString& profileFolder,
                               const WritableProbe& writable) {
  if (writable(programFolder)) {
    return programFolder;
  }
  QDir().mkpath(profileFolder);
  const QString profileFile = QDir(profileFolder).filePath(SettingsFile::FileName());
  const QString programFile = QDir(programFolder).filePath(SettingsFile::FileName());
  if (!QFileInfo::exists(profileFile) && QFileInfo(programFile).isFile() && QFile::copy(programFile, profileFile)) {
    // The copy keeps the original's permissions; one installed read-only
    // must still take the port the user chooses.
    QFile::setPermissions(profileFile, QFile::permissions(profileFile) | QFile::WriteOwner | QFile::ReadOwner);
  }
  return profileFolder;
}

QString SettingsFolder::ProfileFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral(u"/ЗАРТ");
}

bool SettingsFolder::CanWriteIn(const QString& folder) {
  if (!QFileInfo(folder).isDir()) {
    return false;
  }
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(u"zart-probe-XXXXXX")));
  return probe.open();  // removed again as it goes out of scope
}

}  // namespace zart::settings

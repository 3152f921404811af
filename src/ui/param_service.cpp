#include "ui/param_service.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "params/param_session.h"
#include "settings/ini_file.h"
#include "ui/dialog_folders.h"
#include "ui/param_diff_window.h"
#include "ui/param_report_window.h"
#include "ui/param_window.h"
#include "ui/tool_context.h"

namespace zart::ui {
namespace {

// A parameter file as "Сравнить с файлом" reads it; false when there is no
// such file or it cannot be read.
bool LoadParamFile(const QString& path, settings::IniFile& ini) {
  return QFileInfo(path).isFile() && ini.Load(path);
}

}  // namespace

ParamService::ParamService(params::ParamSession& session, QWidget* owner) : m_session(session), m_owner(owner) {}

ParamService::~ParamService() {
  delete m_diffWindow.data();
  delete m_reportWindow.data();
}

params::ReportIdentity ParamService::Identity() const {
  params::ReportIdentity identity = m_identity ? m_identity() : params::ReportIdentity{};
  if (!identity.when.isValid()) identity.when = QDateTime::currentDateTime();
  return identity;
}

void ParamService::Checked(const params::DiffList& mismatches, const QString& text) {
  ParamWindow* window = Window();
  if (mismatches.entries.empty()) {
    // Not modal: this runs inside the exchange's tick, which must go on.
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral(u"Проверка записи"), text, QMessageBox::Ok,
                                window != nullptr ? static_cast<QWidget*>(window) : m_owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  } else {
    if (window != nullptr) window->MarkTabs(params::ParamDiff::Pages(mismatches, false));
    ShowList(mismatches);
  }
  if (window != nullptr) window->SetServiceInfo(BackupInfo());
}

void ParamService::ShowList(const params::DiffList& list) {
  m_session.SetLastDifferences(list);
  if (!m_diffWindow) {
    m_diffWindow = new ParamDiffWindow(m_owner);
    m_diffWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_diffWindow->SetActivateHandler([this](int slot) { ShowSlot(slot); });
  }
  m_diffWindow->ShowList(list);
  m_diffWindow->show();
  m_diffWindow->raise();
}

void ParamService::ShowDifferences() {
  if (m_session.LastDifferences()) {
    ShowList(*m_session.LastDifferences());
    return;
  }
  m_session.Prompter().Ask({QStringLiteral(u"Список отличий"),
                            QStringLiteral(u"Список пуст: сравните параметры с файлом кнопкой «Сравнить с файлом» "
                                           u"или сравните два файла."),
                            settings::Message::Buttons::ok, settings::Message::Icon::information});
}

void ParamService::CompareTwoFiles(const QString& first, const QString& second) {
  settings::IniFile a;
  settings::IniFile b;
  for (const auto& [path, ini] : {std::pair<const QString&, settings::IniFile&>{first, a}, {second, b}}) {
    if (!LoadParamFile(path, ini)) {
      m_session.Prompter().Ask({QStringLiteral(u"Ошибка открытия файла"),
                                QStringLiteral(u"Невозможно открыть файл ") + QFileInfo(path).fileName() +
                                    QStringLiteral(u" для чтения"),
                                settings::Message::Buttons::ok, settings::Message::Icon::warning});
      return;
    }
  }
  ShowList(params::ParamDiff::CompareFiles(a, QFileInfo(first).fileName(), b, QFileInfo(second).fileName()));
}

void ParamService::CompareTwoFiles() {
  // Parameter files are saved under any name the user types, "set1" with no
  // extension included: every file is offered first. Both dialogs open where
  // the user last took such a file (Documents at first), so the second one
  // where the first was found.
  ParamWindow* window = Window();
  if (window == nullptr) return;
  DialogFolders& folders = ToolContext::Of(window).Folders();
  const QString filter = QStringLiteral(u"Все файлы (*);;Файлы параметров (*.ini)");
  const QString first = folders.OpenFileName(window, DialogFolders::Purpose::compareFiles,
                                             QStringLiteral(u"Первый файл параметров"), filter);
  if (first.isEmpty()) return;
  const QString second = folders.OpenFileName(window, DialogFolders::Purpose::compareFiles,
                                              QStringLiteral(u"Второй файл параметров"), filter);
  if (second.isEmpty()) return;
  CompareTwoFiles(first, second);
}

void ParamService::ShowReport() {
  ParamWindow* window = Window();
  if (window == nullptr) return;
  const params::ServiceReport report = params::ServiceReport::Build(m_session.Set(), Identity());
  auto rebuild = [this](const QString& file, params::ServiceReport& out) {
    settings::IniFile ini;
    if (!LoadParamFile(file, ini)) return false;
    const params::DiffList diff = params::ParamDiff::CompareWithFile(m_session.Set(), ini, QFileInfo(file).fileName());
    out = params::ServiceReport::Build(m_session.Set(), Identity(), &diff);
    return true;
  };
  delete m_reportWindow.data();
  m_reportWindow = new ParamReportWindow(report, rebuild, window);
  m_reportWindow->setAttribute(Qt::WA_DeleteOnClose);
  m_reportWindow->show();
}

void ParamService::OpenBackupFolder() {
  QDir().mkpath(m_session.Backup().Folder());
  QDesktopServices::openUrl(QUrl::fromLocalFile(m_session.Backup().Folder()));
}

QString ParamService::BackupInfo() const {
  const params::ParamBackup& backup = m_session.Backup();
  const QString last =
      backup.LastBackup().isEmpty() ? QStringLiteral(u"ещё нет") : QFileInfo(backup.LastBackup()).fileName();
  QString info = QStringLiteral(u"Резервные копии: ") + QDir::toNativeSeparators(backup.Folder()) +
                 QStringLiteral(u"\nПоследняя копия: ") + last;
  if (!m_session.LastVerification().isEmpty()) info += QStringLiteral(u"\n") + m_session.LastVerification();
  return info;
}

void ParamService::ShowSlot(int slot) {
  if (ParamWindow* window = Window()) window->ShowSlot(slot);
}

}  // namespace zart::ui

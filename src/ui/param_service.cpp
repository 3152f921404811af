#include "ui/param_service.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "link/exchange_cycle.h"
#include "link/rx_store.h"
#include "params/catalogue.h"
#include "params/param_editor.h"
#include "settings/ini_file.h"
#include "ui/param_diff_window.h"
#include "ui/param_report_window.h"
#include "ui/param_window.h"

namespace zart::ui {
namespace {

// A parameter file as "Сравнить с файлом" reads it; false when there is no
// such file or it cannot be read.
bool LoadParamFile(const QString& path, settings::IniFile& ini) {
  return QFileInfo(path).isFile() && ini.Load(path);
}

}  // namespace

ParamService::ParamService(link::ExchangeCycle& link, const params::ParamCatalogue& catalogue,
                           params::ParamEditor& editor, settings::Prompter& prompter, QWidget* owner)
    : m_link(link),
      m_catalogue(catalogue),
      m_editor(editor),
      m_prompter(prompter),
      m_owner(owner),
      m_image(catalogue),
      m_verifier(link, catalogue, editor) {
  m_backup.emplace(m_prompter, params::ParamBackup::DefaultFolder());
  m_verifier.SetFinishedHandler(
      [this](const params::DiffList& mismatches, int compared) { Verified(mismatches, compared); });
}

ParamService::~ParamService() {
  delete m_diffWindow.data();
  delete m_reportWindow.data();
}

void ParamService::SetBackupFolder(const QString& folder) { m_backup.emplace(m_prompter, folder); }

void ParamService::OnRequestCompleted(int slot) { m_verifier.OnRequestCompleted(slot); }

bool ParamService::OnParamReply(const link::RxStore& rx, int rxCount) {
  m_image.Record(rx[1], rx, rxCount);
  return m_verifier.Consume(rx, rxCount);
}

params::ReportIdentity ParamService::Identity() const {
  params::ReportIdentity identity = m_identity ? m_identity() : params::ReportIdentity{};
  if (!identity.when.isValid()) identity.when = QDateTime::currentDateTime();
  return identity;
}

bool ParamService::BeforeWrite() {
  const bool go = m_backup->EnsureBackup(m_image, Identity().slaveAddress, QDateTime::currentDateTime());
  if (ParamWindow* window = Window()) window->SetServiceInfo(BackupInfo());
  return go;
}

void ParamService::WriteAll() {
  if (!BeforeWrite()) return;
  ParamWindow* window = Window();
  const int before = m_link.Queue().WriteIndex();
  m_editor.cmd_writeall_Click();
  const int after = m_link.Queue().WriteIndex();
  if (window == nullptr || after == before) return;  // refused: nothing to check
  std::vector<std::vector<std::uint8_t>> written(params::kSlotCount);
  for (int k = 0; k < params::kSlotCount; ++k) {
    written[static_cast<std::size_t>(k)] = m_editor.WriteAllSlotBytes(k, window->Text(k));
  }
  m_lastVerification.clear();
  m_verifier.Begin(std::move(written), (after - 1 + link::RequestQueue::kSlots) % link::RequestQueue::kSlots);
}

void ParamService::Verified(const params::DiffList& mismatches, int compared) {
  ParamWindow* window = Window();
  if (mismatches.entries.empty()) {
    m_lastVerification = params::WriteVerifier::SuccessText(compared);
    // Not modal: this runs inside the exchange's tick, which must go on.
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral(u"Проверка записи"), m_lastVerification,
                                QMessageBox::Ok, window != nullptr ? static_cast<QWidget*>(window) : m_owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
  } else {
    m_lastVerification = mismatches.summary;
    if (window != nullptr) window->MarkTabs(params::ParamDiff::Pages(m_catalogue, mismatches, false));
    ShowList(mismatches);
  }
  if (window != nullptr) window->SetServiceInfo(BackupInfo());
}

void ParamService::AfterCompare(const QString& folder, const QString& name) {
  ParamWindow* window = Window();
  settings::IniFile ini;
  if (window == nullptr || name.isEmpty() || !LoadParamFile(folder + QLatin1Char('/') + name, ini)) return;
  const params::DiffList list = params::ParamDiff::CompareWithFile(m_catalogue, *window, ini, name);
  window->MarkTabs(params::ParamDiff::Pages(m_catalogue, list, true));
  ShowList(list);
}

void ParamService::ClearMarks() {
  if (ParamWindow* window = Window()) window->MarkTabs({});
}

void ParamService::ShowList(const params::DiffList& list) {
  m_last = list;
  if (!m_diffWindow) {
    m_diffWindow = new ParamDiffWindow(m_catalogue, m_owner);
    m_diffWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_diffWindow->SetActivateHandler([this](int slot) { ShowSlot(slot); });
  }
  m_diffWindow->ShowList(list);
  m_diffWindow->show();
  m_diffWindow->raise();
}

void ParamService::ShowDifferences() {
  if (m_last) {
    ShowList(*m_last);
    return;
  }
  QMessageBox::information(Window(), QStringLiteral(u"Список отличий"),
                           QStringLiteral(u"Список пуст: сравните параметры с файлом кнопкой «Сравнить с файлом» "
                                          u"или сравните два файла."));
}

void ParamService::CompareTwoFiles(const QString& first, const QString& second) {
  settings::IniFile a;
  settings::IniFile b;
  for (const auto& [path, ini] : {std::pair<const QString&, settings::IniFile&>{first, a}, {second, b}}) {
    if (!LoadParamFile(path, ini)) {
      QMessageBox::warning(Window(), QStringLiteral(u"Ошибка открытия файла"),
                           QStringLiteral(u"Невозможно открыть файл ") + QFileInfo(path).fileName() +
                               QStringLiteral(u" для чтения"));
      return;
    }
  }
  ShowList(params::ParamDiff::CompareFiles(m_catalogue, a, QFileInfo(first).fileName(), b,
                                           QFileInfo(second).fileName()));
}

void ParamService::CompareTwoFiles() {
  const QString filter = QStringLiteral(u"Файлы параметров (*.ini);;Все файлы (*)");
  const QString first = QFileDialog::getOpenFileName(Window(), QStringLiteral(u"Первый файл параметров"),
                                                     QDir::homePath(), filter);
  if (first.isEmpty()) return;
  const QString second = QFileDialog::getOpenFileName(Window(), QStringLiteral(u"Второй файл параметров"),
                                                      QFileInfo(first).absolutePath(), filter);
  if (second.isEmpty()) return;
  CompareTwoFiles(first, second);
}

void ParamService::ShowReport() {
  ParamWindow* window = Window();
  if (window == nullptr) return;
  const params::ServiceReport report = params::ServiceReport::Build(m_catalogue, *window, Identity());
  auto rebuild = [this](const QString& file, params::ServiceReport& out) {
    ParamWindow* w = Window();
    settings::IniFile ini;
    if (w == nullptr || !LoadParamFile(file, ini)) return false;
    const params::DiffList diff = params::ParamDiff::CompareWithFile(m_catalogue, *w, ini, QFileInfo(file).fileName());
    out = params::ServiceReport::Build(m_catalogue, *w, Identity(), &diff);
    return true;
  };
  delete m_reportWindow.data();
  m_reportWindow = new ParamReportWindow(report, rebuild, window);
  m_reportWindow->setAttribute(Qt::WA_DeleteOnClose);
  m_reportWindow->show();
}

void ParamService::OpenBackupFolder() {
  QDir().mkpath(m_backup->Folder());
  QDesktopServices::openUrl(QUrl::fromLocalFile(m_backup->Folder()));
}

QString ParamService::BackupInfo() const {
  const QString last = m_backup->LastBackup().isEmpty() ? QStringLiteral(u"ещё нет")
                                                        : QFileInfo(m_backup->LastBackup()).fileName();
  QString info = QStringLiteral(u"Резервные копии: ") + QDir::toNativeSeparators(m_backup->Folder()) +
                 QStringLiteral(u"\nПоследняя копия: ") + last;
  if (!m_lastVerification.isEmpty()) info += QStringLiteral(u"\n") + m_lastVerification;
  return info;
}

void ParamService::ShowSlot(int slot) {
  if (ParamWindow* window = Window()) window->ShowSlot(slot, m_catalogue.PageOf(slot));
}

}  // namespace zart::ui

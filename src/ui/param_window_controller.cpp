#include "ui/param_window_controller.h"

#include "link/exchange_cycle.h"
#include "params/param_files.h"
#include "ui/param_window.h"

namespace zart::ui {

ParamWindowController::ParamWindowController(link::ExchangeCycle& link, QWidget* owner, link::StatusLine& status,
                                             settings::Prompter& prompter)
    : m_link(link),
      m_owner(owner),
      m_status(status),
      m_prompter(prompter),
      m_editor(link, m_catalogue, status),
      m_service(link, m_catalogue, m_editor, prompter, owner) {
  // Replies may arrive before the menu first rebuilds the catalogue (a
  // window created by the banner, a transfer still running after a close).
  m_catalogue.InitParamTables();
  m_editor.SetBoxesProvider([this]() -> params::ParamBoxes* { return EnsureWindow(); });
  m_editor.SetProgressHandler([this](const params::TransferProgress& progress) {
    if (!m_window) return;
    const bool checking = m_service.Verifier().CurrentPhase() == params::WriteVerifier::Phase::reading;
    m_window->SetProgressCaption(checking ? QStringLiteral(u"Проверка записи:") : QString());
    m_window->ShowProgress(progress);
  });
  m_service.SetWindowProvider([this] { return Window(); });
  // The read-back of a write check is taken by the service and never shown.
  m_link.SetParamHandler([this](const link::RxStore& rx) {
    if (!m_service.OnParamReply(rx, m_link.RxCount())) m_editor.HandleParamReply(rx);
  });
  m_link.SetCompletionHandler([this](int slot) {
    m_editor.OnRequestCompleted(slot);
    m_service.OnRequestCompleted(slot);
  });
}

ParamWindowController::~ParamWindowController() {
  m_link.SetParamHandler({});
  m_link.SetCompletionHandler({});
  // The window calls back into this object; it goes first.
  delete m_window.data();
}

ParamWindow* ParamWindowController::Window() const { return m_building ? nullptr : m_window.data(); }

ParamWindow* ParamWindowController::EnsureWindow() {
  if (m_window) return m_window.data();
  if (m_building) return nullptr;

  m_building = true;
  EventPump pump = m_pump;
  auto* window = new ParamWindow(m_owner, std::move(pump), m_startFolder);
  window->setAttribute(Qt::WA_DeleteOnClose);
  QPointer<ParamWindow> guard(window);
  window->Form_Load();
  m_building = false;
  if (!guard) return nullptr;  // the owner went away while events ran

  ParamWindow::Actions actions;
  actions.boxChanged = [this](int index) { m_editor.txt_par_Change(index); };
  actions.boxKeyPress = [this](int index, int key) {
    // Nothing reaches the controller without a backup of what it held.
    if (key == params::ParamEditor::kKeyEnter && !m_service.BeforeWrite()) return;
    m_editor.txt_par_KeyPress(index, key);
  };
  actions.readAll = [this] {
    m_service.ClearMarks();
    m_editor.cmd_readall_Click();
  };
  actions.writeAll = [this] { m_service.WriteAll(); };
  actions.saveFile = [this, window](const QString& folder, const QString& name) {
    params::ParamFiles files(m_catalogue, *window, m_status, m_prompter);
    return files.cmdSaveFile_Click(folder, name);
  };
  actions.readFile = [this, window](const QString& folder, const QString& name) {
    params::ParamFiles files(m_catalogue, *window, m_status, m_prompter);
    m_service.ClearMarks();
    files.cmdReadFile_Click(folder, name);
  };
  actions.compare = [this, window](const QString& folder, const QString& name) {
    params::ParamFiles files(m_catalogue, *window, m_status, m_prompter);
    m_service.ClearMarks();
    files.cmdCompare_Click(folder, name);
    m_service.AfterCompare(folder, name);
  };
  actions.showDifferences = [this] { m_service.ShowDifferences(); };
  actions.compareFiles = [this] { m_service.CompareTwoFiles(); };
  actions.report = [this] { m_service.ShowReport(); };
  actions.backupFolder = [this] { m_service.OpenBackupFolder(); };
  actions.closed = [this, window] {
    // From now on the next use builds a fresh window; this one is deleted
    // once its close has been handled.
    if (m_window == window) m_window = nullptr;
  };
  window->SetActions(std::move(actions));
  window->SetBlockedBanner(m_blocked);
  window->ShowProgress(m_editor.Progress());
  m_window = window;
  window->SetServiceInfo(m_service.BackupInfo());

  if (m_showWhenBuilt) {
    m_showWhenBuilt = false;
    ShowWindow(window);
  }
  return window;
}

void ParamWindowController::ShowWindow(ParamWindow* window) {
  window->show();
  window->raise();
  window->activateWindow();
}

void ParamWindowController::SetBlockedBanner(bool visible) {
  m_blocked = visible;
  // The latest flag: a reply handled while the window was being built may
  // have changed it.
  if (ParamWindow* window = EnsureWindow()) window->SetBlockedBanner(m_blocked);
}

void ParamWindowController::OpenParamWindow() {
  m_catalogue.InitParamTables();
  m_service.ClearMarks();
  if (m_building) {
    // The menu was used again while the window is being built (events run
    // during the build): queue the read and show the window once it is done.
    m_editor.ReadAllParams();
    m_showWhenBuilt = true;
    return;
  }
  // The window is built before the read-all is queued: the build lets the
  // exchange run, and its replies need the boxes to exist.
  ParamWindow* window = EnsureWindow();
  m_editor.ReadAllParams();
  if (window != nullptr) ShowWindow(window);
}

}  // namespace zart::ui

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
      m_session(link, status, prompter),
      m_service(m_session, owner) {
  m_service.SetWindowProvider([this] { return Window(); });
  m_link.SetParamHandler([this](const link::Reply& reply) { m_session.Editor().HandleParamReply(reply); });
  m_session.SetProgressHandler([this](const params::TransferProgress& progress, bool checking) {
    if (m_window) m_window->ShowProgress(progress, checking);
  });
  m_session.SetMessageHandler([this](const QString& text) {
    if (m_window) m_window->ShowMessage(text);
  });
  m_session.SetCheckHandler(
      [this](const params::DiffList& mismatches, const QString& text) { m_service.Checked(mismatches, text); });
}

ParamWindowController::~ParamWindowController() {
  m_link.SetParamHandler({});
  m_session.SetProgressHandler({});
  m_session.SetMessageHandler({});
  m_session.SetCheckHandler({});
  // The window calls back into this object; it goes first.
  delete m_window.data();
}

ParamWindow* ParamWindowController::Window() const { return m_window.data(); }

ParamWindow* ParamWindowController::BuildWindow() {
  auto* window = new ParamWindow(m_owner, m_session.Set(), m_startFolder);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->Form_Load();
  m_session.Set().SetListener(window);

  params::ParamSession& session = m_session;
  ParamWindow::Actions actions;
  actions.boxEdited = [&session](int index, const QString& text) { session.Editor().txt_par_Change(index, text); };
  actions.boxKeyPress = [this, &session](int index, int key) {
    if (key != params::ParamEditor::kKeyEnter) return;
    session.Enter(index);
    if (m_window) m_window->SetServiceInfo(m_service.BackupInfo());
  };
  actions.readAll = [this, &session] {
    if (m_window) m_window->MarkTabs({});
    session.ReadAll();
  };
  actions.writeAll = [this, &session] {
    session.WriteAll();
    if (m_window) m_window->SetServiceInfo(m_service.BackupInfo());
  };
  actions.abort = [&session] { session.Abort(); };
  actions.saveFile = [this, &session](const QString& folder, const QString& name) {
    params::ParamFiles files(session.Set(), m_status, m_prompter);
    return files.cmdSaveFile_Click(folder, name);
  };
  actions.readFile = [this, &session](const QString& folder, const QString& name) {
    params::ParamFiles files(session.Set(), m_status, m_prompter);
    if (m_window) m_window->MarkTabs({});
    const std::optional<params::DiffList> invalid = files.cmdReadFile_Click(folder, name);
    // Values the controller cannot take are listed, with the reason, and
    // will not be written.
    if (invalid && !invalid->entries.empty()) {
      m_service.ShowList(*invalid);
      if (m_window) m_window->ShowMessage(invalid->summary);
    }
  };
  actions.compare = [this, &session](const QString& folder, const QString& name) {
    params::ParamFiles files(session.Set(), m_status, m_prompter);
    if (m_window) m_window->MarkTabs({});
    const std::optional<params::DiffList> list = files.cmdCompare_Click(folder, name);
    if (!list) return;
    if (m_window) m_window->MarkTabs(params::ParamDiff::Pages(*list, true));
    m_service.ShowList(*list);
  };
  actions.showDifferences = [this] { m_service.ShowDifferences(); };
  actions.compareFiles = [this] { m_service.CompareTwoFiles(); };
  actions.report = [this] { m_service.ShowReport(); };
  actions.backupFolder = [this] { m_service.OpenBackupFolder(); };
  actions.closed = [this, window] {
    // From now on the next use builds a fresh window; this one is deleted
    // once its close has been handled, and the set starts afresh with it.
    if (m_window != window) return;
    m_session.Set().SetListener(nullptr);
    m_session.Set().ResetTexts();
    m_window = nullptr;
  };
  window->SetActions(std::move(actions));
  window->SetBlockedBanner(m_blocked);
  window->ShowProgress(m_session.Progress(), m_session.Checking());
  window->SetServiceInfo(m_service.BackupInfo());
  m_window = window;
  return window;
}

void ParamWindowController::SetBlockedBanner(bool visible) {
  m_blocked = visible;
  if (m_window) m_window->SetBlockedBanner(m_blocked);
}

void ParamWindowController::OpenParamWindow() {
  if (m_window) m_window->MarkTabs({});
  m_session.Editor().ReadAllParams();
  ParamWindow* window = m_window ? m_window.data() : BuildWindow();
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace zart::ui

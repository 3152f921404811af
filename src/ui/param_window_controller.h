#pragma once

#include <QPointer>
#include <QString>

#include "monitor/param_window_hook.h"
#include "params/param_session.h"
#include "ui/param_service.h"

class QWidget;

namespace zart::link {
class ExchangeCycle;
class StatusLine;
}  // namespace zart::link
namespace zart::settings {
class Prompter;
}

namespace zart::ui {

class ParamWindow;

/// Owns the parameter session for the whole run and the parameters
/// window's life: the window is built when the menu first asks for it (never
/// inside an exchange tick, and without letting events run), shows the
/// session's parameter set, and is discarded with its values when the user
/// closes it; the next opening builds it again with fresh boxes.
///
/// The constructor wires the exchange to the session: every reply with
/// function code 100/101 that no transfer took goes to
/// ParamEditor::HandleParamReply.
class ParamWindowController : public monitor::ParamWindowHook {
 public:
  ParamWindowController(link::ExchangeCycle& link, QWidget* owner, link::StatusLine& status,
                        settings::Prompter& prompter);
  ~ParamWindowController() override;
  ParamWindowController(const ParamWindowController&) = delete;
  ParamWindowController& operator=(const ParamWindowController&) = delete;

  /// The banner's state; the window shows it whenever it exists.
  void SetBlockedBanner(bool visible) override;
  /// Queues the read-all and shows the window, building it when there is none.
  void OpenParamWindow() override;

  /// The window, or nullptr while there is none.
  ParamWindow* Window() const;
  params::ParamSession& Session() { return m_session; }
  params::ParamEditor& Editor() { return m_session.Editor(); }
  /// The differences list, the report, the write check's outcome.
  ParamService& Service() { return m_service; }

  /// Where the file chooser of the next window opens (default: home).
  void SetStartFolder(const QString& folder) { m_startFolder = folder; }

 private:
  ParamWindow* BuildWindow();

  link::ExchangeCycle& m_link;
  QWidget* m_owner;
  link::StatusLine& m_status;
  settings::Prompter& m_prompter;
  params::ParamSession m_session;
  ParamService m_service;
  QString m_startFolder;
  QPointer<ParamWindow> m_window;
  bool m_blocked = false;
};

}  // namespace zart::ui

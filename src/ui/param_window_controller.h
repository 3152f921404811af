#pragma once

#include <functional>

#include <QPointer>

#include "monitor/param_window_hook.h"
#include "params/catalogue.h"
#include "params/param_editor.h"
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

/// Owns the parameter catalogue and editor and the parameters window's life:
/// the window is created hidden on first use (a status reply's banner, a
/// parameter reply, the menu), shown modeless by the menu and discarded with
/// its values when the user closes it; the next use builds it again.
///
/// The constructor wires the exchange to the editor: replies with function
/// code 100/101 go to ParamEditor::HandleParamReply and every answered
/// request to ParamEditor::OnRequestCompleted (it replaces any param or
/// completion handler set on the exchange before).
class ParamWindowController : public monitor::ParamWindowHook {
 public:
  using EventPump = std::function<void()>;

  ParamWindowController(link::ExchangeCycle& link, QWidget* owner, link::StatusLine& status,
                        settings::Prompter& prompter);
  ~ParamWindowController() override;
  ParamWindowController(const ParamWindowController&) = delete;
  ParamWindowController& operator=(const ParamWindowController&) = delete;

  /// Creates the window hidden when there is none, then sets its banner.
  void SetBlockedBanner(bool visible) override;
  /// Rebuilds the catalogue, queues the read-all, shows the window.
  void OpenParamWindow() override;

  /// The window, or nullptr while there is none (or it is being built).
  ParamWindow* Window() const;
  params::ParamEditor& Editor() { return m_editor; }
  const params::ParamCatalogue& Catalogue() const { return m_catalogue; }
  /// Backups, the write check, differences lists and the report.
  ParamService& Service() { return m_service; }

  /// Replaces QCoreApplication::processEvents for the builders (benchmarks
  /// measure the gaps between its calls); empty restores the default.
  void SetEventPump(EventPump pump) { m_pump = std::move(pump); }
  /// Where the file chooser of the next window opens (default: home).
  void SetStartFolder(const QString& folder) { m_startFolder = folder; }

 private:
  /// The window, created (hidden) when there is none. nullptr while it is
  /// being built: a reply that arrives from the events run during the build
  /// finds no boxes yet.
  ParamWindow* EnsureWindow();
  void ShowWindow(ParamWindow* window);

  link::ExchangeCycle& m_link;
  QWidget* m_owner;
  link::StatusLine& m_status;
  settings::Prompter& m_prompter;
  params::ParamCatalogue m_catalogue;
  params::ParamEditor m_editor;
  ParamService m_service;
  EventPump m_pump;
  QString m_startFolder;
  QPointer<ParamWindow> m_window;
  bool m_building = false;
  bool m_showWhenBuilt = false;
  bool m_blocked = false;
};

}  // namespace zart::ui

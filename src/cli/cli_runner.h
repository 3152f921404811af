#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QJsonObject>
#include <QString>

#include "cli/cli_link_view.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_prompter.h"
#include "cli/link_factory.h"
#include "params/param_editor.h"

namespace zart::link {
class ExchangeCycle;
class ExchangeTimer;
class LinkReconnector;
}  // namespace zart::link
namespace zart::params {
class ParamSession;
}

namespace zart::cli {

/// What the program around the commands provides.
struct CliEnvironment {
  /// The folder whose "тп.ini" is read when --settings-dir is not given.
  QString settingsFolder;
  /// Standard error is a terminal: the progress of a transfer is shown.
  bool stderrIsTerminal = false;
  /// True once the user pressed Ctrl+C (monitor and scan end then).
  std::function<bool()> interrupted;
};

/// Runs one command of zart-cli to its end and gives its exit code. The
/// exchange runs as in the window program, driven by its timer in the
/// event loop of the QCoreApplication the caller has made; the commands
/// wait on their requests' outcomes, never longer than the silence limit
/// without an answer.
class CliRunner {
 public:
  /// With no valid reply for this long a command gives up (exit code 4),
  /// well inside the 15 s a silent controller may hold a script.
  static constexpr int kSilenceMs = 10000;
  /// The reply time-out of a network link, when neither --timeout nor the
  /// settings file's ReplyTimeout says otherwise.
  static constexpr int kNetworkReplyMs = 1000;
  /// The wait for each address of a scan through a gateway.
  static constexpr int kNetworkScanReplyMs = 300;

  CliRunner(CliOptions options, CliEnvironment environment, LinkFactory& links, CliOutput& out);
  ~CliRunner();
  CliRunner(const CliRunner&) = delete;
  CliRunner& operator=(const CliRunner&) = delete;

  int Run();

 private:
  enum class End { done, silent, noLink, interrupted, timeUp };

  int RunStatus();
  int RunRead();
  int RunWrite();
  int RunCompare();
  int RunDiff();
  int RunScan();
  int RunMonitor();

  /// The settings, the port object and the exchange; nothing is opened.
  int BuildLink();
  /// Opens the port (a network link: waits for the connection).
  int OpenLink();
  /// Sends the first request and starts the exchange's timer, once the
  /// port is open; called by Wait, after a command has queued its work.
  void StartExchange();
  /// Runs the event loop until `done` holds, the user interrupts, `limitMs`
  /// pass (when >= 0), or, with `watchSilence`, no valid reply comes for the
  /// silence limit. A network link that could never be connected ends it
  /// at once.
  End Wait(const std::function<bool()>& done, bool watchSilence, qint64 limitMs = -1);
  /// The exit code and message for a wait that did not end in `done`.
  int LinkFailure(End end, const QString& what);
  /// Reads all parameters into the session's set; 0 or the exit code
  /// after the failure was reported.
  int ReadAllParams(const QString& what);
  params::ParamSession& Session();

  /// The result document's common fields.
  QJsonObject Document(int exitCode) const;
  /// Reports an error (stderr, and the JSON document) and returns `code`.
  int Fail(int code, const QString& error, QJsonObject extra = {});
  /// "адрес 7, COM5".
  QString Where() const;

  CliOptions m_options;
  CliEnvironment m_env;
  LinkFactory& m_links;
  CliOutput& m_out;
  CliPrompter m_prompter;
  CliLinkView m_view;
  std::unique_ptr<NamedPort> m_port;
  std::unique_ptr<link::ExchangeCycle> m_cycle;
  std::unique_ptr<link::ExchangeTimer> m_timer;
  std::unique_ptr<link::LinkReconnector> m_reconnector;
  std::unique_ptr<params::ParamSession> m_session;
  std::optional<params::TransferOutcome> m_outcome;
  /// What the progress line calls the transfer under way.
  QString m_phase;
  int m_replyTimeoutMs = 0;
  int m_silenceMs = kSilenceMs;
  bool m_everOpen = false;
  bool m_started = false;
};

}  // namespace zart::cli

#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace zart::cli {

enum class Command { none, status, read, write, compare, diff, scan, monitor };

/// What the command line asks for. Options may stand before or after the
/// command; "--" ends the options, so a file may start with "-".
struct CliOptions {
  Command command = Command::none;
  /// read, write, compare: one file; diff: two.
  QStringList files;

  /// "--port": "COM5", a device path, "rtuovertcp://HOST:PORT" or
  /// "tcp://HOST:PORT"; empty: the link of the settings file.
  QString port;
  /// "--address", 0..127; the design's 7 when not given.
  std::optional<int> address;
  /// "--parity" as given ("E", "N" or "O"); the settings file's otherwise.
  QString parity;
  /// "--fast": fast exchange (also on when the settings file says so).
  bool fast = false;
  /// "--timeout": the reply time-out of a network link, and the wait for
  /// each address of a scan, ms.
  std::optional<int> timeoutMs;
  /// "--settings-dir": the folder holding тп.ini instead of the program's.
  QString settingsDir;
  bool json = false;
  bool quiet = false;
  /// "--verbose": the link's messages on stderr as they change.
  bool verbose = false;

  // write
  bool noBackup = false;
  bool noVerify = false;
  /// "--skip-invalid": values the controller cannot take are left out and
  /// the rest is written; without it such a file is refused.
  bool skipInvalid = false;
  QString backupDir;

  // scan
  int from = 0;
  int to = 127;

  // monitor
  std::optional<int> seconds;
  bool csv = false;

  bool help = false;
  bool version = false;
};

/// The options, or why the command line is wrong (in Russian).
struct ParseResult {
  CliOptions options;
  QString error;
  bool ok() const { return error.isEmpty(); }
};

/// Reads the arguments that follow the program's name.
ParseResult ParseCommandLine(const QStringList& args);

/// "status", "read", …: the command's name as typed.
QString CommandName(Command command);

/// The Russian help: usage, options, commands, exit codes, examples.
QString HelpText();

}  // namespace zart::cli

#pragma once

#include <functional>

#include <QString>

namespace zart::settings {

/// Where "тп.ini" is kept, one rule for every program of the tool. Beside
/// the executable whenever that folder can be written (a portable copy, a
/// build folder); otherwise, for an installed program, in the user's
/// configuration folder, into which the first start copies a "тп.ini" found
/// beside the executable, so a file an administrator put there is not lost.
class SettingsFolder {
 public:
  /// Tells whether a new file can be created in a folder.
  using WritableProbe = std::function<bool(const QString& folder)>;

  /// The folder for this process: Choose() over the executable's folder
  /// and ProfileFolder(), probed with CanWriteIn(). Needs a
  /// QCoreApplication. Hand the result to SettingsFile.
  static QString ForThisProgram();

  /// `programFolder` when `writable` says it can be written. Otherwise
  /// `profileFolder`, created when missing; when it holds no "тп.ini" yet and
  /// `programFolder` does, that file is copied there and made writable for
  /// the user. A profile folder that cannot be created is still returned:
  /// the settings file then reports its refused write as it does anywhere.
  static QString Choose(const QString& programFolder, const QString& profileFolder,
                        const WritableProbe& writable);

  /// The user's own folder for the tool: "ЗАРТ" in the system's folder for
  /// configuration files (~/.config on Linux, %LOCALAPPDATA% on Windows),
  /// the place QStandardPaths::AppConfigLocation names for a program of
  /// that name, whatever the executable is called.
  static QString ProfileFolder();

  /// True when a file can be created in `folder` now. Found by creating one
  /// and removing it: permission bits do not bind root, and on Windows the
  /// access rules of "Program Files" show in no attribute.
  static bool CanWriteIn(const QString& folder);
};

}  // namespace zart::settings

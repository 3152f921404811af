#pragma once

#include <QDialog>
#include <QString>

namespace zart::ui {

/// "О программе": the tool's name and version (the project's version and
/// the commit it was built from), the Qt it runs on with Qt's licence, and
/// the settings file in use, whose path can be selected and copied.
class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  /// `settingsPath`: the full path of the "тп.ini" this run reads and writes.
  explicit AboutDialog(const QString& settingsPath, QWidget* parent = nullptr);

  /// "0.2" or, for a build from a git checkout, "0.2 (сборка d35ffb7)".
  static QString VersionText();
};

}  // namespace zart::ui

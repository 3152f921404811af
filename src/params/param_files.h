#pragma once

#include <QString>

namespace zart::link {
class StatusLine;
}
namespace zart::settings {
class Prompter;
}

namespace zart::params {

class ParamBoxes;
class ParamCatalogue;

/// Saving, loading and comparing the whole parameter set as an INI file
/// (section "Parameters", keys PAR0..PAR1207). Each operation reads the file
/// once and writes it at most once, atomically.
class ParamFiles {
 public:
  ParamFiles(const ParamCatalogue& catalogue, ParamBoxes& boxes, link::StatusLine& status,
             settings::Prompter& prompter);

  static QString ParamFileSection(int slot);
  static QString ParamFileKey(int slot);

  /// `folder` is the folder list's current folder, `name` the text of Text3.
  /// Returns true when a file was written (the file list should refresh).
  bool cmdSaveFile_Click(const QString& folder, const QString& name);
  void cmdReadFile_Click(const QString& folder, const QString& name);
  void cmdCompare_Click(const QString& folder, const QString& name);

  /// The full path of the last operation's file.
  QString param_file_path() const { return m_path; }

 private:
  const ParamCatalogue& m_catalogue;
  ParamBoxes& m_boxes;
  link::StatusLine& m_status;
  settings::Prompter& m_prompter;
  QString m_path;
};

}  // namespace zart::params

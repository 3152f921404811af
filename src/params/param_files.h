#pragma once

#include <QString>

namespace zart::link {
class StatusLine;
}
namespace zart::settings {
class IniFile;
class Prompter;
}  // namespace zart::settings

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

  /// "Parameters" for every slot.
  static QString ParamFileSection(int slot);
  /// "PAR" and the slot in decimal: PAR0 .. PAR1207.
  static QString ParamFileKey(int slot);

  /// "Сохранить в файл". `folder` is the folder list's current folder,
  /// `name` the text of Text3. Returns true when the file was written (the
  /// file list should refresh); only then do the boxes turn COLOR_FROM_FILE.
  bool cmdSaveFile_Click(const QString& folder, const QString& name);
  /// "Прочитать из файла": file values into the boxes, absent keys marked.
  void cmdReadFile_Click(const QString& folder, const QString& name);
  /// "Сравнить с файлом": colours each box by whether the file agrees.
  void cmdCompare_Click(const QString& folder, const QString& name);

  /// The full path of the last operation's file.
  QString param_file_path() const { return m_path; }

 private:
  static QString PathOf(const QString& folder, const QString& name);
  /// A bare file name: not empty, no folder or drive part, nothing the
  /// system would drop or refuse.
  static bool IsPlainName(const QString& name);
  /// A file of exactly that name is in the folder.
  static bool FileExists(const QString& folder, const QString& name);
  /// The "для чтения" message when the file is not there.
  bool CheckReadable(const QString& folder, const QString& name);
  /// Loads the file, offering Retry/Cancel while it cannot be read.
  bool LoadForReading(const QString& name, settings::IniFile& ini);

  const ParamCatalogue& m_catalogue;
  ParamBoxes& m_boxes;
  link::StatusLine& m_status;
  settings::Prompter& m_prompter;
  QString m_path;
};

}  // namespace zart::params

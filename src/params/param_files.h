#pragma once

#include <optional>

#include <QString>

#include "params/param_diff.h"

namespace zart::link {
class StatusLine;
}
namespace zart::settings {
class IniFile;
class Prompter;
}  // namespace zart::settings

namespace zart::params {

class ParamSet;

/// Saving, loading and comparing the whole parameter set as an INI file
/// (section "Parameters", keys PAR0..PAR1207). Each operation reads the file
/// once and writes it at most once, atomically.
class ParamFiles {
 public:
  ParamFiles(ParamSet& set, link::StatusLine& status, settings::Prompter& prompter);

  /// "Parameters" for every slot.
  static QString ParamFileSection(int slot);
  /// "PAR" and the slot in decimal: PAR0 .. PAR1207.
  static QString ParamFileKey(int slot);

  /// "Сохранить в файл". `folder` is the folder list's current folder,
  /// `name` the text of Text3. Returns true when the file was written (the
  /// file list should refresh); only then do the boxes turn COLOR_FROM_FILE.
  /// While some boxes hold no value (nothing read, loaded or typed) the user
  /// is asked first; the default is not to save.
  bool cmdSaveFile_Click(const QString& folder, const QString& name);
  /// "Прочитать из файла": file values into the boxes, absent keys marked.
  /// A file holding none of the parameters is refused and nothing changes.
  /// The list of loaded values that cannot be written to the controller
  /// (empty when all can); nothing when the file was not loaded.
  std::optional<DiffList> cmdReadFile_Click(const QString& folder, const QString& name);
  /// "Сравнить с файлом": colours each box by whether the file agrees; the
  /// differences list, nothing when the file could not be read.
  std::optional<DiffList> cmdCompare_Click(const QString& folder, const QString& name);

  /// Writes the whole set to `path` as "Сохранить в файл" does, without
  /// questions: false with the reason in `error`. The boxes' colours stay.
  static bool Save(const ParamSet& set, const QString& path, QString* error);
  /// Loads `path` into the set as "Прочитать из файла" does; false with the
  /// reason when it cannot be read or holds no parameter.
  static bool Load(ParamSet& set, const QString& path, SlotSet* loaded, QString* error);
  /// "Файл site.ini не содержит параметров".
  static QString NoParametersText(const QString& name);

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
  /// The "не содержит параметров" message when the file holds no key of ours.
  bool CheckHoldsParameters(const QString& name, const settings::IniFile& ini);

  ParamSet& m_set;
  link::StatusLine& m_status;
  settings::Prompter& m_prompter;
  QString m_path;
};

}  // namespace zart::params

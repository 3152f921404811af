#pragma once

#include <vector>

#include <QString>

#include "params/catalogue.h"

namespace zart::settings {
class IniFile;
}

namespace zart::params {

class ParamBoxes;

/// Why a slot is on a differences list.
enum class DiffState {
  differs,  ///< both sides hold a value and the values differ
  missing,  ///< the file has no value for the slot
  notRead,  ///< written, but the controller's value could not be read back
};

/// One slot on a differences list: its value on the left (the box, the
/// first file, what was written) and on the right (the file, the second
/// file, what was read back).
struct DiffEntry {
  int slot = 0;
  QString left;
  QString right;
  DiffState state = DiffState::differs;
};

/// A differences list with the captions its window shows.
struct DiffList {
  QString title;         ///< window title: "Отличия от файла site.ini"
  QString summary;       ///< "Сравнение с файлом site.ini: отличий 12, нет в файле 3"
  QString leftCaption;   ///< column header of `left`
  QString rightCaption;  ///< column header of `right`
  std::vector<DiffEntry> entries;  ///< in slot order
  int differs = 0;
  int missing = 0;  ///< missing and not read back
};

/// Builds differences lists by the rules of "Сравнить с файлом": a text
/// slot matches only the identical text, a number matches when both texts
/// read as the same number ("12,5" and "12.5 "); a key absent from the file
/// (or holding the marker "default") is missing.
class ParamDiff {
 public:
  /// True when the two texts stand for the same value of the slot.
  static bool SameValue(const ParamCatalogue& catalogue, int slot, const QString& a, const QString& b);
  /// The file's value of the slot, or a null string when it is missing.
  static QString FileValue(const settings::IniFile& file, int slot);

  /// The boxes against a parameter file named `fileName`.
  static DiffList CompareWithFile(const ParamCatalogue& catalogue, const ParamBoxes& boxes,
                                  const settings::IniFile& file, const QString& fileName);
  /// Two parameter files; a slot missing from either is missing.
  static DiffList CompareFiles(const ParamCatalogue& catalogue, const settings::IniFile& first,
                               const QString& firstName, const settings::IniFile& second, const QString& secondName);

  /// The pages holding at least one entry of the list (each page once, in
  /// the order of the list); with `differsOnly` missing entries do not count.
  static std::vector<PageRef> Pages(const ParamCatalogue& catalogue, const DiffList& list, bool differsOnly);

  /// "отличается", "нет в файле", "не прочитано".
  static QString StateText(DiffState state);
};

}  // namespace zart::params

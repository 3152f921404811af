#pragma once

#include <vector>

#include <QString>

#include "params/catalogue.h"
#include "params/eeprom_requests.h"

namespace zart::settings {
class IniFile;
}

namespace zart::params {

class ParamSet;

/// Why a slot is on a differences list.
enum class DiffState {
  differs,  ///< both sides hold a value and the values differ
  missing,  ///< the file has no value for the slot
  notRead,  ///< written, but the controller's value could not be read back
  invalid,  ///< the value cannot be written to the controller (see `note`)
};

/// One slot on a differences list: its value on the left (the box, the
/// first file, what was written) and on the right (the file, the second
/// file, what was read back).
struct DiffEntry {
  int slot = 0;
  QString left;
  QString right;
  DiffState state = DiffState::differs;
  /// Why, in words, where the state alone does not say it: "«abc» — не
  /// число; допустимо 0 … 5100".
  QString note;
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
  int invalid = 0;
};

/// Builds differences lists by the rules of "Сравнить с файлом": a text
/// slot matches only the identical text (as the file holds it once
/// written), a number matches when both texts read as the same number
/// ("12,5" and "12.5 "); a key absent from the file (or holding the marker
/// "default") is missing.
class ParamDiff {
 public:
  /// True when the two texts stand for the same value of the slot. A text
  /// that is no number matches a number never, only the same text.
  static bool SameValue(int slot, const QString& a, const QString& b);
  /// True when the box text `shown` matches `fileValue` as read from a file:
  /// the box is taken as the file would hold it once written.
  static bool MatchesFile(int slot, const QString& shown, const QString& fileValue);
  /// The file's value of the slot, or a null string when it is missing.
  static QString FileValue(const settings::IniFile& file, int slot);

  /// The set against a parameter file named `fileName`.
  static DiffList CompareWithFile(const ParamSet& set, const settings::IniFile& file, const QString& fileName);
  /// Two parameter files; a slot missing from either is missing.
  static DiffList CompareFiles(const settings::IniFile& first, const QString& firstName,
                               const settings::IniFile& second, const QString& secondName);
  /// The slots of `loaded` whose text from file `fileName` cannot be
  /// written to the controller: not a number, or outside the slot's range.
  static DiffList InvalidValues(const ParamSet& set, const SlotSet& loaded, const QString& fileName);

  /// The pages holding at least one entry of the list (each page once, in
  /// the order of the list); with `differsOnly` missing entries do not count.
  static std::vector<PageRef> Pages(const DiffList& list, bool differsOnly);

  /// "отличается", "нет в файле", "не прочитано", "недопустимо".
  static QString StateText(DiffState state);
};

}  // namespace zart::params

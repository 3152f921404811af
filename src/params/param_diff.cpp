#include "params/param_diff.h"

#include <algorithm>

#include "params/conversions.h"
#include "params/param_files.h"
#include "params/param_set.h"
#include "settings/ini_file.h"

namespace zart::params {

namespace {

// The marker "Сравнить с файлом" reads a missing key as; a value that
// happens to be this word counts as missing there too.
QString MissingMarker() { return QStringLiteral("default"); }

template <typename LeftOf, typename RightOf, typename Same>
void Collect(DiffList& list, LeftOf left, RightOf right, Same same) {
  list.entries.reserve(64);
  for (int k = 0; k < kSlotCount; ++k) {
    const QString a = left(k);
    const QString b = right(k);
    if (a.isNull() || b.isNull()) {
      list.entries.push_back({k, a, b, DiffState::missing, {}});
      ++list.missing;
    } else if (!same(k, a, b)) {
      list.entries.push_back({k, a, b, DiffState::differs, {}});
      ++list.differs;
    }
  }
}

QString Counts(const DiffList& list) {
  return QStringLiteral(u"отличий %1, нет в файле %2").arg(list.differs).arg(list.missing);
}

}  // namespace

bool ParamDiff::SameValue(int slot, const QString& a, const QString& b) {
  if (kCatalogue.IsText(slot)) return a == b;
  const auto x = ReadNumber(a);
  const auto y = ReadNumber(b);
  // "abc" reads as 0 by the numbers' rule; it must not pass for a 0.
  if (!x || !y) return a.trimmed() == b.trimmed();
  return *x == *y;
}

bool ParamDiff::MatchesFile(int slot, const QString& shown, const QString& fileValue) {
  // The box as the file would hold it: a just-saved text with edge blanks,
  // control bytes or a line break compares equal, a change of letter case not.
  return SameValue(slot, kCatalogue.IsText(slot) ? settings::IniFile::StoredValue(shown) : shown, fileValue);
}

QString ParamDiff::FileValue(const settings::IniFile& file, int slot) {
  const QString value = file.Read(ParamFiles::ParamFileSection(slot), ParamFiles::ParamFileKey(slot), MissingMarker());
  return value == MissingMarker() ? QString() : value;
}

DiffList ParamDiff::CompareWithFile(const ParamSet& set, const settings::IniFile& file, const QString& fileName) {
  DiffList list;
  list.title = QStringLiteral(u"Отличия от файла ") + fileName;
  list.leftCaption = QStringLiteral(u"Значение в окне");
  list.rightCaption = QStringLiteral(u"Значение в файле");
  // A box always holds a text; only the file side can be missing.
  Collect(
      list, [&set](int k) { return set.Text(k).isNull() ? QStringLiteral("") : set.Text(k); },
      [&file](int k) { return FileValue(file, k); }, MatchesFile);
  list.summary = QStringLiteral(u"Сравнение с файлом ") + fileName + QStringLiteral(u": ") + Counts(list);
  return list;
}

DiffList ParamDiff::CompareFiles(const settings::IniFile& first, const QString& firstName,
                                 const settings::IniFile& second, const QString& secondName) {
  DiffList list;
  list.title = QStringLiteral(u"Отличия файла ") + secondName + QStringLiteral(u" от файла ") + firstName;
  list.leftCaption = firstName;
  list.rightCaption = secondName;
  Collect(
      list, [&first](int k) { return FileValue(first, k); }, [&second](int k) { return FileValue(second, k); },
      SameValue);
  list.summary = QStringLiteral(u"Сравнение файлов ") + firstName + QStringLiteral(u" и ") + secondName +
                 QStringLiteral(u": ") + Counts(list);
  return list;
}

DiffList ParamDiff::InvalidValues(const ParamSet& set, const SlotSet& loaded, const QString& fileName) {
  DiffList list;
  list.title = QStringLiteral(u"Недопустимые значения в файле ") + fileName;
  list.leftCaption = QStringLiteral(u"Значение в файле");
  list.rightCaption = QStringLiteral(u"Допустимо");
  for (int k = 0; k < kSlotCount; ++k) {
    if (!loaded.test(static_cast<std::size_t>(k)) || kCatalogue.IsText(k)) continue;
    const TextProblem problem = EncodeSlotText(k, set.Text(k)).problem;
    if (problem == TextProblem::none) continue;
    list.entries.push_back({k, set.Text(k), RangeText(k), DiffState::invalid, ProblemText(k, set.Text(k), problem)});
    ++list.invalid;
  }
  list.summary = QStringLiteral(u"Файл ") + fileName +
                 QStringLiteral(u": недопустимых значений %1; они не будут записаны в контроллер").arg(list.invalid);
  return list;
}

std::vector<PageRef> ParamDiff::Pages(const DiffList& list, bool differsOnly) {
  std::vector<PageRef> pages;
  for (const DiffEntry& e : list.entries) {
    if (differsOnly && e.state == DiffState::missing) continue;
    const PageRef page = kCatalogue.PageOf(e.slot);
    if (std::find(pages.begin(), pages.end(), page) == pages.end()) pages.push_back(page);
  }
  return pages;
}

QString ParamDiff::StateText(DiffState state) {
  switch (state) {
    case DiffState::differs:
      return QStringLiteral(u"отличается");
    case DiffState::missing:
      return QStringLiteral(u"нет в файле");
    case DiffState::notRead:
      return QStringLiteral(u"не прочитано");
    case DiffState::invalid:
      return QStringLiteral(u"недопустимо");
  }
  return QString();
}

}  // namespace zart::params

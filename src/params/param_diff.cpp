#include "params/param_diff.h"

#include <algorithm>

#include "params/conversions.h"
#include "params/param_boxes.h"
#include "params/param_files.h"
#include "settings/ini_file.h"

namespace zart::params {

namespace {

// The marker "Сравнить с файлом" reads a missing key as; a value that
// happens to be this word counts as missing there too.
QString MissingMarker() { return QStringLiteral("default"); }

template <typename LeftOf, typename RightOf>
void Collect(const ParamCatalogue& catalogue, DiffList& list, LeftOf left, RightOf right) {
  list.entries.reserve(64);
  for (int k = 0; k < kSlotCount; ++k) {
    const QString a = left(k);
    const QString b = right(k);
    if (a.isNull() || b.isNull()) {
      list.entries.push_back({k, a, b, DiffState::missing});
      ++list.missing;
    } else if (!ParamDiff::SameValue(catalogue, k, a, b)) {
      list.entries.push_back({k, a, b, DiffState::differs});
      ++list.differs;
    }
  }
}

QString Counts(const DiffList& list) {
  return QStringLiteral(u"отличий %1, нет в файле %2").arg(list.differs).arg(list.missing);
}

}  // namespace

bool ParamDiff::SameValue(const ParamCatalogue& catalogue, int slot, const QString& a, const QString& b) {
  if (catalogue.IsText(slot)) return a == b;
  return ParseNumber(a) == ParseNumber(b);
}

QString ParamDiff::FileValue(const settings::IniFile& file, int slot) {
  const QString value = file.Read(ParamFiles::ParamFileSection(slot), ParamFiles::ParamFileKey(slot), MissingMarker());
  return value == MissingMarker() ? QString() : value;
}

DiffList ParamDiff::CompareWithFile(const ParamCatalogue& catalogue, const ParamBoxes& boxes,
                                    const settings::IniFile& file, const QString& fileName) {
  DiffList list;
  list.title = QStringLiteral(u"Отличия от файла ") + fileName;
  list.leftCaption = QStringLiteral(u"Значение в окне");
  list.rightCaption = QStringLiteral(u"Значение в файле");
  // A box always holds a text; only the file side can be missing.
  Collect(
      catalogue, list, [&boxes](int k) { return boxes.Text(k).isNull() ? QStringLiteral("") : boxes.Text(k); },
      [&file](int k) { return FileValue(file, k); });
  list.summary = QStringLiteral(u"Сравнение с файлом ") + fileName + QStringLiteral(u": ") + Counts(list);
  return list;
}

DiffList ParamDiff::CompareFiles(const ParamCatalogue& catalogue, const settings::IniFile& first,
                                 const QString& firstName, const settings::IniFile& second,
                                 const QString& secondName) {
  DiffList list;
  list.title = QStringLiteral(u"Отличия файла ") + secondName + QStringLiteral(u" от файла ") + firstName;
  list.leftCaption = firstName;
  list.rightCaption = secondName;
  Collect(
      catalogue, list, [&first](int k) { return FileValue(first, k); },
      [&second](int k) { return FileValue(second, k); });
  list.summary = QStringLiteral(u"Сравнение файлов ") + firstName + QStringLiteral(u" и ") + secondName +
                 QStringLiteral(u": ") + Counts(list);
  return list;
}

std::vector<PageRef> ParamDiff::Pages(const ParamCatalogue& catalogue, const DiffList& list, bool differsOnly) {
  std::vector<PageRef> pages;
  for (const DiffEntry& e : list.entries) {
    if (differsOnly && e.state == DiffState::missing) continue;
    const PageRef page = catalogue.PageOf(e.slot);
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
  }
  return QString();
}

}  // namespace zart::params

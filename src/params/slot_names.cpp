#include "params/slot_names.h"

#include <algorithm>
#include <array>

#include <QRegularExpression>
#include <QStringList>

#include "params/function_pages.h"

namespace zart::params {

namespace {

constexpr std::array<const char16_t*, kChannelColumns> kChannelColumnNames{
    u"Имя", u"РЗН", u"Тип", u"НПИ", u"ВПИ", u"Код упр.", u"П1", u"П2", u"Авария"};
constexpr std::array<const char16_t*, kInputColumns> kInputColumnNames{u"Имя", u"РЗН", u"Тип", u"Код упр."};

// The word that tells the boxes of one row apart. Three-box rows carry a
// column header ("    П1             П2            Авария", "на старте
// после останова ..."), whose columns are separated by runs of blanks; the
// two-box rows name their boxes in the caption itself, around a "|"
// ("Т масла вкл | откл  ЭН", "Канал Больше|Меньше").
QString ColumnWord(const FunctionRow& row, int box) {
  const QString header = row.ColumnHeader().trimmed();
  if (!header.isEmpty()) {
    static const QRegularExpression kGap(QStringLiteral(u"\\s{2,}"));
    const QStringList words = header.split(kGap);
    return box < words.size() ? words[box] : QString();
  }
  const QString caption = row.Caption();
  const int bar = caption.indexOf(u'|');
  if (bar < 0) return QString();
  if (box == 0) return caption.left(bar).trimmed().section(u' ', -1);
  return caption.mid(bar + 1).trimmed().section(u' ', 0, 0);
}

QString FunctionSlotName(const SlotPlace& place) {
  const FunctionPage& page = kFunctionPages[place.page];
  const FunctionRow& row = page.rows[place.row];
  QString name = row.Caption().trimmed();
  // "Выходной токовый канал (1-8)" stands twice on its page.
  const auto same = std::count_if(page.rows.begin(), page.rows.begin() + place.row,
                                  [&row](const FunctionRow& other) { return other.caption == row.caption; });
  if (same > 0) name += QStringLiteral(u" №%1").arg(same + 1);
  if (row.BoxCount() > 1) {
    if (name.endsWith(u':')) name.chop(1);
    name += QStringLiteral(u": ") + ColumnWord(row, place.column);
  }
  return name;
}

}  // namespace

QString ChannelColumnName(int column) {
  return column >= 0 && column < kChannelColumns ? QString::fromUtf16(kChannelColumnNames[static_cast<std::size_t>(column)])
                                                 : QString();
}

QString InputColumnName(int column) {
  return column >= 0 && column < kInputColumns ? QString::fromUtf16(kInputColumnNames[static_cast<std::size_t>(column)])
                                               : QString();
}

QString TabCaption(PageRef page) {
  const int n = page.index + 1;
  switch (page.group) {
    case PageGroup::function:
      return page.index >= 0 && page.index < kFunctionPageCount
                 ? kFunctionPages[static_cast<std::size_t>(page.index)].TabCaption()
                 : QString();
    case PageGroup::channel:
      return QStringLiteral(u"Экр%1").arg(n);
    case PageGroup::logic:
      return page.index < kMajorityBlocks ? QStringLiteral(u"М%1").arg(n)
                                          : QStringLiteral(u"НЕ%1").arg(page.index - kMajorityBlocks + 1);
    case PageGroup::relay:
      return QStringLiteral(u"%1-%2").arg(kRelaysPerPage * page.index + 1).arg(kRelaysPerPage * page.index + kRelaysPerPage);
    case PageGroup::input:
      return QString::number(n);
  }
  return QString();
}

QString PageGroupName(PageGroup group) {
  switch (group) {
    case PageGroup::function:
      return QString();
    case PageGroup::channel:
      return QStringLiteral(u"Каналы");
    case PageGroup::logic:
      return QStringLiteral(u"Логика");
    case PageGroup::relay:
      return QStringLiteral(u"Реле");
    case PageGroup::input:
      return QStringLiteral(u"Входы");
  }
  return QString();
}

QString SlotPageTitle(int slot) {
  const PageRef page = kCatalogue.PageOf(slot);
  const QString group = PageGroupName(page.group);
  return group.isEmpty() ? TabCaption(page) : group + QStringLiteral(u" · ") + TabCaption(page);
}

QString SlotName(int slot) {
  if (slot < 0 || slot >= kSlotCount) return QString();
  const SlotPlace& p = kCatalogue.PlaceOf(slot);
  const int number = kRowsPerScreen * p.page + p.row + 1;  // channel or input on its screen
  switch (p.group) {
    case PageGroup::function:
      return FunctionSlotName(p);
    case PageGroup::channel:
      return QStringLiteral(u"Канал %1 · ").arg(number) + ChannelColumnName(p.column);
    case PageGroup::input:
      return QStringLiteral(u"Вход %1 · ").arg(number) + InputColumnName(p.column);
    case PageGroup::logic:
      if (p.page >= kMajorityBlocks)
        return QStringLiteral(u"Н%1 · вход %2").arg(p.page - kMajorityBlocks + 1).arg(p.column + 1);
      return p.column == 0 ? QStringLiteral(u"М%1 · порог").arg(p.page + 1)
                           : QStringLiteral(u"М%1 · вход %2").arg(p.page + 1).arg(p.column);
    case PageGroup::relay:
      return QStringLiteral(u"Реле %1").arg(kRelaysPerPage * p.page + p.column + 1);
  }
  return QString();
}

}  // namespace zart::params

#include "params/slot_names.h"

#include <algorithm>
#include <array>

#include <QRegularExpression>
#include <QStringList>

#include "params/function_pages.h"

namespace zart::params {

namespace {

constexpr int kChannelColumns = 9;
constexpr int kMajorityBlockSlots = 9;
constexpr int kNotBlockInputs = 8;

const std::array<QString, kChannelColumns>& ChannelColumns() {
  static const std::array<QString, kChannelColumns> names = {
      QStringLiteral(u"Имя"), QStringLiteral(u"РЗН"),      QStringLiteral(u"Тип"),
      QStringLiteral(u"НПИ"), QStringLiteral(u"ВПИ"),      QStringLiteral(u"Код упр."),
      QStringLiteral(u"П1"),  QStringLiteral(u"П2"),       QStringLiteral(u"Авария")};
  return names;
}

const std::array<QString, 4>& InputColumns() {
  static const std::array<QString, 4> names = {QStringLiteral(u"Имя"), QStringLiteral(u"РЗН"),
                                               QStringLiteral(u"Тип"), QStringLiteral(u"Код упр.")};
  return names;
}

// The word that tells the boxes of one row apart. Three-box rows carry a
// column header ("    П1             П2            Авария", "на старте
// после останова ..."), whose columns are separated by runs of blanks; the
// two-box rows name their boxes in the caption itself, around a "|"
// ("Т масла вкл | откл  ЭН", "Канал Больше|Меньше").
QString ColumnWord(const FunctionRow& row, std::size_t box) {
  if (!row.columnHeader.trimmed().isEmpty()) {
    static const QRegularExpression kGap(QStringLiteral(u"\\s{2,}"));
    const QStringList words = row.columnHeader.trimmed().split(kGap);
    return box < static_cast<std::size_t>(words.size()) ? words[static_cast<int>(box)] : QString();
  }
  const int bar = row.caption.indexOf(u'|');
  if (bar < 0) return QString();
  if (box == 0) return row.caption.left(bar).trimmed().section(u' ', -1);
  return row.caption.mid(bar + 1).trimmed().section(u' ', 0, 0);
}

QString FunctionSlotName(int slot) {
  for (const FunctionPage& page : FunctionPages()) {
    for (std::size_t r = 0; r < page.rows.size(); ++r) {
      const FunctionRow& row = page.rows[r];
      const auto box = std::find(row.boxSlots.begin(), row.boxSlots.end(), slot);
      if (box == row.boxSlots.end()) continue;
      QString name = row.caption.trimmed();
      // "Выходной токовый канал (1-8)" stands twice on its page.
      const auto same = std::count_if(page.rows.begin(), page.rows.begin() + static_cast<std::ptrdiff_t>(r),
                                      [&row](const FunctionRow& other) { return other.caption == row.caption; });
      if (same > 0) name += QStringLiteral(u" №%1").arg(same + 1);
      if (row.boxSlots.size() > 1) {
        if (name.endsWith(u':')) name.chop(1);
        name += QStringLiteral(u": ") + ColumnWord(row, static_cast<std::size_t>(box - row.boxSlots.begin()));
      }
      return name;
    }
  }
  return QString();
}

}  // namespace

QString TabCaption(PageRef page) {
  const int n = page.index + 1;
  switch (page.group) {
    case PageGroup::function: {
      const auto& pages = FunctionPages();
      return page.index >= 0 && page.index < static_cast<int>(pages.size())
                 ? pages[static_cast<std::size_t>(page.index)].tabCaption
                 : QString();
    }
    case PageGroup::channel:
      return QStringLiteral(u"Экр%1").arg(n);
    case PageGroup::logic:
      return page.index < 15 ? QStringLiteral(u"М%1").arg(n) : QStringLiteral(u"НЕ%1").arg(page.index - 14);
    case PageGroup::relay:
      return QStringLiteral(u"%1-%2").arg(8 * page.index + 1).arg(8 * page.index + 8);
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

QString SlotPageTitle(const ParamCatalogue& catalogue, int slot) {
  const PageRef page = catalogue.PageOf(slot);
  const QString group = PageGroupName(page.group);
  return group.isEmpty() ? TabCaption(page) : group + QStringLiteral(u" · ") + TabCaption(page);
}

QString SlotName(int slot) {
  if (slot < 0 || slot >= kSlotCount) return QString();
  if (slot < kChannelFirstSlot) return FunctionSlotName(slot);
  if (slot < kLogicFirstSlot) {
    const int k = slot - kChannelFirstSlot;
    return QStringLiteral(u"Канал %1 · ").arg(k % kChannels + 1) +
           ChannelColumns()[static_cast<std::size_t>(k / kChannels)];
  }
  if (slot < kNotFirstSlot) {
    const int k = slot - kLogicFirstSlot;
    const int block = k / kMajorityBlockSlots + 1;
    const int pos = k % kMajorityBlockSlots;
    return pos == 0 ? QStringLiteral(u"М%1 · порог").arg(block)
                    : QStringLiteral(u"М%1 · вход %2").arg(block).arg(pos);
  }
  if (slot < kRelayFirstSlot) {
    const int k = slot - kNotFirstSlot;
    return QStringLiteral(u"Н%1 · вход %2").arg(k / kNotBlockInputs + 1).arg(k % kNotBlockInputs + 1);
  }
  if (slot < kInputFirstSlot) return QStringLiteral(u"Реле %1").arg(slot - kRelayFirstSlot + 1);
  const int k = slot - kInputFirstSlot;
  return QStringLiteral(u"Вход %1 · ").arg(k % kInputs + 1) + InputColumns()[static_cast<std::size_t>(k / kInputs)];
}

}  // namespace zart::params

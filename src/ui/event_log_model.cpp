#include "ui/event_log_model.h"

#include <algorithm>

#include <QBrush>
#include <QColor>

#include "monitor/event_log.h"

namespace zart::ui {

EventLogModel::EventLogModel(const monitor::EventLog& log, QObject* parent) : QAbstractTableModel(parent), m_log(log) {
  Rebuild();
}

void EventLogModel::SetNames(const monitor::SignalNames* names) {
  m_names = names;
  if (m_search.isEmpty()) {
    if (!m_rows.empty()) emit dataChanged(index(0, kSubject), index(rowCount() - 1, kSubject));
  } else {
    Rebuild();
  }
}

bool EventLogModel::Passes(std::uint64_t number) const {
  const monitor::EventEntry* e = m_log.Find(number);
  if (e == nullptr || (m_groups & static_cast<unsigned>(monitor::EventLog::GroupOf(e->kind))) == 0) return false;
  if (m_search.isEmpty()) return true;
  // The time is the dearest text to make (a time zone lookup): only a
  // search with a digit in it can find anything there.
  if (monitor::EventLog::SubjectText(*e, m_names).contains(m_search, Qt::CaseInsensitive) ||
      m_log.ChangeText(*e).contains(m_search, Qt::CaseInsensitive) ||
      monitor::EventLog::KindText(e->kind).contains(m_search, Qt::CaseInsensitive))
    return true;
  return m_searchHasDigit && monitor::EventLog::TimeText(*e).contains(m_search);
}

void EventLogModel::Rebuild() {
  beginResetModel();
  m_rows.clear();
  m_next = m_log.Total();
  for (std::uint64_t n = m_log.OldestNumber(); n < m_next; ++n) {
    if (Passes(n)) m_rows.push_back(n);
  }
  endResetModel();
}

void EventLogModel::Pull() {
  // Entries overwritten in the ring leave from the top.
  const std::uint64_t oldest = m_log.OldestNumber();
  const auto gone = static_cast<int>(std::lower_bound(m_rows.begin(), m_rows.end(), oldest) - m_rows.begin());
  if (gone > 0) {
    beginRemoveRows(QModelIndex(), 0, gone - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + gone);
    endRemoveRows();
  }
  std::vector<std::uint64_t> fresh;
  for (std::uint64_t n = std::max(m_next, oldest); n < m_log.Total(); ++n) {
    if (Passes(n)) fresh.push_back(n);
  }
  m_next = m_log.Total();
  if (fresh.empty()) return;
  const int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(fresh.size()) - 1);
  m_rows.insert(m_rows.end(), fresh.begin(), fresh.end());
  endInsertRows();
}

void EventLogModel::SetGroups(unsigned groups) {
  if (groups == m_groups) return;
  m_groups = groups;
  Rebuild();
}

void EventLogModel::SetSearch(const QString& text) {
  const QString search = text.trimmed();
  if (search == m_search) return;
  m_search = search;
  m_searchHasDigit = std::any_of(search.begin(), search.end(), [](QChar c) { return c.isDigit(); });
  Rebuild();
}

int EventLogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int EventLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QStringList EventLogModel::RowTexts(int row) const {
  const monitor::EventEntry* e = m_log.Find(EntryNumber(row));
  return e != nullptr ? m_log.Texts(*e, m_names) : QStringList(kColumnCount, QString());
}

QVariant EventLogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount) return {};
  const monitor::EventEntry* e = m_log.Find(EntryNumber(index.row()));
  if (e == nullptr) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    switch (index.column()) {
      case kTime:
        return monitor::EventLog::TimeText(*e);
      case kKind:
        return monitor::EventLog::KindText(e->kind);
      case kSubject:
        return monitor::EventLog::SubjectText(*e, m_names);
      default:
        return m_log.ChangeText(*e);
    }
  }
  // The link lost and the initial state stand out from the stream.
  if (role == Qt::ForegroundRole && e->kind == monitor::EventKind::link && !e->On())
    return QBrush(QColor(0xB0, 0x00, 0x00));
  if (role == Qt::ForegroundRole && e->Initial()) return QBrush(QColor(0x60, 0x60, 0x60));
  return {};
}

QVariant EventLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  switch (section) {
    case kTime:
      return QStringLiteral(u"Время");
    case kKind:
      return QStringLiteral(u"Вид");
    case kSubject:
      return QStringLiteral(u"Что");
    case kChange:
      return QStringLiteral(u"Изменение");
    default:
      return {};
  }
}

}  // namespace zart::ui

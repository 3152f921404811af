#pragma once

#include <cstdint>
#include <vector>

#include <QAbstractTableModel>
#include <QString>

namespace zart::monitor {
class EventLog;
class SignalNames;
}  // namespace zart::monitor

namespace zart::ui {

/// The rows of the event log window: the log's entries that pass the group
/// filter and the search, oldest first. Rows hold only entry numbers; the
/// texts are made for the rows on screen, so a model over the whole ring
/// is built in a few milliseconds.
class EventLogModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kTime, kKind, kSubject, kChange, kColumnCount };
  /// Every group (see monitor::EventGroup).
  static constexpr unsigned kAllGroups = 0x1F;

  EventLogModel(const monitor::EventLog& log, QObject* parent = nullptr);

  /// Signals are named from `names` (null: numbers only).
  void SetNames(const monitor::SignalNames* names);
  /// Appends the entries recorded since the last call and drops those that
  /// have left the log's ring.
  void Pull();
  /// The groups shown (a mask of monitor::EventGroup values).
  void SetGroups(unsigned groups);
  unsigned Groups() const { return m_groups; }
  /// Shows only entries whose texts contain `text` (any case); empty: all.
  void SetSearch(const QString& text);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  /// The texts of visible row `row`, and its entry number.
  QStringList RowTexts(int row) const;
  std::uint64_t EntryNumber(int row) const { return m_rows[static_cast<std::size_t>(row)]; }

 private:
  bool Passes(std::uint64_t number) const;
  void Rebuild();

  const monitor::EventLog& m_log;
  const monitor::SignalNames* m_names = nullptr;
  std::vector<std::uint64_t> m_rows;  // entry numbers shown, ascending
  std::uint64_t m_next = 0;           // first entry not yet pulled
  unsigned m_groups = kAllGroups;
  QString m_search;
  bool m_searchHasDigit = false;
};

}  // namespace zart::ui

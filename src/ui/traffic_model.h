#pragma once

#include <cstdint>
#include <deque>

#include <QAbstractTableModel>
#include <QString>

namespace zart::link {
class FrameRecorder;
}
namespace zart::params {
class FrameDescription;
}

namespace zart::ui {

/// The rows of the traffic monitor: two per exchange (the request and what
/// came back), formatted when they are pulled from the recorder and at most
/// kMaxRows of them, the oldest leaving first, so that hours at ten frames
/// a second stay light.
class TrafficModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kTime, kDirection, kFrame, kMeaning, kVerdict, kColumnCount };
  static constexpr int kMaxRows = 20000;

  TrafficModel(const link::FrameRecorder& recorder, const params::FrameDescription& description,
               QObject* parent = nullptr);

  /// Formats the exchanges judged since the last call and appends them.
  void Pull();
  /// Drops every row; exchanges recorded later appear from now on.
  void Clear();
  /// Hides status reads and heartbeats that were answered properly.
  void SetHideIdle(bool hide);
  bool HideIdle() const { return m_hideIdle; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  /// The cells of a visible row, for copying and saving.
  QStringList RowTexts(int row) const;

 private:
  struct Row {
    QString cells[kColumnCount];
    bool idle = false;
    bool failed = false;
  };
  const Row& Visible(int row) const;
  void AppendRow(Row row);
  void RebuildVisible();

  const link::FrameRecorder& m_recorder;
  const params::FrameDescription& m_description;
  std::deque<Row> m_rows;
  std::uint64_t m_rowBase = 0;  // global number of m_rows.front()
  std::deque<std::uint64_t> m_visible;  // global numbers of the rows shown
  std::uint64_t m_nextExchange = 1;
  bool m_hideIdle = false;
};

}  // namespace zart::ui

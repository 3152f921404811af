#pragma once

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace zart::link {
class FrameRecorder;
}
namespace zart::params {
class FrameDescription;
}

namespace zart::ui {

class TrafficModel;

/// "Монитор обмена": every exchange on the line, decoded, with the counters
/// of the link. It reads the exchange's recorder four times a second while
/// it is shown, and does nothing while it is hidden.
class TrafficWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 250;

  TrafficWindow(link::FrameRecorder& recorder, const params::FrameDescription& description,
                QWidget* parent = nullptr);

  TrafficModel& Model() { return *m_model; }
  /// Pulls new exchanges and refreshes the counters now (also done by the timer).
  void Refresh();
  /// The visible rows (or only the selected ones) as text with a header
  /// line: tab-separated, or CSV (';', quoted).
  QString RowsText(bool csv, bool selectedOnly) const;
  /// What "Сохранить…" writes: all visible rows as text, or as a CSV
  /// document (byte-order mark, ";").
  QByteArray FileBytes(bool csv) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void UpdateCounters();
  void CopyRows();
  void SaveRows();
  void ClearAll();

  link::FrameRecorder& m_recorder;
  TrafficModel* m_model = nullptr;
  QTableView* m_table = nullptr;
  QLabel* m_counters = nullptr;
  QPushButton* m_pause = nullptr;
  QCheckBox* m_hideIdle = nullptr;
  QTimer m_timer;
};

}  // namespace zart::ui

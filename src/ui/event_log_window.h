#pragma once

#include <functional>

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace zart::monitor {
class EventLog;
class SignalNames;
}  // namespace zart::monitor

namespace zart::ui {

class EventLogModel;

/// "Журнал событий": the session's events, newest at the bottom, filtered by
/// group and searched as the user types; the rows can be copied, saved as
/// CSV, and every entry written to a file as it happens. It reads the log
/// four times a second while shown and does nothing while hidden.
class EventLogWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 250;
  /// Turns the live file on (asking for it) or off; true when it is on after.
  using FileToggle = std::function<bool(bool on)>;

  EventLogWindow(const monitor::EventLog& log, const monitor::SignalNames* names, FileToggle toggle,
                 QWidget* parent = nullptr);

  EventLogModel& Model() { return *m_model; }
  QTableView* View() const { return m_table; }
  /// Pulls new entries and refreshes the counts now (also done by the timer).
  void Refresh();
  /// The live file's state as the tool has it (a failed write turns it off).
  void SetFileOn(bool on);
  void SetNames(const monitor::SignalNames* names);
  /// The visible rows (or only the selected ones) with a header line, as
  /// tab-separated text.
  QString RowsText(bool selectedOnly) const;
  /// The visible rows as a CSV document; false with a message in `error`.
  bool SaveCsv(const QString& path, QString* error) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyGroups();
  void UpdateCounts();
  void SaveRows();

  const monitor::EventLog& m_log;
  const monitor::SignalNames* m_names;
  FileToggle m_toggle;
  EventLogModel* m_model = nullptr;
  QTableView* m_table = nullptr;
  QLabel* m_counts = nullptr;
  QLineEdit* m_search = nullptr;
  QPushButton* m_file = nullptr;
  QCheckBox* m_groups[5] = {};
  int m_changeWidth = 0;  // the least width of the last column
  QTimer m_timer;
  QTimer m_searchDelay;
};

}  // namespace zart::ui

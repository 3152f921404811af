#pragma once

#include <QObject>

#include "monitor/csv_format.h"
#include "ui/dialog_folders.h"

class QWidget;

namespace zart::monitor {
class EventLog;
class SignalNames;
}  // namespace zart::monitor

namespace zart::ui {

/// What the tool's own windows share for the whole run besides the link:
/// where their file dialogs open, how CSV files are written, the session's
/// event log and the signal names. One lives on the main window (the top
/// of every window's owner chain); each window finds it from itself, so the
/// windows built by other parts of the tool need no extra wiring.
class ToolContext : public QObject {
  Q_OBJECT

 public:
  /// The context of `window`'s top-level owner (not null), created there on
  /// first use. For the tool's dialogs, e.g. "Сравнить два файла…":
  /// `ToolContext::Of(owner).Folders().OpenFileName(owner,
  /// DialogFolders::Purpose::compareFiles, title, filter)`.
  static ToolContext& Of(const QWidget* window);

  DialogFolders& Folders() { return m_folders; }
  /// The CSV format for the user's locale, or with a point when the user
  /// chose it for scripts (тп.ini, section "PC config", CsvDecimalPoint=1).
  monitor::CsvFormat Csv() const;
  void SetCsvDecimalPoint(bool point) { m_csvPoint = point; }
  bool CsvDecimalPoint() const { return m_csvPoint; }

  /// The session's event log and the signal names; null until set.
  const monitor::EventLog* Events() const { return m_events; }
  void SetEvents(const monitor::EventLog* events) { m_events = events; }
  const monitor::SignalNames* Names() const { return m_names; }
  void SetNames(const monitor::SignalNames* names) { m_names = names; }

 private:
  explicit ToolContext(QObject* owner) : QObject(owner) {}

  DialogFolders m_folders;
  bool m_csvPoint = false;
  const monitor::EventLog* m_events = nullptr;
  const monitor::SignalNames* m_names = nullptr;
};

}  // namespace zart::ui

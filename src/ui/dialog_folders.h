#pragma once

#include <array>

#include <QString>

class QWidget;

namespace zart::ui {

/// Where the file dialogs of the tool's own windows open: in the user's
/// Documents the first time, then, for the rest of the run, in the folder a
/// file was last chosen in for the same purpose (a folder that has gone
/// since, a pulled stick, falls back to Documents).
class DialogFolders {
 public:
  enum class Purpose {
    csvLog,         ///< "Журнал в файл…"
    report,         ///< the report's PDF and HTML
    trafficExport,  ///< the traffic monitor's "Сохранить…"
    diffExport,     ///< the differences list's CSV
    compareFiles,   ///< "Сравнить два файла…", the report's comparison file
    eventLog,       ///< the event log's CSV and its live file
    signalNames,    ///< the signal names file
  };

  /// `documents`: the user's Documents folder (DefaultDocuments() normally).
  explicit DialogFolders(QString documents = DefaultDocuments());

  /// The system's Documents folder; the home folder where there is none.
  static QString DefaultDocuments();

  /// The folder a dialog for `purpose` opens in.
  QString StartFolder(Purpose purpose) const;
  /// StartFolder() joined with a suggested file name (none: the folder).
  QString StartPath(Purpose purpose, const QString& fileName = QString()) const;
  /// Remembers the folder of `chosenPath`; an empty path (a cancelled
  /// dialog) changes nothing.
  void Remember(Purpose purpose, const QString& chosenPath);

  /// QFileDialog::getSaveFileName in StartPath(purpose, suggestedName);
  /// remembers the choice. Empty when cancelled.
  QString SaveFileName(QWidget* parent, Purpose purpose, const QString& title, const QString& suggestedName,
                       const QString& filter, QString* selectedFilter = nullptr);
  /// QFileDialog::getOpenFileName in StartFolder(purpose); remembers the
  /// choice. Empty when cancelled.
  QString OpenFileName(QWidget* parent, Purpose purpose, const QString& title, const QString& filter);

 private:
  static constexpr std::size_t kPurposes = 7;

  QString m_documents;
  std::array<QString, kPurposes> m_last;
};

}  // namespace zart::ui

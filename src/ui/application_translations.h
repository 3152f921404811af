#pragma once

#include <QStringList>
#include <QTranslator>

namespace zart::ui {

/// Qt's own Russian translations, installed for the run, so that what Qt
/// itself draws (the details button of a message box, the edit menu of a
/// text box) speaks Russian like the rest of the tool. Needs a
/// QCoreApplication; removed again when destroyed.
class ApplicationTranslations {
 public:
  /// Looks in Folders() for Qt's catalogue and installs the first found.
  ApplicationTranslations();
  ~ApplicationTranslations();
  ApplicationTranslations(const ApplicationTranslations&) = delete;
  ApplicationTranslations& operator=(const ApplicationTranslations&) = delete;

  /// True when a catalogue was found and installed.
  bool Loaded() const { return m_loaded; }
  /// The file installed; empty when none.
  QString File() const { return m_qt.filePath(); }

  /// Where the catalogues are looked for, in this order: "translations"
  /// beside the executable (a build that ships its own Qt), then Qt's
  /// translations folder (Debian: package qt6-translations-l10n).
  static QStringList Folders();

 private:
  QTranslator m_qt;
  bool m_loaded = false;
};

}  // namespace zart::ui

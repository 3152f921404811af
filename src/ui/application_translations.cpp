#include "ui/application_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace zart::ui {

ApplicationTranslations::ApplicationTranslations() {
  // The tool is Russian whatever the system's language, so the catalogue is
  // chosen by a fixed locale rather than the user's. Only Qt's base module is
  // wanted: the serial port adapter recognises a lock by Qt SerialPort's
  // English text.
  const QLocale russian(QLocale::Russian, QLocale::Russia);
  for (const QString& folder : Folders()) {
    for (const char16_t* name : {u"qtbase", u"qt"}) {
      if (m_qt.load(russian, QString::fromUtf16(name), QStringLiteral("_"), folder)) {
        m_loaded = QCoreApplication::installTranslator(&m_qt);
        return;
      }
    }
  }
}

ApplicationTranslations::~ApplicationTranslations() {
  if (m_loaded) QCoreApplication::removeTranslator(&m_qt);
}

QStringList ApplicationTranslations::Folders() {
  QStringList folders;
  const QString own = QCoreApplication::applicationDirPath();
  if (!own.isEmpty()) folders << own + QStringLiteral("/translations");
  folders << QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  return folders;
}

}  // namespace zart::ui

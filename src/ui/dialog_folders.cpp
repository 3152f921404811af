#include "ui/dialog_folders.h"

#include <utility>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace zart::ui {

DialogFolders::DialogFolders(QString documents) : m_documents(std::move(documents)) {}

QString DialogFolders::DefaultDocuments() {
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  // A desktop without a Documents folder (a fresh Linux account) gets the
  // home folder, as the dialogs did before.
  return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString DialogFolders::StartFolder(Purpose purpose) const {
  const QString& last = m_last[static_cast<std::size_t>(purpose)];
  if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
  return QFileInfo(m_documents).isDir() ? m_documents : QDir::homePath();
}

QString DialogFolders::StartPath(Purpose purpose, const QString& fileName) const {
  const QString folder = StartFolder(purpose);
  return fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
}

void DialogFolders::Remember(Purpose purpose, const QString& chosenPath) {
  if (chosenPath.isEmpty()) return;
  m_last[static_cast<std::size_t>(purpose)] = QFileInfo(chosenPath).absolutePath();
}

QString DialogFolders::SaveFileName(QWidget* parent, Purpose purpose, const QString& title,
                                    const QString& suggestedName, const QString& filter, QString* selectedFilter) {
  const QString path =
      QFileDialog::getSaveFileName(parent, title, StartPath(purpose, suggestedName), filter, selectedFilter);
  Remember(purpose, path);
  return path;
}

QString DialogFolders::OpenFileName(QWidget* parent, Purpose purpose, const QString& title, const QString& filter) {
  const QString path = QFileDialog::getOpenFileName(parent, title, StartFolder(purpose), filter);
  Remember(purpose, path);
  return path;
}

}  // namespace zart::ui

#include "ui/file_chooser.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace zart::ui {
namespace {

constexpr int kDataPath = Qt::UserRole;

void SetBase(QLineEdit* box, const QColor& colour) {
  QPalette palette = box->palette();
  palette.setColor(QPalette::Base, colour);
  box->setPalette(palette);
}

}  // namespace

FileChooser::FileChooser(QWidget* frm_prg, const TwipScale& twips, std::vector<QWidget*> fileButtons,
                         const QString& startFolder, RootsProvider roots)
    : QObject(frm_prg), m_twips(twips), m_fileButtons(std::move(fileButtons)), m_roots(std::move(roots)) {
  if (!m_roots) m_roots = CurrentRoots;

  m_drive2 = new QComboBox(frm_prg);
  m_drive2->setGeometry(m_twips.Rect(21720, 5040, 2295, 315));
  m_dir2 = new QListWidget(frm_prg);
  m_dir2->setGeometry(m_twips.Rect(21720, 5400, 2295, 3240));
  m_text3 = new QLineEdit(frm_prg);
  m_text3->setGeometry(m_twips.Rect(24120, 5040, 2895, 405));
  m_text2 = new QLineEdit(m_pattern, frm_prg);
  m_text2->setGeometry(m_twips.Rect(24120, 5520, 2895, 375));
  m_file2 = new QListWidget(frm_prg);
  m_file2->setGeometry(m_twips.Rect(24120, 6000, 2895, 2625));
  m_label38 = new QLabel(QStringLiteral(u"Диск недоступен"), frm_prg);
  m_label38->setAlignment(Qt::AlignCenter);
  m_label38->setGeometry(m_twips.Rect(21720, 7080, 5295, 375));
  m_label38->setVisible(false);

  // Activated, not index-changed: picking the same root again retries a
  // drive that could not be read a moment ago.
  connect(m_drive2, &QComboBox::activated, this, [this](int index) { Drive2_Change(index); });
  connect(m_dir2, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { FolderActivated(item); });
  connect(m_file2, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { File2_Click(item->text()); });
  connect(m_file2, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item != nullptr) File2_Click(item->text());
  });
  connect(m_text2, &QLineEdit::textChanged, this, [this](const QString& text) { Text2_Change(text); });

  const std::vector<FileRoot> found = m_roots();
  m_drive1Count = static_cast<int>(found.size());
  FillDrives(found);
  const QString start = QDir::cleanPath(startFolder);
  int index = RootIndexOf(m_drive2Roots, start);
  if (index < 0) index = 0;
  if (!m_drive2Roots.empty()) {
    m_drive2->setCurrentIndex(index);
    const QString root = m_drive2Roots[static_cast<std::size_t>(index)].path;
    ShowPlace(root, IsPlaceReadable(start) && RootIndexOf(m_drive2Roots, start) >= 0 ? start : root);
  } else {
    SetUsable(false);
  }

  m_timer1.setInterval(kPollMs);
  connect(&m_timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
  m_timer1.start();
}

QString FileChooser::FileName() const { return m_text3->text(); }

void FileChooser::FillDrives(const std::vector<FileRoot>& roots) {
  m_drive2Roots = roots;
  m_drive2->clear();
  for (const FileRoot& root : roots) m_drive2->addItem(root.label, root.path);
}

void FileChooser::Drive2_Change(int index) {
  if (index < 0 || index >= static_cast<int>(m_drive2Roots.size())) return;
  const QString root = m_drive2Roots[static_cast<std::size_t>(index)].path;
  ShowPlace(root, root);
}

void FileChooser::ShowPlace(const QString& root, const QString& folder) {
  m_root = root;
  if (!IsPlaceReadable(folder)) {
    // A drive without a medium, a vanished mount, a folder without access:
    // the chooser gives way to "Диск недоступен" until another root is picked.
    SetUsable(false);
    return;
  }
  m_folder = QDir::cleanPath(folder);
  SetUsable(true);
  FillFolders();
  RefreshFiles();
}

void FileChooser::SetUsable(bool usable) {
  m_readable = usable;
  m_dir2->setVisible(usable);
  m_file2->setVisible(usable);
  m_text2->setVisible(usable);
  m_text3->setVisible(usable);
  m_label38->setVisible(!usable);
  for (QWidget* button : m_fileButtons) button->setEnabled(usable);
}

void FileChooser::FillFolders() {
  m_dir2->clear();
  // The folder list shows the way from the root down to the current folder,
  // each step one level further in, then the current folder's subfolders.
  QStringList steps;
  QString path = m_root;
  steps << path;
  const QString rest = m_folder.mid(m_root.size());
  for (const QString& part : rest.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    path = QDir::cleanPath(path + QLatin1Char('/') + part);
    steps << path;
  }
  int level = 0;
  for (const QString& step : steps) {
    const QString name = level == 0 ? QDir::toNativeSeparators(step) : QFileInfo(step).fileName();
    auto* item = new QListWidgetItem(QString(2 * level, QLatin1Char(' ')) + name, m_dir2);
    item->setData(kDataPath, step);
    if (step == m_folder) {
      QFont bold = item->font();
      bold.setBold(true);
      item->setFont(bold);
      m_dir2->setCurrentItem(item);
    }
    ++level;
  }
  const QString indent(2 * level, QLatin1Char(' '));
  for (const QString& sub : ListFolders(m_folder)) {
    auto* item = new QListWidgetItem(indent + sub, m_dir2);
    item->setData(kDataPath, QDir::cleanPath(m_folder + QLatin1Char('/') + sub));
  }
}

void FileChooser::FolderActivated(QListWidgetItem* item) {
  if (item == nullptr) return;
  const QString path = item->data(kDataPath).toString();
  if (path != m_folder) Dir2_Change(path);
}

void FileChooser::Dir2_Change(const QString& folder) {
  // A folder that cannot be entered leaves the list where it was.
  if (!IsPlaceReadable(folder)) return;
  m_folder = QDir::cleanPath(folder);
  FillFolders();
  RefreshFiles();
}

void FileChooser::RefreshFiles() {
  m_file2->clear();
  if (!m_readable) return;
  m_file2->addItems(ListFiles(m_folder, FilePatternFilters(m_pattern)));
}

void FileChooser::File2_Click(const QString& name) { m_text3->setText(name); }

void FileChooser::Text2_Change(const QString& text) {
  if (!IsFilePatternValid(text)) {
    SetBase(m_text2, QColor(255, 0, 0));
    return;
  }
  m_pattern = text;
  SetBase(m_text2, QColor(255, 255, 255));
  RefreshFiles();
}

void FileChooser::Timer1_Timer() {
  const std::vector<FileRoot> found = m_roots();
  m_drive1Count = static_cast<int>(found.size());
  if (m_drive1Count == m_drive2->count()) return;
  const QString current = m_root;
  FillDrives(found);
  for (std::size_t k = 0; k < found.size(); ++k) {
    if (found[k].path == current) {
      m_drive2->setCurrentIndex(static_cast<int>(k));
      return;
    }
  }
  // The chosen volume went away: back to the first root.
  if (!found.empty()) {
    m_drive2->setCurrentIndex(0);
    Drive2_Change(0);
  } else {
    SetUsable(false);
  }
}

}  // namespace zart::ui

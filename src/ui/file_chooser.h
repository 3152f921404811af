#pragma once

#include <functional>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "ui/file_listing.h"
#include "ui/common_twips.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QWidget;

namespace zart::ui {

/// The drive/folder/file chooser of the parameters window: `Drive2` (the
/// roots), `Dir2` (the folders from the root down to the current one and its
/// subfolders; activating one enters it), `File2` (the files matching the
/// pattern of `Text2`), `Text3` (the file name the file operations use) and
/// `Label38`, shown instead of the chooser, with the file buttons disabled,
/// while the chosen place cannot be read. `Timer1` re-reads the roots every
/// 500 ms and refreshes the drive list when their number changes.
class FileChooser : public QObject {
 public:
  using RootsProvider = std::function<std::vector<FileRoot>()>;
  static constexpr int kPollMs = 500;

  /// Creates the controls in `frm_prg` at their design places; `fileButtons`
  /// are enabled and disabled with the chooser. Starts in `startFolder`
  /// (the user's home folder in the window).
  FileChooser(QWidget* frm_prg, const TwipScale& twips, std::vector<QWidget*> fileButtons,
              const QString& startFolder, RootsProvider roots = CurrentRoots);

  /// The folder the file operations use (Dir2's current folder).
  QString CurrentFolder() const { return m_folder; }
  /// The file name the file operations use (Text3).
  QString FileName() const;
  /// The file list's pattern in force (the last valid text of Text2).
  QString Pattern() const { return m_pattern; }
  /// Whether the chooser is usable (false while Label38 shows).
  bool PlaceReadable() const { return m_readable; }

  /// A root was picked in Drive2 (index into its list).
  void Drive2_Change(int index);
  /// Dir2 moved to `folder`: the file list follows.
  void Dir2_Change(const QString& folder);
  /// A file was clicked: Text3 takes its name.
  void File2_Click(const QString& name);
  /// Text2 changed: a valid pattern becomes the list's pattern (white box),
  /// an invalid one turns the box red and the list keeps its pattern.
  void Text2_Change(const QString& text);
  /// Every 500 ms: re-reads the roots (Drive1) and refreshes Drive2 when
  /// their number differs.
  void Timer1_Timer();
  /// Lists the current folder's files again (after a save).
  void RefreshFiles();

  QComboBox* Drive2() const { return m_drive2; }
  QListWidget* Dir2() const { return m_dir2; }
  QListWidget* File2() const { return m_file2; }
  QLineEdit* Text2() const { return m_text2; }
  QLineEdit* Text3() const { return m_text3; }
  QLabel* Label38() const { return m_label38; }
  QTimer& Timer1() { return m_timer1; }

 private:
  void FillDrives(const std::vector<FileRoot>& roots);
  void ShowPlace(const QString& root, const QString& folder);
  void SetUsable(bool usable);
  void FillFolders();
  void FolderActivated(QListWidgetItem* item);

  const TwipScale& m_twips;
  std::vector<QWidget*> m_fileButtons;
  RootsProvider m_roots;
  std::vector<FileRoot> m_drive2Roots;
  int m_drive1Count = 0;  // roots seen at the last poll
  QString m_root;
  QString m_folder;
  QString m_pattern = QStringLiteral(u"*.*");
  bool m_readable = false;

  QComboBox* m_drive2 = nullptr;
  QListWidget* m_dir2 = nullptr;
  QListWidget* m_file2 = nullptr;
  QLineEdit* m_text2 = nullptr;
  QLineEdit* m_text3 = nullptr;
  QLabel* m_label38 = nullptr;
  QTimer m_timer1;
};

}  // namespace zart::ui

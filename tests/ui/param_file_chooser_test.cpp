#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "ui/file_chooser.h"
#include "ui/file_listing.h"

namespace zart::ui {
namespace {

struct PatternCase {
  const char16_t* pattern;
  bool valid;
};

TEST(FilePattern, WhatTheFileListAccepts) {
  const PatternCase cases[] = {
      {u"*.*", true},      {u"*.ini", true},   {u"PAR?.txt", true},  {u"*.ini;*.txt", true}, {u"[ab]*.ini", true},
      {u"", false},        {u"  ", false},     {u"*.ini;", false},   {u"a/b", false},        {u"..\\*", false},
      {u"[abc", false},    {u"a]b", false},    {u"[]x", false},      {u"a|b", false},        {u"c:*", false},
  };
  for (const PatternCase& c : cases) {
    EXPECT_EQ(IsFilePatternValid(QString::fromUtf16(c.pattern)), c.valid) << QString::fromUtf16(c.pattern).toStdString();
  }
  EXPECT_EQ(FilePatternFilters(QStringLiteral(u"*.*;*.ini")), (QStringList{QStringLiteral(u"*"), QStringLiteral(u"*.ini")}));
}

TEST(FileRoots, OnlyPlacesAUserKeepsFilesOn) {
  const std::vector<MountedVolume> volumes{
      {QStringLiteral(u"/"), QStringLiteral(u"ext4"), QString(), true},
      {QStringLiteral(u"/proc"), QStringLiteral(u"proc"), QString(), true},
      {QStringLiteral(u"/run/user/1000"), QStringLiteral(u"tmpfs"), QString(), true},
      {QStringLiteral(u"/sys/fs/cgroup"), QStringLiteral(u"cgroup2"), QString(), true},
      {QStringLiteral(u"/boot/efi"), QStringLiteral(u"vfat"), QString(), true},
      {QStringLiteral(u"/home"), QStringLiteral(u"ext4"), QString(), true},
      {QStringLiteral(u"/run/media/user/USB"), QStringLiteral(u"vfat"), QStringLiteral(u"USB"), true},
      {QStringLiteral(u"/media/cdrom"), QStringLiteral(u"iso9660"), QString(), false},
      {QStringLiteral(u"/home/"), QStringLiteral(u"ext4"), QString(), true},  // listed twice
  };
  const std::vector<FileRoot> roots = FilterRoots(volumes);
  QStringList paths;
  for (const FileRoot& r : roots) paths << r.path;
  EXPECT_EQ(paths, (QStringList{QStringLiteral(u"/"), QStringLiteral(u"/home"), QStringLiteral(u"/run/media/user/USB")}));
  EXPECT_EQ(roots[2].label, QStringLiteral(u"/run/media/user/USB [USB]"));
  EXPECT_EQ(RootIndexOf(roots, QStringLiteral(u"/home/user/params")), 1);
  EXPECT_EQ(RootIndexOf(roots, QStringLiteral(u"/homework")), 0);
  EXPECT_EQ(RootIndexOf(roots, QStringLiteral(u"/run/media/user/USB")), 2);
}

class FileChooserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    Touch(QStringLiteral(u"a.ini"));
    Touch(QStringLiteral(u"B.INI"));
    Touch(QStringLiteral(u"notes.txt"));
    Touch(QStringLiteral(u"README"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral(u"sub")));
    m_roots = {{m_dir.path(), m_dir.path()}, {m_dir.path() + QStringLiteral(u"/no-medium"), QStringLiteral(u"E:")}};
    m_host.resize(2000, 800);
    for (int k = 0; k < 3; ++k) m_buttons.push_back(new QPushButton(&m_host));
    m_chooser = new FileChooser(&m_host, m_twips, m_buttons, m_dir.path(), [this] { return m_roots; });
    m_host.show();
  }

  void Touch(const QString& name) {
    QFile f(m_dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }

  QStringList Files() const {
    QStringList names;
    for (int k = 0; k < m_chooser->File2()->count(); ++k) names << m_chooser->File2()->item(k)->text();
    return names;
  }

  bool ButtonsEnabled() const {
    for (QWidget* b : m_buttons) {
      if (!b->isEnabled()) return false;
    }
    return true;
  }

  QTemporaryDir m_dir;
  std::vector<FileRoot> m_roots;
  TwipScale m_twips;
  QWidget m_host;
  std::vector<QWidget*> m_buttons;
  FileChooser* m_chooser = nullptr;
};

TEST_F(FileChooserTest, OpensInTheStartFolderWithAllFilesAndWalksFolders) {
  EXPECT_EQ(m_chooser->CurrentFolder(), QDir::cleanPath(m_dir.path()));
  EXPECT_TRUE(m_chooser->PlaceReadable());
  EXPECT_TRUE(m_chooser->Label38()->isHidden());
  EXPECT_TRUE(ButtonsEnabled());
  // "*.*" lists names without a dot too.
  EXPECT_EQ(Files(), (QStringList{QStringLiteral(u"a.ini"), QStringLiteral(u"B.INI"), QStringLiteral(u"notes.txt"),
                                  QStringLiteral(u"README")}));
  QListWidget* files = m_chooser->File2();
  QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(files->item(2)).center());
  EXPECT_EQ(m_chooser->FileName(), QStringLiteral(u"notes.txt"));

  // The folder list ends with the subfolder and begins with the root of the
  // drive, the way back.
  QListWidget* dirs = m_chooser->Dir2();
  ASSERT_EQ(dirs->item(dirs->count() - 1)->text().trimmed(), QStringLiteral(u"sub"));
  emit dirs->itemActivated(dirs->item(dirs->count() - 1));
  EXPECT_EQ(m_chooser->CurrentFolder(), QDir::cleanPath(m_dir.filePath(QStringLiteral(u"sub"))));
  EXPECT_TRUE(Files().isEmpty());
  emit dirs->itemActivated(dirs->item(0));
  EXPECT_EQ(m_chooser->CurrentFolder(), QDir::cleanPath(m_dir.path()));
  EXPECT_EQ(Files().size(), 4);
}

TEST_F(FileChooserTest, UnreadableDriveShowsLabelAndDisablesFileButtons) {
  m_chooser->Drive2_Change(1);
  EXPECT_FALSE(m_chooser->PlaceReadable());
  EXPECT_FALSE(m_chooser->Label38()->isHidden());
  EXPECT_TRUE(m_chooser->Dir2()->isHidden());
  EXPECT_TRUE(m_chooser->File2()->isHidden());
  EXPECT_TRUE(m_chooser->Text3()->isHidden());
  EXPECT_FALSE(m_buttons[2]->isEnabled());

  m_chooser->Drive2_Change(0);
  EXPECT_FALSE(m_chooser->Dir2()->isHidden());
  EXPECT_TRUE(ButtonsEnabled());
}

TEST_F(FileChooserTest, PatternFiltersTheListAndARefusedOneTurnsRed) {
  QLineEdit* pattern = m_chooser->Text2();
  pattern->setText(QStringLiteral(u"*.ini"));
  EXPECT_EQ(Files(), (QStringList{QStringLiteral(u"a.ini"), QStringLiteral(u"B.INI")}));
  EXPECT_EQ(pattern->palette().color(QPalette::Base), QColor(255, 255, 255));

  pattern->setText(QStringLiteral(u"[abc"));
  EXPECT_EQ(pattern->palette().color(QPalette::Base), QColor(255, 0, 0));
  EXPECT_EQ(m_chooser->Pattern(), QStringLiteral(u"*.ini"));
  EXPECT_EQ(Files(), (QStringList{QStringLiteral(u"a.ini"), QStringLiteral(u"B.INI")}));

  pattern->setText(QStringLiteral(u"*.txt"));
  EXPECT_EQ(pattern->palette().color(QPalette::Base), QColor(255, 255, 255));
  EXPECT_EQ(Files(), QStringList{QStringLiteral(u"notes.txt")});
}

TEST_F(FileChooserTest, PollRefreshesTheDriveListWhenVolumesComeAndGo) {
  EXPECT_EQ(m_chooser->Drive2()->count(), 2);
  m_roots.push_back({QStringLiteral(u"/"), QStringLiteral(u"/")});
  m_chooser->Timer1_Timer();
  EXPECT_EQ(m_chooser->Drive2()->count(), 3);
  EXPECT_EQ(m_chooser->Drive2()->currentIndex(), 0);  // still the temporary folder's root

  // The chosen volume goes away: back to the first root that remains.
  m_roots = {{QStringLiteral(u"/"), QStringLiteral(u"/")}};
  m_chooser->Timer1_Timer();
  EXPECT_EQ(m_chooser->Drive2()->count(), 1);
  EXPECT_EQ(m_chooser->CurrentFolder(), QStringLiteral(u"/"));
}

}  // namespace
}  // namespace zart::ui

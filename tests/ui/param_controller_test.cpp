// The parameters window's controller: building inside a tick, the menu's
// read-all, saving and closing; then the "Сервис" aids.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QWidget>

#include "link/exchange_cycle.h"
#include "monitor_fakes.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/controller_image.h"
#include "settings/ini_file.h"
#include "settings/prompter.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "support/frames.h"
#include "support/scripted_prompter.h"
#include "ui/file_chooser.h"
#include "ui/file_listing.h"
#include "ui/param_box.h"
#include "ui/param_diff_window.h"
#include "ui/param_report_window.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace zart::ui {
namespace {

class ParamControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_port.ForceOpen(true);
    m_controller = std::make_unique<ParamWindowController>(m_cycle, nullptr, m_view, m_prompter);
  }
  void TearDown() override { m_controller.reset(); }

  testing::FakeSerialPort m_port;
  testing::FakeLinkView m_view;
  link::ExchangeCycle m_cycle{m_port, m_view};
  testing::ScriptedPrompter m_prompter{settings::Answer::cancel};
  std::unique_ptr<ParamWindowController> m_controller;
};

TEST_F(ParamControllerTest, WindowBuiltInsideATickLosesNoReplyAndJudgesNoneTwice) {
  m_cycle.SetStatusHandler([this](const link::RxStore& rx) {
    // Bit 15 of register 300: control over Modbus blocked.
    m_controller->SetBlockedBanner((rx[3] & 0x80) != 0);
  });
  m_cycle.ExchangeTick();  // sends the idle status read
  ASSERT_EQ(m_port.written.size(), 1u);
  ASSERT_EQ(m_port.written[0][1], 4);

  m_port.Receive(testing::StatusBlock().Set(300, 0x8203).Frame());  // protocol 2.3, blocked

  // The exchange timer keeps firing while the builders let events run.
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  int timerTicks = 0;
  QObject::connect(&timer, &QTimer::timeout, [this, &timerTicks] {
    ++timerTicks;
    m_cycle.ExchangeTick();
  });
  timer.start(1);
  m_cycle.ExchangeTick();  // judges the reply; the status handler builds the window
  timer.stop();

  ASSERT_NE(m_controller->Window(), nullptr);
  EXPECT_TRUE(m_controller->Window()->isHidden());
  EXPECT_FALSE(m_controller->Window()->lbl_modbus_off()->isHidden());
  EXPECT_GT(timerTicks, 0);
  EXPECT_EQ(m_cycle.Counters().nestedTicksSkipped, static_cast<std::uint64_t>(timerTicks));
  EXPECT_EQ(m_cycle.Counters().validReplies, 1u);
  EXPECT_EQ(m_cycle.Counters().framesSent, 2u);
  EXPECT_EQ(m_cycle.Queue().ReadIndex(), 1);  // the head moved exactly once
}

TEST_F(ParamControllerTest, WhatHappensWhileTheWindowIsBuiltReachesTheFinishedWindow) {
  // Events run during the build: the user opens the window from the menu
  // and a status reply reports the blocked flag before the boxes exist.
  int pumps = 0;
  m_controller->SetEventPump([this, &pumps] {
    if (++pumps == 1) {
      EXPECT_EQ(m_controller->Window(), nullptr);
      m_controller->OpenParamWindow();
      m_controller->SetBlockedBanner(true);
    }
  });
  m_controller->SetBlockedBanner(false);
  ParamWindow* window = m_controller->Window();
  ASSERT_NE(window, nullptr);
  EXPECT_GT(pumps, 1);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->lbl_modbus_off()->isHidden());
  EXPECT_EQ(m_controller->Editor().Progress().total, 131);
  // Only one window was made.
  const QWidgetList tops = QApplication::topLevelWidgets();
  EXPECT_EQ(std::count_if(tops.begin(), tops.end(),
                          [](const QWidget* w) { return dynamic_cast<const ParamWindow*>(w) != nullptr; }),
            1);
}

TEST_F(ParamControllerTest, MenuReadsAllShowsProgressAndFillsTheBoxes) {
  m_controller->SetEventPump([] {});
  m_controller->OpenParamWindow();
  ParamWindow* window = m_controller->Window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(m_cycle.Queue().PendingCount(), 131);  // the first reads slots 0..9: ten bytes at 256
  QProgressBar* bar = window->TransferBar();
  EXPECT_FALSE(bar->isHidden());
  EXPECT_EQ(bar->maximum(), 131);
  EXPECT_EQ(bar->value(), 0);

  m_cycle.ExchangeTick();  // sends the first read
  m_port.Receive(testing::WithCrc({7, 0x64, 0x01, 0x00, 10, 50, 1, 75, 40, 60, 80, 90, 100, 0, 0}));
  m_cycle.ExchangeTick();
  EXPECT_EQ(bar->value(), 1);
  EXPECT_EQ(bar->text(), QStringLiteral(u"1 / 131"));
  EXPECT_EQ(window->Text(2), QStringLiteral(u"1500 "));
  EXPECT_EQ(window->Color(9), params::COLOR_FROM_EEPROM);
  EXPECT_EQ(window->Text(10), QStringLiteral(u"-"));
  QTest::keyClicks(window->Panels().txt_par[2], QStringLiteral(u"7"));  // any key but Enter only edits
  EXPECT_EQ(window->Color(2), params::COLOR_CHANGED);
  EXPECT_EQ(m_cycle.Queue().PendingCount(), 130);
}

TEST_F(ParamControllerTest, SavingListsTheFileAndClosingDiscardsTheWindowAndItsValues) {
  QTemporaryDir dir;
  m_controller->SetEventPump([] {});
  m_controller->SetStartFolder(dir.path());
  m_controller->OpenParamWindow();
  QPointer<ParamWindow> first = m_controller->Window();
  ASSERT_FALSE(first.isNull());
  first->Chooser().Text3()->setText(QStringLiteral(u"set.ini"));
  first->cmdSaveFile()->click();
  ASSERT_EQ(first->Chooser().File2()->count(), 1);
  EXPECT_EQ(first->Chooser().File2()->item(0)->text(), QStringLiteral(u"set.ini"));
  EXPECT_TRUE(m_prompter.asked.empty());
  first->SetText(0, QStringLiteral(u"42"));
  first->close();
  EXPECT_EQ(m_controller->Window(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());

  // The next status reply builds it again, hidden, with fresh boxes.
  m_controller->SetBlockedBanner(true);
  ParamWindow* second = m_controller->Window();
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(second->isHidden());
  EXPECT_FALSE(second->lbl_modbus_off()->isHidden());
  EXPECT_EQ(second->Text(0), QStringLiteral(u"-"));
  m_controller->SetBlockedBanner(false);
  EXPECT_TRUE(second->lbl_modbus_off()->isHidden());
  EXPECT_EQ(m_controller->Window(), second);
}

// The "Сервис" aids: no write without a backup, the differences list with
// its tab marks and jumps, the report files.
class ParamServiceTest : public ParamControllerTest {
 protected:
  void SetUp() override {
    ParamControllerTest::SetUp();
    m_controller->SetEventPump([] {});
    m_controller->SetStartFolder(m_dir.path());
    m_controller->SetBlockedBanner(false);  // builds the window, hidden
    m_controller->Service().SetBackupFolder(m_dir.filePath(QStringLiteral("copies")));
    ASSERT_NE(Window(), nullptr);
  }

  ParamWindow* Window() const { return m_controller->Window(); }
  ParamService& Service() { return m_controller->Service(); }
  /// Slots 0..9 as a read reply would have shown them.
  void ReadSomething() {
    std::vector<params::SlotBytes> read;
    for (int k = 0; k < 10; ++k) read.push_back({k, {static_cast<std::uint8_t>(k)}});
    Service().Image().Record(100, read);
  }

  QTemporaryDir m_dir;
};

struct GuardCase {
  const char* name;
  bool readFirst;
  bool folderBlocked;
  int queued;  // requests after Enter
  int asked;   // message boxes
};

void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }

class EnterGuard : public ParamServiceTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(EnterGuard, EnterWritesOnlyWithItsBackup) {
  const GuardCase& c = GetParam();
  if (c.folderBlocked) QFile(m_dir.filePath(QStringLiteral("copies"))).open(QIODevice::WriteOnly);
  if (c.readFirst) ReadSomething();
  ParamBox* box = Window()->Panels().txt_par[2];
  box->setText(QStringLiteral("1500"));
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(m_cycle.Queue().PendingCount(), c.queued);
  EXPECT_EQ(static_cast<int>(m_prompter.asked.size()), c.asked);
  // The button click of write-all is held back the same way.
  const int before = m_cycle.Queue().PendingCount();
  Window()->cmd_writeall()->click();
  EXPECT_EQ(m_cycle.Queue().PendingCount() - before, c.folderBlocked && c.readFirst ? 0 : 133);
}

INSTANTIATE_TEST_SUITE_P(Cases, EnterGuard,
                         ::testing::Values(GuardCase{"NothingReadNothingToBackUp", false, true, 1, 0},
                                           GuardCase{"BackedUpThenWritten", true, false, 1, 0},
                                           GuardCase{"BackupRefusedNothingWritten", true, true, 0, 1}),
                         [](const ::testing::TestParamInfo<GuardCase>& p) { return std::string(p.param.name); });

TEST_F(ParamServiceTest, CompareListsDifferencesMarksTabsAndJumps) {
  settings::IniFile ini;
  for (int k = 0; k < params::kSlotCount; ++k) {
    if (k != 5) ini.Write(QStringLiteral("Parameters"), QStringLiteral("PAR%1").arg(k), Window()->Text(k));
  }
  ini.Write(QStringLiteral("Parameters"), QStringLiteral("PAR170"), QStringLiteral("42"));  // Канал 10 · РЗН, Экр2
  ASSERT_TRUE(ini.Save(m_dir.filePath(QStringLiteral("site.ini"))));

  Window()->Chooser().RefreshFiles();
  Window()->Chooser().Text3()->setText(QStringLiteral("site.ini"));
  Window()->cmdCompare()->click();
  ParamDiffWindow* list = Service().DiffWindow();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->windowTitle(), QStringLiteral(u"Отличия от файла site.ini"));
  EXPECT_EQ(list->Summary()->text(), QStringLiteral(u"Сравнение с файлом site.ini: отличий 1, нет в файле 1"));
  EXPECT_EQ(list->VisibleRows(), 2);
  // A look at the list by hand: ZART_DIFF_SCREENSHOT=file.png.
  if (const QString shot = qEnvironmentVariable("ZART_DIFF_SCREENSHOT"); !shot.isEmpty()) list->grab().save(shot);
  list->SetFilter(1);
  ASSERT_EQ(list->VisibleRows(), 1);
  EXPECT_EQ(list->SlotAt(0), 170);
  QTabBar* psa = Window()->StripOf(params::PageGroup::channel);
  EXPECT_EQ(psa->tabText(1), QStringLiteral(u"Экр2 •"));
  EXPECT_EQ(psa->tabText(0), QStringLiteral(u"Экр1"));
  EXPECT_EQ(Window()->StripOf(params::PageGroup::function)->tabText(0), QStringLiteral(u"Двигатель"));

  // Enter on the line brings the page forward with the box in view.
  emit list->View()->activated(list->View()->model()->index(0, 0));
  EXPECT_EQ(psa->currentIndex(), 1);
  EXPECT_TRUE(Window()->Panels().frm_psa[1]->isVisible());
  ParamBox* box = Window()->Panels().txt_par[170];
  const QRect inWindow(box->mapTo(Window(), QPoint(0, 0)), box->size());
  EXPECT_TRUE(Window()->rect().contains(inWindow));

  // The next read-all takes the marks away.
  Window()->cmd_readall()->click();
  EXPECT_EQ(psa->tabText(1), QStringLiteral(u"Экр2"));
}

TEST_F(ParamServiceTest, ServiceButtonSitsInTheFreeCornerAndReportSavesPdfAndHtml) {
  QToolButton* service = Window()->ServiceButton();
  ASSERT_NE(service, nullptr);
  ASSERT_NE(service->menu(), nullptr);
  // It overlaps none of the design's controls in frm_prg.
  for (QWidget* other : Window()->Panels().frm_prg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (other == service || !other->isVisibleTo(Window())) continue;
    EXPECT_FALSE(other->geometry().intersects(service->geometry())) << other->metaObject()->className();
  }

  Service().ShowReport();
  ParamReportWindow* report = Service().ReportWindow();
  ASSERT_NE(report, nullptr);
  EXPECT_TRUE(report->Preview()->toPlainText().contains(QStringLiteral(u"Стартовые обороты (об/мин)")));
  const QString pdf = m_dir.filePath(QStringLiteral("report.pdf"));
  ASSERT_TRUE(report->SavePdf(pdf));
  QFile f(pdf);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.read(5) == QByteArrayLiteral("%PDF-"));
  const QString html = m_dir.filePath(QStringLiteral("report.html"));
  ASSERT_TRUE(report->SaveHtml(html));
  EXPECT_FALSE(report->SavePdf(m_dir.filePath(QStringLiteral("no/such/folder/report.pdf"))));
}

// ---- The file chooser -------------------------------------------------------

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

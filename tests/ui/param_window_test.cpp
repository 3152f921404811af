// The parameters window: its controller (the menu's build and read-all, the
// boxes as the set's view, saving and closing), the "Сервис" aids, the file
// chooser, the window as built and its resizing.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QWidget>
#include <set>

#include "link/exchange_cycle.h"
#include "monitor_fakes.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/param_set.h"
#include "params/slot_names.h"
#include "settings/ini_file.h"
#include "settings/prompter.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "support/files.h"
#include "support/frames.h"
#include "support/scripted_prompter.h"
#include "ui/file_chooser.h"
#include "ui/file_listing.h"
#include "ui/param_box.h"
#include "ui/param_diff_window.h"
#include "ui/param_keyboard_order.h"
#include "ui/param_report_window.h"
#include "ui/param_resize.h"
#include "ui/param_window.h"
#include "ui/param_window_controller.h"

namespace zart::ui {
namespace {

class ParamControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_port.ForceOpen(true);
    m_controller = std::make_unique<ParamWindowController>(m_cycle, nullptr, m_view, m_prompter);
    m_controller->SetStartFolder(m_dir.path());
    m_controller->Session().SetBackupFolder(m_dir.filePath(QStringLiteral("copies")));
  }
  void TearDown() override { m_controller.reset(); }
  ParamWindow* Window() const { return m_controller->Window(); }
  params::ParamSet& Set() { return m_controller->Session().Set(); }

  QTemporaryDir m_dir;
  testing::FakeSerialPort m_port;
  testing::FakeLinkView m_view;
  link::ExchangeCycle m_cycle{m_port, m_view};
  testing::ScriptedPrompter m_prompter{settings::Answer::cancel};
  std::unique_ptr<ParamWindowController> m_controller;
};

// The banner follows the flag with no window at all; the menu builds the
// window once, outside any tick, shows the read-all's progress with
// "Прервать", and each box shows the set and hands typing back to it.
TEST_F(ParamControllerTest, MenuBuildsTheWindowReadsAllAndTheBoxesShowTheSet) {
  m_controller->SetBlockedBanner(true);
  EXPECT_EQ(Window(), nullptr);
  m_controller->OpenParamWindow();
  ParamWindow* window = Window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(window->lbl_modbus_off()->isHidden());
  m_controller->SetBlockedBanner(false);
  EXPECT_TRUE(window->lbl_modbus_off()->isHidden());
  EXPECT_EQ(m_cycle.Queue().PendingCount(), 131);  // the first reads slots 0..9: ten bytes at 256
  QProgressBar* bar = window->TransferBar();
  EXPECT_FALSE(bar->isHidden());
  EXPECT_FALSE(window->AbortButton()->isHidden());
  EXPECT_EQ(bar->maximum(), 131);

  m_cycle.ExchangeTick();  // sends the first read
  m_port.Receive(testing::WithCrc({7, 0x64, 0x01, 0x00, 10, 50, 1, 75, 40, 60, 80, 90, 100, 0, 0}));
  m_cycle.ExchangeTick();
  EXPECT_EQ(bar->text(), QStringLiteral(u"1 / 131"));
  EXPECT_EQ(window->Text(2), QStringLiteral(u"1500 "));
  EXPECT_EQ(window->Color(9), params::COLOR_FROM_EEPROM);
  EXPECT_EQ(window->Text(10), QStringLiteral(u"-"));
  // The controller falls silent: the bar says so.
  m_cycle.ExchangeTick();
  EXPECT_EQ(bar->text(), QStringLiteral(u"нет ответа, повтор… 1 / 131"));

  QTest::keyClick(window->Panels().txt_par[2], Qt::Key_End);
  QTest::keyClicks(window->Panels().txt_par[2], QStringLiteral(u"7"));  // any key but Enter only edits
  EXPECT_EQ(Set().Text(2), QStringLiteral(u"1500 7"));
  EXPECT_EQ(Set().State(2), params::SlotState::changed);
  EXPECT_EQ(window->Color(2), params::COLOR_CHANGED);
  EXPECT_EQ(m_cycle.Queue().PendingCount(), 130);
  QTest::keyClick(window->Panels().txt_par[2], Qt::Key_Return);  // refused: the window says why
  EXPECT_EQ(window->Message(), QStringLiteral(u"«1500 7» — не число; допустимо 0 … 5100"));
  window->AbortButton()->click();
  EXPECT_TRUE(bar->isHidden());
  EXPECT_FALSE(m_cycle.WorkPending());  // only the read out on the line, withdrawn
  QTest::keyClick(window->Panels().txt_par[2], Qt::Key_Backspace);
  QTest::keyClick(window->Panels().txt_par[2], Qt::Key_Backspace);
  QTest::keyClick(window->Panels().txt_par[2], Qt::Key_Return);
  EXPECT_EQ(m_cycle.Queue().Pending(m_cycle.Queue().PendingCount() - 1).slot_bytes[5], 75);
}

TEST_F(ParamControllerTest, SavingListsTheFileAndClosingDiscardsTheWindowAndItsValues) {
  m_controller->OpenParamWindow();
  QPointer<ParamWindow> first = Window();
  ASSERT_FALSE(first.isNull());
  m_prompter.answers = {settings::Answer::ok};  // save the texts the window opened with
  first->Chooser().Text3()->setText(QStringLiteral(u"set.ini"));
  first->cmdSaveFile()->click();
  ASSERT_EQ(first->Chooser().File2()->count(), 1);
  EXPECT_EQ(first->Chooser().File2()->item(0)->text(), QStringLiteral(u"set.ini"));
  Set().SetText(0, QStringLiteral(u"42"), params::SlotState::changed);
  EXPECT_EQ(first->Text(0), QStringLiteral(u"42"));
  first->close();
  EXPECT_EQ(Window(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(Set().Text(0), QStringLiteral(u"-"));
  EXPECT_FALSE(Set().HasValue(0));

  // The next opening builds it again with fresh boxes.
  m_controller->OpenParamWindow();
  ASSERT_NE(Window(), nullptr);
  EXPECT_EQ(Window()->Text(0), QStringLiteral(u"-"));
}

// The "Сервис" aids: the differences list with its tab marks and jumps,
// the report files.
class ParamServiceTest : public ParamControllerTest {
 protected:
  void SetUp() override {
    ParamControllerTest::SetUp();
    m_controller->OpenParamWindow();
    ASSERT_NE(Window(), nullptr);
  }
  ParamService& Service() { return m_controller->Service(); }
};

TEST_F(ParamServiceTest, CompareListsDifferencesMarksTabsAndJumps) {
  settings::IniFile ini;
  for (int k = 0; k < params::kSlotCount; ++k) {
    if (k != 5) ini.Write(QStringLiteral("Parameters"), QStringLiteral("PAR%1").arg(k), Set().Text(k));
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
  list->SetFilter(1);
  ASSERT_EQ(list->VisibleRows(), 1);
  EXPECT_EQ(list->SlotAt(0), 170);
  QTabBar* psa = Window()->StripOf(params::PageGroup::channel);
  EXPECT_EQ(psa->tabText(1), QStringLiteral(u"Экр2 •"));
  EXPECT_EQ(psa->tabText(0), QStringLiteral(u"Экр1"));
  EXPECT_EQ(Window()->Color(170), params::COLOR_DIFFERS_FROM_FILE);

  // Enter on the line brings the page forward with the box in view.
  emit list->View()->activated(list->View()->model()->index(0, 0));
  EXPECT_EQ(psa->currentIndex(), 1);
  EXPECT_TRUE(Window()->Panels().frm_psa[1]->isVisible());
  ParamBox* box = Window()->Panels().txt_par[170];
  const QRect inWindow(box->mapTo(Window(), QPoint(0, 0)), box->size());
  EXPECT_TRUE(Window()->rect().contains(inWindow));

  // The next read-all takes the marks away; the list stays at hand.
  Window()->cmd_readall()->click();
  EXPECT_EQ(psa->tabText(1), QStringLiteral(u"Экр2"));
  list->close();
  Service().ShowDifferences();
  EXPECT_EQ(Service().DiffWindow()->VisibleRows(), 1);

  // Two files, without the controller; a file that is not there is named.
  const QString other = m_dir.filePath(QStringLiteral("other.ini"));
  ini.Write(QStringLiteral("Parameters"), QStringLiteral("PAR170"), QStringLiteral("43"));
  ASSERT_TRUE(ini.Save(other));
  Service().CompareTwoFiles(m_dir.filePath(QStringLiteral("site.ini")), other);
  EXPECT_EQ(Service().DiffWindow()->windowTitle(), QStringLiteral(u"Отличия файла other.ini от файла site.ini"));
  Service().CompareTwoFiles(other, m_dir.filePath(QStringLiteral("gone.ini")));
  ASSERT_FALSE(m_prompter.asked.empty());
  EXPECT_EQ(m_prompter.asked.back().text, QStringLiteral(u"Невозможно открыть файл gone.ini для чтения"));
}

TEST_F(ParamControllerTest, AnEmptyDifferencesListSaysHowToFillIt) {
  m_controller->OpenParamWindow();
  m_controller->Service().ShowDifferences();
  ASSERT_EQ(m_prompter.asked.size(), 1U);
  EXPECT_TRUE(m_prompter.asked[0].text.startsWith(QStringLiteral(u"Список пуст")));
  EXPECT_EQ(m_controller->Service().DiffWindow(), nullptr);
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
  // The PDF itself is the report window's test; here the menu's way to it.
  ASSERT_TRUE(report->SaveHtml(m_dir.filePath(QStringLiteral("report.html"))));
  EXPECT_FALSE(report->SavePdf(m_dir.filePath(QStringLiteral("no/such/folder/report.pdf"))));

  // "Сравнить с файлом…": the report again with the differences.
  settings::IniFile ini;
  ini.Write(QStringLiteral("Parameters"), QStringLiteral("PAR2"), QStringLiteral("999"));
  ASSERT_TRUE(ini.Save(m_dir.filePath(QStringLiteral("site.ini"))));
  ASSERT_TRUE(report->CompareWith(m_dir.filePath(QStringLiteral("site.ini"))));
  ASSERT_TRUE(report->Report().differences.has_value());
  EXPECT_FALSE(report->Report().differences->entries.empty());
  EXPECT_FALSE(report->CompareWith(m_dir.filePath(QStringLiteral("gone.ini"))));
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
    for (const char16_t* name : {u"a.ini", u"B.INI", u"notes.txt", u"README"})
      ASSERT_TRUE(testing::WriteFileBytes(m_dir.filePath(QString::fromUtf16(name)), {}));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral(u"sub")));
    m_roots = {{m_dir.path(), m_dir.path()}, {m_dir.path() + QStringLiteral(u"/no-medium"), QStringLiteral(u"E:")}};
    m_host.resize(2000, 800);
    for (int k = 0; k < 3; ++k) m_buttons.push_back(new QPushButton(&m_host));
    m_chooser = new FileChooser(&m_host, m_twips, m_buttons, m_dir.path(), [this] { return m_roots; });
    m_host.show();
  }

  QStringList Files() const {
    QStringList names;
    for (int k = 0; k < m_chooser->File2()->count(); ++k) names << m_chooser->File2()->item(k)->text();
    return names;
  }

  bool ButtonsEnabled() const {
    return std::all_of(m_buttons.begin(), m_buttons.end(), [](const QWidget* b) { return b->isEnabled(); });
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

// ---- The window as built ---------------------------------------------------

using params::PageGroup;

// One window for the suite: building it is what is under test, and the
// checks below only read it (the tab test restores what it changes).
class ParamPanelsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_set = std::make_unique<params::ParamSet>();
    s_window = std::make_unique<ParamWindow>(nullptr, *s_set);
    s_window->Form_Load();
    s_set->SetListener(s_window.get());
  }
  static void TearDownTestSuite() {
    s_window.reset();
    s_set.reset();
  }
  static void Show(int slot, const QString& text) { s_set->SetText(slot, text, params::SlotState::from_eeprom); }

  static const PanelSet& P() { return s_window->Panels(); }
  static ParamBox* Box(int slot) { return P().txt_par[static_cast<std::size_t>(slot)]; }
  static int Px(int twips) { return s_window->Twips().Px(twips); }

  static QWidget* FrameOf(const params::PageRef& page) {
    const auto at = [&page](const auto& frames) -> QWidget* {
      return page.index >= 0 && page.index < static_cast<int>(frames.size())
                 ? frames[static_cast<std::size_t>(page.index)]
                 : nullptr;
    };
    switch (page.group) {
      case PageGroup::function: return at(P().frm_fun);
      case PageGroup::channel: return at(P().frm_psa);
      case PageGroup::logic: return at(P().frm_logic);
      case PageGroup::relay: return at(P().frm_prs);
      case PageGroup::input: return at(P().frm_din);
    }
    return nullptr;
  }

  static std::unique_ptr<params::ParamSet> s_set;
  static std::unique_ptr<ParamWindow> s_window;
};

std::unique_ptr<params::ParamSet> ParamPanelsTest::s_set;
std::unique_ptr<ParamWindow> ParamPanelsTest::s_window;

TEST_F(ParamPanelsTest, EverySlotHasOneBoxOnTheCataloguesPage) {
  std::set<const ParamBox*> seen;
  for (int slot = 0; slot < params::kSlotCount; ++slot) {
    const ParamBox* box = P().txt_par[static_cast<std::size_t>(slot)];
    ASSERT_NE(box, nullptr) << "slot " << slot;
    EXPECT_EQ(box->Index(), slot);
    EXPECT_TRUE(seen.insert(box).second) << "slot " << slot << " shares a box";
    EXPECT_EQ(box->parentWidget(), FrameOf(params::kCatalogue.PageOf(slot))) << "slot " << slot;
    // A screen reader tells the boxes apart by their slots' names.
    EXPECT_EQ(box->accessibleName(), params::SlotName(slot)) << "slot " << slot;
    EXPECT_EQ(box->text(), params::kCatalogue.InitialText(slot)) << "slot " << slot;
  }
  // No stray boxes beyond the 1208.
  int boxes = 0;
  for (const QLineEdit* edit : P().frm_prg->findChildren<QLineEdit*>()) {
    if (dynamic_cast<const ParamBox*>(edit) != nullptr) ++boxes;
  }
  EXPECT_EQ(boxes, params::kSlotCount);
  // Name boxes fit their names: 12 bytes for the first four channels of a
  // group of eight and the inputs, 4 for the other channels.
  EXPECT_EQ(P().txt_par[89]->width(), Px(1215));
  EXPECT_EQ(P().txt_par[93]->width(), Px(500));
  EXPECT_EQ(P().txt_par[1015]->width(), Px(1215));
}

TEST_F(ParamPanelsTest, TableBoxesStandInRowsAndUnderTheirHeaders) {
  // Channel 11 (screen 1, row 3), column "НПИ" (j = 3): slot 89 + 216 + 10.
  const ParamBox* npi = P().txt_par[89 + 72 * 3 + 10];
  EXPECT_EQ(npi->parentWidget(), P().frm_psa[1]);
  EXPECT_EQ(npi->geometry(), QRect(Px(3360), Px(990), Px(1080), Px(375)));
  // Input 64 (screen 7, row 8), column "Код упр.".
  const ParamBox* code = P().txt_par[1207];
  EXPECT_EQ(code->parentWidget(), P().frm_din[7]);
  EXPECT_EQ(code->geometry(), QRect(Px(3960), Px(2865), Px(1080), Px(375)));
}

// Which frames of an array are not hidden.
template <typename Frames>
std::vector<int> ShownFrames(const Frames& frames) {
  std::vector<int> shown;
  for (std::size_t k = 0; k < frames.size(); ++k) {
    if (!frames[k]->isHidden()) shown.push_back(static_cast<int>(k));
  }
  return shown;
}

TEST_F(ParamPanelsTest, EachStripShowsItsFirstPageThenTheClickedOneOnly) {
  for (const std::vector<int>& shown : {ShownFrames(P().frm_fun), ShownFrames(P().frm_psa), ShownFrames(P().frm_din),
                                        ShownFrames(P().frm_logic), ShownFrames(P().frm_prs)})
    EXPECT_EQ(shown, std::vector<int>{0});
  P().TabStrip_logic->setCurrentIndex(2);  // tab 3
  EXPECT_EQ(ShownFrames(P().frm_logic), std::vector<int>{2});
  P().TabStrip_logic->setCurrentIndex(16);  // НЕ2
  EXPECT_EQ(ShownFrames(P().frm_logic), std::vector<int>{16});
  // Other strips keep their page.
  EXPECT_EQ(ShownFrames(P().frm_prs), std::vector<int>{0});
  P().TabStrip_psa->setCurrentIndex(8);
  EXPECT_EQ(ShownFrames(P().frm_psa), std::vector<int>{8});
  P().TabStrip_logic->setCurrentIndex(0);
  P().TabStrip_psa->setCurrentIndex(0);
  EXPECT_EQ(ShownFrames(P().frm_logic), std::vector<int>{0});
}

TEST_F(ParamPanelsTest, ColoursAreTheStatesAndALoadedValueTheControllerCannotTakeSaysWhy) {
  s_set->SetText(5, QStringLiteral(u"abc"), params::SlotState::from_file);
  EXPECT_EQ(s_window->Color(5), params::COLOR_FROM_FILE);
  EXPECT_EQ(P().txt_par[5]->palette().color(QPalette::Base), QColor(75, 175, 255));
  EXPECT_TRUE(Box(5)->toolTip().contains(QStringLiteral(u"Не будет записано: «abc» — не число; допустимо 0 … 5100")))
      << Box(5)->toolTip().toStdString();
  s_set->SetText(5, QStringLiteral(u"100"), params::SlotState::changed);
  EXPECT_EQ(P().txt_par[5]->palette().color(QPalette::Base), QColor(255, 255, 255));
  EXPECT_FALSE(Box(5)->toolTip().contains(QStringLiteral(u"Не будет")));
  EXPECT_EQ(s_window->Shapes()[6]->palette().color(QPalette::Window), QColor(255, 0, 0)) << "the legend's colours";
  EXPECT_EQ(s_window->Text(params::kSlotCount), QString());
}


// Values a controller really holds, in the narrowest boxes: three-box rows of
// "Масло", logic inputs, 4-byte channel names.
TEST_F(ParamPanelsTest, ValuesInNarrowBoxesShowWholeFromTheirStart) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "the fit depends on the installed fonts, and Wine's differ from Windows' own";
#endif
  struct Case {
    int slot;
    const char16_t* text;
  };
  for (const Case& c : {Case{65, u"2390.8"}, Case{64, u"6553.5"}, Case{51, u"11.6"}, Case{61, u"25.5"},
                        Case{738, u"23394"}, Case{745, u"65535"}, Case{887, u"2031"}, Case{93, u"ШЩЖМ"},
                        Case{305, u"-3276.8"}}) {
    const QString text = QString::fromUtf16(c.text);
    ParamBox* box = Box(c.slot);
    Show(c.slot, text);
    EXPECT_FALSE(box->IsCut()) << c.slot;
    EXPECT_EQ(box->cursorPosition(), 0) << c.slot;
    // Whole: the text in the box's font fits between its inner margins.
    EXPECT_LE(box->fontMetrics().horizontalAdvance(text), box->width() - 4) << c.slot;
  }
}

TEST_F(ParamPanelsTest, TextTooLongForAnyFontIsMarkedAndNamedInTheTooltip) {
  const QString text = QStringLiteral(u"123456789012");
  Show(750, text);
  EXPECT_TRUE(Box(750)->IsCut());
  EXPECT_TRUE(Box(750)->toolTip().contains(QStringLiteral(u"Значение: 123456789012")));
  EXPECT_FALSE(Box(750)->grab().isNull());  // drawn cut, an ellipsis where the text goes on
  Show(750, QStringLiteral(u"1"));
  EXPECT_FALSE(Box(750)->IsCut());
  EXPECT_FALSE(Box(750)->toolTip().contains(QStringLiteral(u"Значение")));
}

TEST_F(ParamPanelsTest, TooltipsNameSlotPageAndAddress) {
  struct Case {
    int slot;
    const char16_t* name;
    const char16_t* page;
    int address;
  };
  // The names themselves are the catalogue's; one row per kind of page.
  for (const Case& c : {Case{2, u"Стартовые обороты", u"Двигатель", 258}, Case{394, u"Канал 18 · ВПИ", u"Каналы · Экр3", 2178},
                        Case{1207, u"Вход 64 · Код упр.", u"Входы · 8", 4085}}) {
    const QString tip = Box(c.slot)->toolTip();
    EXPECT_TRUE(tip.contains(QString::fromUtf16(c.name))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QString::fromUtf16(c.page))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral(u"адрес ЭСППЗУ ") + QString::number(c.address))) << tip.toStdString();
  }
}

TEST_F(ParamPanelsTest, EveryTabOfEveryStripIsVisibleWithoutArrows) {
  const PanelSet& p = s_window->Panels();
  for (const ParamTabStrip* strip : {p.TabStrip_fun, p.TabStrip_psa, p.TabStrip_din, p.TabStrip_logic, p.TabStrip_prs}) {
    EXPECT_TRUE(strip->AllTabsVisible()) << strip->tabText(0).toStdString();
    for (int i = 0; i < strip->count(); ++i) {
      // A caption fits its tab.
      EXPECT_LE(strip->fontMetrics().horizontalAdvance(strip->tabText(i)), strip->tabRect(i).width())
          << strip->tabText(i).toStdString();
    }
  }
}

TEST_F(ParamPanelsTest, NoLabelIsCut) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "the fit depends on the installed fonts, and Wine's differ from Windows' own";
#endif
  // Legends, captions and headers on one line: the whole text within the label.
  int checked = 0;
  for (const QLabel* label : s_window->Panels().frm_prg->findChildren<QLabel*>()) {
    if (label->wordWrap() || label->text().isEmpty() || label->text().startsWith(QStringLiteral(u"256")) ||
        label->text().startsWith(QStringLiteral(u"512")) || label == s_window->lbl_modbus_off()) {
      continue;  // the two weights the design puts below the frame's edge
    }
    ++checked;
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
        << label->text().toStdString();
  }
  EXPECT_GT(checked, 300);
}

TEST_F(ParamPanelsTest, ColumnWordsOfMasloStandOverTheirBoxes) {
  const QGroupBox* page = s_window->Panels().frm_fun[2];
  struct Case {
    const char16_t* word;
    int slot;
  };
  for (const Case& c : {Case{u"П1", 51}, Case{u"П2", 53}, Case{u"Авария", 54}, Case{u"на старте", 40},
                        Case{u"после останова", 64}, Case{u"периодическое", 65}, Case{u"П2", 61}}) {
    const QRect box = Box(c.slot)->geometry();
    bool found = false;
    for (const QLabel* label : page->findChildren<QLabel*>()) {
      const QRect r = label->geometry();
      if (label->text() != QString::fromUtf16(c.word) || r.bottom() > box.top() || r.bottom() < box.top() - box.height()) {
        continue;
      }
      found = true;
      EXPECT_NEAR(r.center().x(), box.center().x(), 2) << c.slot;
    }
    EXPECT_TRUE(found) << c.slot;
  }
}

TEST(ParamKeyboardOrder, TabOrderCoversEverySlotOnceAndWalksRows) {
  std::vector<int> order = ParamKeyboardOrder::TabOrder();
  ASSERT_EQ(order.size(), static_cast<std::size_t>(params::kSlotCount));
  // Channel 1's name, then its РЗН, Тип, ... Авария, then channel 2's name.
  const auto at = std::find(order.begin(), order.end(), 89);
  ASSERT_NE(at, order.end());
  const std::vector<int> row(at, at + 10);
  EXPECT_EQ(row, (std::vector<int>{89, 161, 233, 305, 377, 449, 521, 593, 665, 90}));
  std::sort(order.begin(), order.end());
  EXPECT_TRUE(order.front() == 0 && order.back() == params::kSlotCount - 1 &&
              std::adjacent_find(order.begin(), order.end()) == order.end());
}

TEST(ParamKeyboardOrder, UpAndDownStayInTheScreensColumn) {
  struct Case {
    int slot, step, expected;
  };
  for (const Case& c : {Case{89, 1, 90}, Case{89, -1, -1}, Case{96, 1, -1}, Case{97, -1, -1}, Case{98, -1, 97},
                        Case{736, 1, -1}, Case{735, 1, 736}, Case{952, 1, 953}, Case{1207, 1, -1},
                        Case{1200, -1, -1}, Case{740, 1, -1}, Case{900, -1, -1}, Case{10, 1, -1}}) {
    EXPECT_EQ(ParamKeyboardOrder::ColumnNeighbour(c.slot, c.step), c.expected) << c.slot << " " << c.step;
  }
}

TEST_F(ParamPanelsTest, KeysMoveAlongRowsAndColumnsAndEnterStillWrites) {
  int entered = -1;
  ParamWindow::Actions actions;
  actions.boxKeyPress = [&entered](int index, int) { entered = index; };
  s_window->SetActions(actions);
  s_window->show();
  QApplication::setActiveWindow(s_window.get());
  Box(89)->setFocus();
  QApplication::processEvents();
  struct Step {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int focused;
  };
  for (const Step& s : {Step{Qt::Key_Tab, Qt::NoModifier, 161}, Step{Qt::Key_Down, Qt::NoModifier, 162},
                        Step{Qt::Key_Up, Qt::NoModifier, 161}, Step{Qt::Key_Up, Qt::NoModifier, 161},
                        Step{Qt::Key_Left, Qt::NoModifier, 161}, Step{Qt::Key_Tab, Qt::ShiftModifier, 89}}) {
    QTest::keyClick(QApplication::focusWidget(), s.key, s.modifiers);
    EXPECT_EQ(QApplication::focusWidget(), Box(s.focused)) << s.key;
  }
  QTest::keyClick(Box(89), Qt::Key_Return);
  EXPECT_EQ(entered, 89);
  s_window->SetActions({});
  s_window->hide();
}

TEST(ParamFormResizePx, BarsArePlacedAtEveryScreenAndScale) {
  struct Case {
    const char* name;
    int dpi;
    QSize inner, frame, screen;
    QSize size;  // what the window is to become
    bool v, h;
  };
  const int bar = 16;
  for (const Case& c : {
           // 10300 twips are 687 px at 96 dpi and read back as 10305: the bars still go in.
           Case{"full design at 96", 96, {1833, 687}, {0, 0}, {}, {1833, 687}, true, false},
           Case{"1366x768 at 96", 96, {1350, 687}, {0, 0}, {1366, 768}, {1350, 687}, true, true},
           // The limits hold for the outer size, frame included.
           Case{"1366x768 at 96, framed", 96, {1366, 687}, {10, 30}, {1366, 768}, {1356, 657}, true, true},
           Case{"1920x1080 at 144", 144, {1904, 1030}, {0, 0}, {1920, 1080}, {1904, 1030}, true, true},
           Case{"1920x1080 at 144, framed", 144, {1920, 1030}, {10, 30}, {1920, 1080}, {1910, 1000}, true, true},
           Case{"too tall at 144", 144, {2750, 1060}, {0, 0}, {}, {2750, 1030}, true, false},
       }) {
    const ParamPixelLayout out = ParamFormResizePx(TwipScale(c.dpi), c.inner, c.frame, c.screen, bar);
    EXPECT_EQ(out.size, c.size) << c.name;
    EXPECT_EQ(out.vVisible, c.v) << c.name;
    EXPECT_EQ(out.hVisible, c.h) << c.name;
    if (out.vVisible) { EXPECT_EQ(out.vBar, QRect(c.inner.width() - bar, 0, bar, c.inner.height())) << c.name; }
    if (out.hVisible) {
      EXPECT_EQ(out.hBar, QRect(0, c.inner.height() - bar, c.inner.width() - (c.v ? bar : 0), bar)) << c.name;
    }
  }
}

// ---- Resizing and scrolling ----------------------------------------------

// Outer and inner size are the same here (no window frame), as on the
// offscreen platform; the bars are 255 twips thick.
ParamResizeInput Size(int width, int height) {
  ParamResizeInput in;
  in.outerWidth = in.innerWidth = width;
  in.outerHeight = in.innerHeight = height;
  return in;
}

TEST(FormResize, ClampsAndPlacesBars) {
  struct Case {
    const char* name;
    int width, height;
    bool resize;
    int outWidth, outHeight;
    bool vVisible;
    int vMaximum;
    bool hVisible;
    int hMaximum;
  };
  const Case cases[] = {
      // 27135 + 355 = 27490 is not above 27500: no horizontal bar.
      {"FullWidth", 27500, 10300, false, 27500, 10300, true, 425, false, 0},
      {"NarrowerByHundred", 27400, 10300, false, 27400, 10300, true, 425, true, 285},
      {"TooSmall", 5000, 3000, true, 7000, 4000, true, 6725, true, 20685},
      {"TooLarge", 30000, 12000, true, 27500, 10300, true, 425, false, 0},
      {"SmallestAllowed", 7000, 4000, false, 7000, 4000, true, 6725, true, 20685},
  };
  for (const Case& c : cases) {
    const ParamResizeLayout out = ParamFormResize(Size(c.width, c.height));
    EXPECT_EQ(out.resize, c.resize) << c.name;
    EXPECT_EQ(out.outerWidth, c.outWidth) << c.name;
    EXPECT_EQ(out.outerHeight, c.outHeight) << c.name;
    EXPECT_EQ(out.vVisible, c.vVisible) << c.name;
    if (c.vVisible) { EXPECT_EQ(out.vMaximum, c.vMaximum) << c.name; }
    EXPECT_EQ(out.hVisible, c.hVisible) << c.name;
    if (c.hVisible) { EXPECT_EQ(out.hMaximum, c.hMaximum) << c.name; }
  }
}

TEST(FormResize, HorizontalBarWithoutVerticalOneUsesTheWholeWidth) {
  ParamResizeInput in = Size(20000, 10300);
  in.frameHeight = 5000;  // short enough for no vertical bar
  const ParamResizeLayout out = ParamFormResize(in);
  EXPECT_FALSE(out.vVisible);
  ASSERT_TRUE(out.hVisible);
  EXPECT_EQ(out.hWidth, 20000);
  EXPECT_EQ(out.hMaximum, 27135 - 20000 + 350);
  EXPECT_EQ(out.hTop, 10300 - 255);
}

TEST(ParamWindowScroll, ScrollValueZeroPutsFrameFiveTwipsRightOfItsDesignPlaceAndTooSmallSnapsBack) {
  const params::ParamSet set;
  ParamWindow window(nullptr, set);
  window.Form_Load();
  window.resize(window.Twips().Px(20000), window.Twips().Px(9000));
  window.show();
  QCoreApplication::processEvents();
  QScrollBar* h = window.HScroll1();
  QScrollBar* v = window.VScroll1();
  ASSERT_TRUE(h->isVisible());
  ASSERT_TRUE(v->isVisible());
  EXPECT_EQ(v->maximum(), 9975 - window.Twips().Twips(v->parentWidget()->height()) + 750);
  h->setValue(600);
  EXPECT_EQ(window.Panels().frm_prg->x(), window.Twips().Px(125 - 600));
  h->setValue(0);
  EXPECT_EQ(window.Panels().frm_prg->x(), window.Twips().Px(125));
  v->setValue(300);
  EXPECT_EQ(window.Panels().frm_prg->y(), window.Twips().Px(-300));
  // A control that takes the focus off the screen is scrolled into view
  // (Shift+Tab onto "Записать всё в ЭСППЗУ").
  h->setValue(0);
  QApplication::setActiveWindow(&window);
  window.cmd_writeall()->setFocus(Qt::BacktabFocusReason);
  QCoreApplication::processEvents();
  const QRect button(window.cmd_writeall()->mapTo(&window, QPoint(0, 0)), window.cmd_writeall()->size());
  EXPECT_TRUE(window.rect().contains(button));
  EXPECT_GT(h->value(), 0);

  window.setMinimumSize(0, 0);  // let the handler, not the size hints, do the clamping
  window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  window.resize(window.Twips().Px(3000), window.Twips().Px(2000));
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  // The limits hold for the outer size, frame and caption included; the
  // menu bar and the status line come on top of the page area.
  EXPECT_EQ(window.frameGeometry().width(), window.Twips().Px(7000));
  EXPECT_EQ(window.frameGeometry().height() - window.MenuBar()->height() - window.StatusLine()->height(),
            window.Twips().Px(4000));
}

}  // namespace
}  // namespace zart::ui

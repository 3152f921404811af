// The parameters window as built: every box on its page, tabs and pages,
// colours, and on a service laptop's screen values shown whole, every tab
// and legend line visible, the bars always placed, the keyboard walking the
// tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <set>

#include <QApplication>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>
#include <QTabBar>
#include <QTest>
#include <QWidget>

#include "params/box_colors.h"
#include "params/catalogue.h"
#include "ui/param_box.h"
#include "ui/param_keyboard_order.h"
#include "ui/param_resize.h"
#include "ui/param_window.h"

namespace zart::ui {
namespace {

using params::PageGroup;

// One window for the suite: building it is what is under test, and the
// checks below only read it (the tab test restores what it changes).
class ParamPanelsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_window = std::make_unique<ParamWindow>(nullptr, [] {});
    s_window->Form_Load();
    s_catalogue.InitParamTables();
  }
  static void TearDownTestSuite() { s_window.reset(); }

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

  static std::unique_ptr<ParamWindow> s_window;
  static params::ParamCatalogue s_catalogue;
};

std::unique_ptr<ParamWindow> ParamPanelsTest::s_window;
params::ParamCatalogue ParamPanelsTest::s_catalogue;

TEST_F(ParamPanelsTest, EverySlotHasOneBoxOnTheCataloguesPage) {
  std::set<const ParamBox*> seen;
  for (int slot = 0; slot < params::kSlotCount; ++slot) {
    const ParamBox* box = P().txt_par[static_cast<std::size_t>(slot)];
    ASSERT_NE(box, nullptr) << "slot " << slot;
    EXPECT_EQ(box->Index(), slot);
    EXPECT_TRUE(seen.insert(box).second) << "slot " << slot << " shares a box";
    EXPECT_EQ(box->parentWidget(), FrameOf(s_catalogue.PageOf(slot))) << "slot " << slot;
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

TEST_F(ParamPanelsTest, ColoursAreTheBoxesBaseColour) {
  s_window->SetColor(5, params::COLOR_FROM_FILE);
  EXPECT_EQ(s_window->Color(5), params::COLOR_FROM_FILE);
  EXPECT_EQ(P().txt_par[5]->palette().color(QPalette::Base), QColor(75, 175, 255));
  s_window->SetColor(5, params::COLOR_CHANGED);
  EXPECT_EQ(P().txt_par[5]->palette().color(QPalette::Base), QColor(255, 255, 255));
  EXPECT_EQ(s_window->Shapes()[6]->palette().color(QPalette::Window), QColor(255, 0, 0)) << "the legend's colours";
  // Out-of-range slots are ignored rather than faulting.
  s_window->SetColor(params::kSlotCount, params::COLOR_FROM_FILE);
  s_window->SetText(-1, QStringLiteral(u"x"));
  EXPECT_EQ(s_window->Text(params::kSlotCount), QString());
}


// Values a controller really holds, in the narrowest boxes: three-box rows of
// "Масло", logic inputs, 4-byte channel names.
TEST_F(ParamPanelsTest, ValuesInNarrowBoxesShowWholeFromTheirStart) {
  struct Case {
    int slot;
    const char16_t* text;
  };
  for (const Case& c : {Case{65, u"2390.8"}, Case{64, u"6553.5"}, Case{51, u"11.6"}, Case{61, u"25.5"},
                        Case{738, u"23394"}, Case{745, u"65535"}, Case{887, u"2031"}, Case{93, u"ШЩЖМ"},
                        Case{305, u"-3276.8"}}) {
    const QString text = QString::fromUtf16(c.text);
    ParamBox* box = Box(c.slot);
    s_window->SetText(c.slot, text);
    EXPECT_FALSE(box->IsCut()) << c.slot;
    EXPECT_EQ(box->cursorPosition(), 0) << c.slot;
    // Whole: the text in the box's font fits between its inner margins.
    EXPECT_LE(box->fontMetrics().horizontalAdvance(text), box->width() - 4) << c.slot;
  }
}

TEST_F(ParamPanelsTest, TextTooLongForAnyFontIsMarkedAndNamedInTheTooltip) {
  const QString text = QStringLiteral(u"123456789012");
  s_window->SetText(750, text);
  EXPECT_TRUE(Box(750)->IsCut());
  EXPECT_TRUE(Box(750)->toolTip().contains(QStringLiteral(u"Значение: 123456789012")));
  s_window->SetText(750, QStringLiteral(u"1"));
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
  std::vector<int> all(params::kSlotCount);
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(order, all);
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
  EXPECT_EQ(ParamFrameLeftForScroll(0), 125);
  EXPECT_EQ(ParamFrameTopForScroll(425), -425);

  ParamWindow window(nullptr, [] {});
  window.Form_Load();
  window.resize(window.Twips().Px(20000), window.Twips().Px(9000));
  window.show();
  QCoreApplication::processEvents();
  QScrollBar* h = window.HScroll1();
  QScrollBar* v = window.VScroll1();
  ASSERT_TRUE(h->isVisible());
  ASSERT_TRUE(v->isVisible());
  EXPECT_EQ(v->maximum(), 9975 - 9000 + 750);
  h->setValue(600);
  EXPECT_EQ(window.Panels().frm_prg->x(), window.Twips().Px(125 - 600));
  h->setValue(0);
  EXPECT_EQ(window.Panels().frm_prg->x(), window.Twips().Px(125));
  v->setValue(300);
  EXPECT_EQ(window.Panels().frm_prg->y(), window.Twips().Px(-300));

  window.setMinimumSize(0, 0);  // let the handler, not the size hints, do the clamping
  window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  window.resize(window.Twips().Px(3000), window.Twips().Px(2000));
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  // The limits hold for the outer size, frame and caption included.
  EXPECT_EQ(window.frameGeometry().width(), window.Twips().Px(7000));
  EXPECT_EQ(window.frameGeometry().height(), window.Twips().Px(4000));
}

}  // namespace
}  // namespace zart::ui

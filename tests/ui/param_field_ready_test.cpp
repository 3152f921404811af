// The parameters window on a service laptop's screen: values shown whole,
// every tab and legend line visible, the bars always placed, the keyboard
// walking the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include "params/catalogue.h"
#include "ui/param_box.h"
#include "ui/param_keyboard_order.h"
#include "ui/param_resize.h"
#include "ui/param_window.h"

namespace zart::ui {
namespace {

class ParamFieldReadyTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_window = std::make_unique<ParamWindow>(nullptr, [] {});
    s_window->Form_Load();
  }
  static void TearDownTestSuite() { s_window.reset(); }
  static ParamBox* Box(int slot) { return s_window->Panels().txt_par[static_cast<std::size_t>(slot)]; }

  static std::unique_ptr<ParamWindow> s_window;
};
std::unique_ptr<ParamWindow> ParamFieldReadyTest::s_window;

// Values a controller really holds, in the narrowest boxes: three-box rows of
// "Масло", logic inputs, 4-byte channel names.
TEST_F(ParamFieldReadyTest, ValuesInNarrowBoxesShowWholeFromTheirStart) {
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

TEST_F(ParamFieldReadyTest, TextTooLongForAnyFontIsMarkedAndNamedInTheTooltip) {
  const QString text = QStringLiteral(u"123456789012");
  s_window->SetText(750, text);
  EXPECT_TRUE(Box(750)->IsCut());
  EXPECT_TRUE(Box(750)->toolTip().contains(QStringLiteral(u"Значение: 123456789012")));
  s_window->SetText(750, QStringLiteral(u"1"));
  EXPECT_FALSE(Box(750)->IsCut());
  EXPECT_FALSE(Box(750)->toolTip().contains(QStringLiteral(u"Значение")));
}

TEST_F(ParamFieldReadyTest, TooltipsNameSlotPageAndAddress) {
  struct Case {
    int slot;
    const char16_t* name;
    const char16_t* page;
    int address;
  };
  for (const Case& c : {Case{2, u"Стартовые обороты", u"Двигатель", 258}, Case{64, u"Предельное время прокачки",
                                                                             u"Масло", 596},
                        Case{394, u"Канал 18 · ВПИ", u"Каналы · Экр3", 2178}, Case{749, u"М2 · вход 3", u"М2", 2816},
                        Case{873, u"Н1 · вход 2", u"НЕ1", 3064}, Case{904, u"Реле 17", u"17-24", 672},
                        Case{1207, u"Вход 64 · Код упр.", u"Входы · 8", 4085}}) {
    const QString tip = Box(c.slot)->toolTip();
    EXPECT_TRUE(tip.contains(QString::fromUtf16(c.name))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QString::fromUtf16(c.page))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral(u"адрес ЭСППЗУ ") + QString::number(c.address))) << tip.toStdString();
  }
}

TEST_F(ParamFieldReadyTest, EveryTabOfEveryStripIsVisibleWithoutArrows) {
  const PanelSet& p = s_window->Panels();
  for (const ParamTabStrip* strip : {p.TabStrip_fun, p.TabStrip_psa, p.TabStrip_din, p.TabStrip_logic, p.TabStrip_prs}) {
    EXPECT_TRUE(strip->AllTabsVisible()) << strip->tabText(0).toStdString();
    for (int i = 0; i < strip->count(); ++i) {
      // A caption fits its tab.
      EXPECT_LE(strip->fontMetrics().horizontalAdvance(strip->tabText(i)), strip->tabRect(i).width())
          << strip->tabText(i).toStdString();
    }
  }
  EXPECT_EQ(p.TabStrip_logic->count(), 17);
}

TEST_F(ParamFieldReadyTest, NoLabelIsCut) {
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

TEST_F(ParamFieldReadyTest, ColumnWordsOfMasloStandOverTheirBoxes) {
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

TEST_F(ParamFieldReadyTest, KeysMoveAlongRowsAndColumnsAndEnterStillWrites) {
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
           Case{"1920x1080 at 96", 96, {1833, 687}, {0, 0}, {1920, 1080}, {1833, 687}, true, false},
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

}  // namespace
}  // namespace zart::ui

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include <QGroupBox>
#include <QLabel>
#include <QTabBar>

#include "params/box_colors.h"
#include "params/catalogue.h"
#include "ui/param_box.h"
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
  EXPECT_EQ(P().lblc_dout[63]->text(), QStringLiteral(u"64"));
}

TEST_F(ParamPanelsTest, PlaceholderTexts) {
  struct Row {
    int slot;
    const char16_t* text;
  };
  const Row rows[] = {
      {0, u"-"}, {89, u"-"}, {90, u"90"}, {97, u"9"}, {160, u"72"}, {161, u"161"}, {737, u"-"},
      {738, u"738"}, {888, u"-"}, {952, u"-"}, {960, u"9"}, {1015, u"64"}, {1207, u"1207"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(s_window->Text(row.slot), QString::fromUtf16(row.text)) << "slot " << row.slot;
  }
  EXPECT_EQ(P().lbl_notout[15]->text(), QStringLiteral(u"100"));
  EXPECT_EQ(P().lblc_ch_n[71]->text(), QStringLiteral(u"72"));
}

TEST_F(ParamPanelsTest, CaptionsOfFramesAndTabs) {
  EXPECT_EQ(P().frm_logic[14]->title(), QStringLiteral(u"Логический блок мажоритарный М15. Выход 84"));
  EXPECT_EQ(P().frm_logic[15]->title(), QStringLiteral(u"Логический блок Н1 (8НЕ8)."));
  EXPECT_EQ(P().frm_prs[7]->title(), QStringLiteral(u"Релейные выходы с 57 по 64"));

  auto captions = [](const QTabBar* strip) {
    QStringList list;
    for (int t = 0; t < strip->count(); ++t) list << strip->tabText(t);
    return list.join(QLatin1Char(' '));
  };
  EXPECT_EQ(captions(P().TabStrip_fun), QStringLiteral(u"Двигатель ОЖ Масло Токовое упр Система"));
  EXPECT_EQ(captions(P().TabStrip_logic),
            QStringLiteral(u"М1 М2 М3 М4 М5 М6 М7 М8 М9 М10 М11 М12 М13 М14 М15 НЕ1 НЕ2"));
  EXPECT_EQ(captions(P().TabStrip_prs), QStringLiteral(u"1-8 9-16 17-24 25-32 33-40 41-48 49-56 57-64"));
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

}  // namespace
}  // namespace zart::ui

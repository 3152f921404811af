#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "params/catalogue.h"
#include "params/function_pages.h"
#include "params/slot_names.h"

namespace zart::params {
namespace {

class CatalogueTest : public ::testing::Test {
 protected:
  CatalogueTest() { cat.InitParamTables(); }
  int size(int k) const { return cat.par_size[static_cast<std::size_t>(k)]; }
  double scale(int k) const { return cat.par_scale[static_cast<std::size_t>(k)]; }
  int addr(int k) const { return cat.par_addr[static_cast<std::size_t>(k)]; }
  ParamCatalogue cat;
};

TEST_F(CatalogueTest, SlotsTile2996BytesBetween256And4085WithoutSharing) {
  std::vector<int> owner(4096, -1);
  int total = 0;
  for (int k = 0; k < kSlotCount; ++k) {
    ASSERT_TRUE(size(k) == 1 || size(k) == 2 || size(k) == 4 || size(k) == 12) << k;
    for (int b = addr(k); b < addr(k) + size(k); ++b) {
      ASSERT_GE(b, 256) << k;
      ASSERT_LE(b, 4085) << k;
      ASSERT_EQ(owner[static_cast<std::size_t>(b)], -1) << "byte " << b << " of slots " << owner[static_cast<std::size_t>(b)] << " and " << k;
      owner[static_cast<std::size_t>(b)] = k;
      ++total;
    }
  }
  EXPECT_EQ(total, 2996);
  EXPECT_EQ(owner[256], 0);
  EXPECT_EQ(owner[4085], 1207);
}

TEST_F(CatalogueTest, UnusedStretchesBelongToNoSlot) {
  std::vector<bool> used(4096, false);
  for (int k = 0; k < kSlotCount; ++k)
    for (int b = addr(k); b < addr(k) + size(k); ++b) used[static_cast<std::size_t>(b)] = true;
  const std::vector<std::pair<int, int>> gaps = {{284, 284},  {288, 319},  {322, 371},   {375, 376},  {378, 383},
                                                 {385, 511},  {520, 575},  {624, 639},   {768, 1279}, {3094, 3125}};
  std::vector<bool> inGap(4096, false);
  for (auto [from, to] : gaps)
    for (int b = from; b <= to; ++b) inGap[static_cast<std::size_t>(b)] = true;
  // Between 256 and 4085 a byte is used exactly when it lies in no stretch.
  for (int b = 256; b <= 4085; ++b) EXPECT_NE(used[static_cast<std::size_t>(b)], inGap[static_cast<std::size_t>(b)]) << b;
}

TEST_F(CatalogueTest, FifteenRunsOfContiguousSlots) {
  std::vector<int> runStarts{0};
  for (int k = 0; k + 1 < kSlotCount; ++k)
    if (addr(k + 1) != addr(k) + size(k)) runStarts.push_back(k + 1);
  EXPECT_EQ(runStarts.size(), 15u);
  // Slot 10 is the only two-byte slot of the first list, and slot 11 after
  // it lives elsewhere: the two never share a run.
  EXPECT_EQ(size(10), 2);
  EXPECT_EQ(addr(11), 283);
  EXPECT_NE(std::find(runStarts.begin(), runStarts.end(), 11), runStarts.end());
  // The channel table runs on into the logic blocks without a break.
  EXPECT_EQ(std::find(runStarts.begin(), runStarts.end(), 737), runStarts.end());
  for (int k : {89, 888, 952}) EXPECT_NE(std::find(runStarts.begin(), runStarts.end(), k), runStarts.end()) << k;
}

TEST_F(CatalogueTest, ChannelNamesAreFourLongThenFourShortPerGroupOfEight) {
  for (int c = 1; c <= 72; ++c) {
    const int slot = 89 + (c - 1);
    const int r = (c - 1) % 8;
    const int b = (c - 1) / 8;
    EXPECT_TRUE(cat.IsText(slot));
    EXPECT_EQ(size(slot), r < 4 ? 12 : 4) << c;
    EXPECT_EQ(addr(slot), r < 4 ? 1280 + 64 * b + 12 * r : 1280 + 64 * b + 48 + 4 * (r - 4)) << c;
  }
  for (int d = 1; d <= 64; ++d) {
    EXPECT_TRUE(cat.IsText(951 + d));
    EXPECT_EQ(size(951 + d), 12);
  }
}

TEST_F(CatalogueTest, KindsOfTheDocumentedSlots) {
  struct Row {
    int slot, size;
    double scale;
    int address;
  };
  // A sample across every group, with the kinds the controller documents.
  const Row rows[] = {{0, 1, 1, 256},       {2, 1, 20, 258},       {10, 2, 1, 266},     {23, 1, 1, 279},
                      {26, 1, 1, 287},      {37, 1, -1, 512},      {38, 1, -1, 513},    {41, 1, 0.1, 516},
                      {44, 1, 1, 519},      {47, 2, 0.1, 578},     {50, 1, 20, 582},    {64, 2, 0.1, 596},
                      {67, 1, -1, 602},     {72, 1, 0.5, 607},     {88, 1, 1, 623},     {161, 1, 1, 1856},
                      {305, 2, -0.1, 2000}, {665, 2, -0.1, 2648},  {736, 2, -0.1, 2790}, {737, 2, 1, 2792},
                      {872, 2, 1, 3062},    {887, 2, 1, 3092},     {888, 2, 1, 640},    {951, 2, 1, 766},
                      {952, 12, TEXT_KIND, 3126}, {1016, 1, 1, 3894}, {1207, 1, 1, 4085}};
  for (const Row& r : rows) {
    EXPECT_EQ(size(r.slot), r.size) << r.slot;
    EXPECT_EQ(scale(r.slot), r.scale) << r.slot;
    EXPECT_EQ(addr(r.slot), r.address) << r.slot;
  }
}

TEST_F(CatalogueTest, RebuildingChangesNothingAndAddressesFindTheirSlot) {
  ParamCatalogue again = cat;
  again.InitParamTables();
  EXPECT_EQ(again.par_size, cat.par_size);
  EXPECT_EQ(again.par_scale, cat.par_scale);
  EXPECT_EQ(again.par_addr, cat.par_addr);
  for (int k = 0; k < kSlotCount; ++k) ASSERT_EQ(cat.SlotAtAddress(addr(k)), k);
  for (int a : {-1, 0, 255, 267, 284, 1281, 4086, 4096, 70000}) EXPECT_EQ(cat.SlotAtAddress(a), -1) << a;
  EXPECT_EQ(ParamCatalogue().SlotAtAddress(0), -1);
}

TEST_F(CatalogueTest, EveryFunctionSlotIsOnExactlyOnePage) {
  std::vector<int> seen(89, 0);
  const auto& pages = FunctionPages();
  int footnotes = 0;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    for (const FunctionRow& row : pages[p].rows) {
      EXPECT_FALSE(row.caption.isEmpty());
      EXPECT_LE(row.boxSlots.size(), 3u);
      if (row.boxSlots.empty()) ++footnotes;
      for (int slot : row.boxSlots) {
        ASSERT_GE(slot, 0);
        ASSERT_LT(slot, 89);
        ++seen[static_cast<std::size_t>(slot)];
        EXPECT_EQ(cat.PageOf(slot), (PageRef{PageGroup::function, static_cast<int>(p)})) << slot;
      }
    }
  }
  for (int slot = 0; slot < 89; ++slot) EXPECT_EQ(seen[static_cast<std::size_t>(slot)], 1) << slot;
  EXPECT_EQ(footnotes, 1);
}

TEST_F(CatalogueTest, PagesOfTheGeneratedTables) {
  struct Row {
    int slot;
    PageRef page;
  };
  const Row rows[] = {
      {89, {PageGroup::channel, 0}},   {96, {PageGroup::channel, 0}},   {97, {PageGroup::channel, 1}},
      {160, {PageGroup::channel, 8}},  {161, {PageGroup::channel, 0}},  {736, {PageGroup::channel, 8}},
      {737, {PageGroup::logic, 0}},    {745, {PageGroup::logic, 0}},    {746, {PageGroup::logic, 1}},
      {871, {PageGroup::logic, 14}},   {872, {PageGroup::logic, 15}},   {879, {PageGroup::logic, 15}},
      {880, {PageGroup::logic, 16}},   {887, {PageGroup::logic, 16}},   {888, {PageGroup::relay, 0}},
      {896, {PageGroup::relay, 1}},    {951, {PageGroup::relay, 7}},    {952, {PageGroup::input, 0}},
      {1015, {PageGroup::input, 7}},   {1016, {PageGroup::input, 0}},   {1207, {PageGroup::input, 7}},
  };
  for (const Row& r : rows) EXPECT_EQ(cat.PageOf(r.slot), r.page) << r.slot;
}

// Lists, reports and tooltips tell the user which parameter they mean by
// name alone, so two slots must never share one.
TEST_F(CatalogueTest, EverySlotHasADistinctNameAndATab) {
  std::set<QString> names;
  for (int k = 0; k < kSlotCount; ++k) {
    const QString name = SlotName(k);
    ASSERT_FALSE(name.isEmpty()) << k;
    EXPECT_TRUE(names.insert(name).second) << k << " repeats " << name.toStdString();
    EXPECT_FALSE(SlotPageTitle(cat, k).isEmpty()) << k;
  }
  const std::pair<int, const char16_t*> rows[] = {
      {2, u"Стартовые обороты (об/мин)"},
      {53, u"Множители уставок давления масла: П2"},
      {64, u"Предельное время прокачки (сек): после останова"},
      {38, u"Т масла вкл | откл  ЭН  (°C): откл"},
      {88, u"Канал Больше|Меньше (1-64): Меньше"},
      {82, u"Выходной токовый канал (1-8) №2"},
      {89 + 72 * 3 + 11, u"Канал 12 · НПИ"},
      {1080 + 39, u"Вход 40 · Тип"},
      {737 + 18, u"М3 · порог"},
      {737 + 18 + 5, u"М3 · вход 5"},
      {873, u"Н1 · вход 2"},
      {904, u"Реле 17"},
  };
  for (const auto& [slot, name] : rows) EXPECT_EQ(SlotName(slot), QString::fromUtf16(name)) << slot;
  EXPECT_EQ(SlotPageTitle(cat, 904), QStringLiteral(u"Реле · 17-24"));
  EXPECT_EQ(SlotPageTitle(cat, 886), QStringLiteral(u"Логика · НЕ2"));
  EXPECT_EQ(SlotPageTitle(cat, 53), QStringLiteral(u"Масло"));
}

}  // namespace
}  // namespace zart::params

#include <gtest/gtest.h>

#include <set>
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
  int addr(int k) const { return cat.par_addr[static_cast<std::size_t>(k)]; }
  ParamCatalogue cat;
};

// Transfers are built from this map: a byte of two slots, or one outside
// 256..4085, would corrupt the controller's EEPROM on write-all.
TEST_F(CatalogueTest, SlotsTile2996BytesOfTheParameterMapWithoutSharing) {
  std::vector<int> owner(4096, -1);
  int bytes = 0;
  for (int k = 0; k < kSlotCount; ++k) {
    ASSERT_TRUE(size(k) == 1 || size(k) == 2 || size(k) == 4 || size(k) == 12) << k;
    ASSERT_TRUE(addr(k) >= 256 && addr(k) + size(k) <= 4086) << k;
    bytes += size(k);
    for (int b = addr(k); b < addr(k) + size(k); ++b) {
      ASSERT_EQ(owner[static_cast<std::size_t>(b)], -1) << "byte " << b << " of slot " << k;
      owner[static_cast<std::size_t>(b)] = k;
    }
  }
  EXPECT_EQ(bytes, 2996);
  for (int k = 0; k < kSlotCount; ++k) ASSERT_EQ(cat.SlotAtAddress(addr(k)), k);
  for (int a : {-1, 255, 267, 284, 1281, 4086, 70000}) EXPECT_EQ(cat.SlotAtAddress(a), -1) << a;
  EXPECT_EQ(ParamCatalogue().SlotAtAddress(0), -1);
}

TEST_F(CatalogueTest, EverySlotIsOnOnePageWithADistinctName) {
  std::vector<int> seen(89, 0);
  const auto& pages = FunctionPages();
  for (std::size_t p = 0; p < pages.size(); ++p)
    for (const FunctionRow& row : pages[p].rows)
      for (int slot : row.boxSlots) {
        ++seen[static_cast<std::size_t>(slot)];
        EXPECT_EQ(cat.PageOf(slot), (PageRef{PageGroup::function, static_cast<int>(p)})) << slot;
      }
  for (int slot = 0; slot < 89; ++slot) EXPECT_EQ(seen[static_cast<std::size_t>(slot)], 1) << slot;
  // Boundaries of the generated tables.
  const std::pair<int, PageRef> pagesOf[] = {
      {89, {PageGroup::channel, 0}}, {97, {PageGroup::channel, 1}},  {161, {PageGroup::channel, 0}},
      {736, {PageGroup::channel, 8}}, {737, {PageGroup::logic, 0}},  {872, {PageGroup::logic, 15}},
      {887, {PageGroup::logic, 16}}, {888, {PageGroup::relay, 0}},   {951, {PageGroup::relay, 7}},
      {952, {PageGroup::input, 0}},  {1016, {PageGroup::input, 0}}, {1207, {PageGroup::input, 7}}};
  for (const auto& [slot, page] : pagesOf) EXPECT_EQ(cat.PageOf(slot), page) << slot;

  // Lists, reports and tooltips name a parameter by its name alone.
  std::set<QString> names;
  for (int k = 0; k < kSlotCount; ++k) {
    ASSERT_TRUE(names.insert(SlotName(k)).second) << k << " repeats " << SlotName(k).toStdString();
    EXPECT_FALSE(SlotPageTitle(cat, k).isEmpty()) << k;
  }
  const std::pair<int, const char16_t*> named[] = {
      {2, u"Стартовые обороты (об/мин)"},       {64, u"Предельное время прокачки (сек): после останова"},
      {88, u"Канал Больше|Меньше (1-64): Меньше"}, {89 + 72 * 3 + 11, u"Канал 12 · НПИ"},
      {1080 + 39, u"Вход 40 · Тип"},             {737 + 18 + 5, u"М3 · вход 5"},
      {873, u"Н1 · вход 2"},                     {904, u"Реле 17"}};
  for (const auto& [slot, name] : named) EXPECT_EQ(SlotName(slot), QString::fromUtf16(name)) << slot;
  EXPECT_EQ(SlotPageTitle(cat, 904), QStringLiteral(u"Реле · 17-24"));
  EXPECT_EQ(SlotPageTitle(cat, 886), QStringLiteral(u"Логика · НЕ2"));
  EXPECT_EQ(SlotPageTitle(cat, 53), QStringLiteral(u"Масло"));
}

}  // namespace
}  // namespace zart::params

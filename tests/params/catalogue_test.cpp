#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "params/catalogue.h"
#include "params/frame_description.h"
#include "params/function_pages.h"
#include "params/slot_names.h"
#include "support/frames.h"

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

// ---- The traffic monitor's words for each frame ----------------------------

using Bytes = std::vector<std::uint8_t>;

class FrameDescriptionTest : public ::testing::Test {
 protected:
  FrameDescriptionTest() : description(catalogue, QLocale::c()) { catalogue.InitParamTables(); }
  ParamCatalogue catalogue;
  FrameDescription description;
};

struct Row {
  Bytes request;  // of a reply row: the request it answers, if it matters
  Bytes body;     // without the CRC
  QString text;
};

TEST_F(FrameDescriptionTest, Requests) {
  const std::vector<std::pair<Bytes, QString>> rows{
      {{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D}, QStringLiteral(u"Чтение состояния")},
      {{0x07, 0x04, 0x00, 0x00, 0x00, 0x02}, QStringLiteral(u"Чтение регистров 0..1")},
      {{0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x7B, 0x00, 0x00}, QStringLiteral(u"Пульс №123, защиты вкл.")},
      {{0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0xFF, 0xFE, 0x00, 0x01},
       QStringLiteral(u"Пульс №65534, защиты откл.")},
      {{0x07, 0x06, 0x01, 0x92, 0x12, 0x38}, QStringLiteral(u"Команда СТАРТ")},
      {{0x07, 0x06, 0x01, 0x92, 0x45, 0x69}, QStringLiteral(u"Команда СТОП")},
      {{0x07, 0x06, 0x01, 0x92, 0xAB, 0xC4}, QStringLiteral(u"Команда ОТКЛ. ЗАЩ")},
      {{0x07, 0x06, 0x01, 0x92, 0x00, 0x0A}, QStringLiteral(u"Команда 0x000A")},
      {{0x07, 0x64, 0x01, 0x0A, 0x02},
       QStringLiteral(u"Чтение ЭСППЗУ 266..267 (2 байта): слот 10 «%1»").arg(SlotName(10))},
      {{0x07, 0x64, 0x01, 0x00, 0x0A},
       QStringLiteral(u"Чтение ЭСППЗУ 256..265 (10 байт): слоты 0..9, «%1» … «%2»").arg(SlotName(0), SlotName(9))},
      {{0x07, 0x64, 0x01, 0x16, 0x01}, QStringLiteral(u"Чтение ЭСППЗУ 278 (1 байт): слот 22 «%1»").arg(SlotName(22))},
      {{0x07, 0x64, 0x00, 0x05, 0x16}, QStringLiteral(u"Чтение ЭСППЗУ 5..26 (22 байта): нет такого слота")},
      {{0x07, 0x65, 0x01, 0x17, 0x01, 0x0C}, QStringLiteral(u"Запись ЭСППЗУ 279: Адрес Modbus = 12")},
      // The count says 3, the frame carries 1 data byte: only what is there.
      {{0x07, 0x65, 0x01, 0x17, 0x03, 0x0C}, QStringLiteral(u"Запись ЭСППЗУ 279: Адрес Modbus = 12")},
      {{0x07, 0x2B, 0x0E, 0x01}, QStringLiteral(u"Функция 43")},
      {{0x07, 0x04}, QStringLiteral(u"Обрывок кадра")},
  };
  for (const auto& [body, text] : rows) {
    const Bytes frame = body.size() < 3 ? body : testing::WithCrc(body);
    EXPECT_EQ(description.DescribeRequest(frame).toStdString(), text.toStdString()) << FrameDescription::Hex(frame).toStdString();
  }
}

TEST_F(FrameDescriptionTest, Replies) {
  const Bytes status = testing::WithCrc({0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D});
  Bytes dra{0x07, 0x04, 250, 0x02, 0x05, 0x01, 0x00, 0x00, 0x01, 0x05, 0xDC, 0x00, 0x64, 0xFF, 0xFB};
  dra.resize(253, 0);
  Bytes dgu = dra;
  dgu[8] = 0;
  dgu[14] = 0xF6;  // 24.6 V
  dgu[13] = 0x00;
  const std::vector<Row> rows{
      {status, dra, QStringLiteral(u"Состояние: ДРА, двиг. 1500 об/мин, вал 100 об/мин, АКБ -0.5 В")},
      {status, dgu, QStringLiteral(u"Состояние: ДГУ, двиг. 1500 об/мин, АКБ 24.6 В")},
      {{}, {0x07, 0x04, 2, 0x00, 0x01}, QStringLiteral(u"Состояние (неполный ответ)")},
      {{}, {0x07, 0x06, 0x01, 0x92, 0x45, 0x69}, QStringLiteral(u"Команда СТОП принята")},
      {{}, {0x07, 0x10, 0x01, 0x90, 0x00, 0x02}, QStringLiteral(u"Пульс принят")},
      {{}, {0x07, 0x64, 0x01, 0x17, 0x01, 0x0C}, QStringLiteral(u"ЭСППЗУ 279: Адрес Modbus = 12")},
      // Slot 22 counts in tens of hours: the raw 5 is shown as 50.
      {{}, {0x07, 0x64, 0x01, 0x16, 0x02, 0x05, 0x0C},
       QStringLiteral(u"ЭСППЗУ 278..279: %1 = 50; Адрес Modbus = 12").arg(SlotName(22))},
      {{}, {0x07, 0x64, 0x01, 0x17, 0x02, 0x0C, 0x01},
       QStringLiteral(u"ЭСППЗУ 279..280: Адрес Modbus = 12; %1 = 1").arg(SlotName(24))},
      {{}, {0x07, 0xE4, 0x02}, QStringLiteral(u"Отказ на функцию 100: код 2, недопустимый адрес данных")},
      {{}, {0x07, 0x86, 0x06}, QStringLiteral(u"Отказ на функцию 6: код 6, ведомое устройство занято")},
      {{}, {0x07, 0xFF, 0x00}, QStringLiteral(u"Отказ на функцию 127: код 0, нестандартный код")},
  };
  for (const Row& row : rows) {
    const Bytes frame = testing::WithCrc(row.body);
    EXPECT_EQ(description.DescribeReply(row.request, frame).toStdString(), row.text.toStdString()) << FrameDescription::Hex(frame).toStdString();
  }
}

TEST_F(FrameDescriptionTest, VerdictsHexAndIdleTraffic) {
  link::RecordedExchange e;
  e.verdict = link::ExchangeVerdict::exception;
  e.reply = {0x07, 0xE4, 0xFF};
  e.replyLength = 5;
  EXPECT_EQ(FrameDescription::VerdictText(e), QStringLiteral(u"исключение 255"));
  e.verdict = link::ExchangeVerdict::crc_mismatch;
  EXPECT_EQ(FrameDescription::VerdictText(e), QStringLiteral(u"несовпадение КС"));
  e.verdict = link::ExchangeVerdict::no_answer;
  EXPECT_EQ(FrameDescription::VerdictText(e), QStringLiteral(u"нет ответа"));

  const Bytes status{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78};
  EXPECT_EQ(FrameDescription::Hex(status), QStringLiteral(u"07 04 01 2C 00 7D F0 78"));
  EXPECT_EQ(FrameDescription::Hex({}), QString());
  EXPECT_TRUE(FrameDescription::IsIdleRequest(status));
  EXPECT_TRUE(FrameDescription::IsIdleRequest(
      testing::WithCrc({0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x00})));
  EXPECT_FALSE(FrameDescription::IsIdleRequest(testing::WithCrc({0x07, 0x06, 0x01, 0x92, 0x45, 0x69})));
  EXPECT_FALSE(FrameDescription::IsIdleRequest(testing::WithCrc({0x07, 0x64, 0x01, 0x00, 0x0A})));
}

}  // namespace
}  // namespace zart::params

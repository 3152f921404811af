// The parameter editor over the real exchange, against the simulator's
// controller core: transfers, single writes, hostile replies, progress.
#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>
#include <limits>
#include <vector>

#include "link/exchange_cycle.h"
#include "link/rx_store.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/conversions.h"
#include "params/fake_param_boxes.h"
#include "params/param_editor.h"
#include "support/fake_link_view.h"
#include "support/frames.h"
#include "support/sim_port.h"

namespace zart::params {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::WithCrc;

class ParamEditorTest : public ::testing::Test {
 protected:
  ParamEditorTest() : cycle(port, view), editor(cycle, cat, view) {
    cat.InitParamTables();
    EXPECT_TRUE(port.Open().ok());
    editor.SetBoxesProvider([this] { return boxesPtr; });
    cycle.SetParamHandler([this](const link::RxStore& rx) { editor.HandleParamReply(rx); });
    cycle.SetCompletionHandler([this](int slot) { editor.OnRequestCompleted(slot); });
    editor.SetProgressHandler([this](const TransferProgress& p) { progressSeen.push_back(p); });
  }
  ~ParamEditorTest() override { QLocale::setDefault(QLocale::c()); }

  /// Queue slot i as queued: placeholder, function code, data.
  Bytes Queued(int i) const {
    const link::RequestSlot& s = cycle.Queue().Slot(i);
    return Bytes(s.slot_bytes.begin(), s.slot_bytes.begin() + s.last_index + 1);
  }
  /// Ticks with the controller answering every frame.
  void Run(int ticks) {
    for (int t = 0; t <= ticks; ++t) cycle.ExchangeTick();
  }
  void RunUntilDone() { Run(cycle.Queue().PendingCount() + 2); }
  /// Lets the link judge one reply of our own making.
  void Deliver(const Bytes& reply) {
    port.silent = true;
    cycle.ExchangeTick();
    port.Receive(reply);
    cycle.ExchangeTick();
  }
  void Type(int slot, const QString& text) { boxes.texts[static_cast<std::size_t>(slot)] = text; }

  testing::SimPort port;
  testing::FakeLinkView view;
  link::ExchangeCycle cycle;
  ParamCatalogue cat;
  ParamEditor editor;
  testing::FakeParamBoxes boxes;
  ParamBoxes* boxesPtr = &boxes;
  std::vector<TransferProgress> progressSeen;
};

TEST_F(ParamEditorTest, ReadAllQueues131BlockReadsCoveringTheCatalogue) {
  ASSERT_TRUE(editor.ReadAllParams());
  ASSERT_EQ(cycle.Queue().PendingCount(), 131);
  EXPECT_EQ(Queued(0), (Bytes{0, 100, 0x01, 0x00, 10}));
  EXPECT_EQ(Queued(1), (Bytes{0, 100, 0x01, 0x0A, 2}));  // slot 10 alone: slot 11 lies at 283
  int bytes = 0;
  int largest = 0;
  for (int i = 0; i < 131; ++i) {
    const Bytes q = Queued(i);
    ASSERT_EQ(q.size(), 5u) << i;
    bytes += q[4];
    largest = std::max<int>(largest, q[4]);
  }
  EXPECT_EQ(bytes, 2996);
  EXPECT_EQ(largest, 120);
}

TEST_F(ParamEditorTest, WriteAllSendsTheAddressAndControlSlotsLastAndFollowsTheAddress) {
  Type(23, QStringLiteral("200"));
  Type(26, QStringLiteral("1"));
  Type(22, QStringLiteral("50"));
  ASSERT_TRUE(editor.WriteAllParams());
  ASSERT_EQ(cycle.Queue().PendingCount(), 133);
  int bytes = 0;
  for (int i = 0; i < 131; ++i) {
    const Bytes q = Queued(i);
    ASSERT_EQ(q.size(), 5u + q[4]) << i;
    bytes += q[4];
    const int address = q[2] * 256 + q[3];
    EXPECT_FALSE(address <= 279 && 279 < address + q[4]) << "slot 23 inside block " << i;
    EXPECT_FALSE(address <= 287 && 287 < address + q[4]) << "slot 26 inside block " << i;
    if (address == 278) {
      EXPECT_EQ(q, (Bytes{0, 101, 0x01, 0x16, 1, 5})) << "slot 22 alone";
    }
  }
  EXPECT_EQ(bytes, 2994);
  EXPECT_EQ(Queued(131), (Bytes{0, 101, 0x01, 0x17, 1, 127}));
  EXPECT_EQ(Queued(132), (Bytes{0, 101, 0x01, 0x1F, 1, 1}));
  EXPECT_EQ(cycle.pending_address_switch.trigger_slot, 131);

  // Every frame after the address write goes to the new address, and the
  // controller answers there.
  RunUntilDone();
  bool afterSwitch = false;
  for (const Bytes& f : port.written) {
    EXPECT_EQ(f[0], afterSwitch ? 127 : 7);
    if (f[1] == 101 && f[2] == 0x01 && f[3] == 0x17) afterSwitch = true;
  }
  EXPECT_EQ(port.controller.Address(), 127);
  EXPECT_EQ(view.slaveAddress, 127);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(port.Eeprom(258), 0) << "an untouched number box writes 0";
  EXPECT_EQ(port.Eeprom(1280), '-') << "an untouched name box writes its dash";
}

TEST_F(ParamEditorTest, ReadAllThenWriteAllLeavesTheEepromUnchanged) {
  QLocale::setDefault(QLocale(QLocale::Russian));
  // An image the tool can show exactly: the first names full of the bytes
  // 1..255 in turn (0x98, unassigned in Windows-1251, among them), the
  // rest Cyrillic and Latin letters padded with zeros, numbers anywhere in
  // their range, slot 23 a valid slave address.
  sim::EepromImage& image = port.controller.Eeprom();
  for (int a = 256; a < 4096; ++a) image.Set(a, static_cast<std::uint8_t>(a * 37 + 11));
  int next = 1;
  for (int k = 0; k < kSlotCount; ++k) {
    if (!cat.IsText(k)) continue;
    const int a = cat.par_addr[static_cast<std::size_t>(k)];
    const int n = cat.par_size[static_cast<std::size_t>(k)];
    const bool allBytes = next <= 255;
    for (int i = 0; i < n; ++i) {
      const int letter = i < n - 2 ? 0xC0 + (k + i) % 64 : 0;
      image.Set(a + i, static_cast<std::uint8_t>(allBytes ? (next <= 255 ? next++ : 0) : letter));
    }
    if (!allBytes) image.Set(a, static_cast<std::uint8_t>('A' + k % 26));
  }
  ASSERT_GT(next, 255);
  image.Set(279, 9);
  const sim::EepromImage before = image;

  editor.cmd_readall_Click();
  RunUntilDone();
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(boxes.Text(37), FormatParamValue(static_cast<std::int8_t>(before.At(512)), 1, QLocale(QLocale::Russian)));

  editor.cmd_writeall_Click();
  EXPECT_EQ(boxes.CountColor(COLOR_CHANGED), kSlotCount);
  RunUntilDone();
  for (int a = 0; a < 4096; ++a) ASSERT_EQ(image.At(a), before.At(a)) << "EEPROM byte " << a;
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(view.slaveAddress, 9);
}

TEST_F(ParamEditorTest, HostileRepliesFillOnlyTheSlotsTheirBytesReach) {
  struct Case {
    const char* what;
    Bytes reply;  // without CRC
    int firstSlot;
    int slotsShown;
  };
  const auto padded = [](Bytes head, std::size_t size, std::uint8_t fill) {
    head.resize(size, fill);
    return head;
  };
  const Case cases[] = {
      {"64 bytes of names: four long, four short", padded({7, 100, 0x05, 0x00, 64}, 69, 'N'), 89, 8},
      {"ten 12-byte names in one 120-byte reply", padded({7, 100, 0x0C, 0x36, 120}, 125, 'D'), 952, 10},
      {"a write echo shows like a read", {7, 101, 0x01, 0x02, 1, 75}, 2, 1},
      {"a count of 0 shows nothing", {7, 100, 0x01, 0x00, 0}, 0, 0},
      {"an address inside a slot is no slot", {7, 100, 0x01, 0x0B, 1, 5}, 0, 0},
      {"an address of no slot at all", {7, 100, 0x01, 0x1C, 4, 1, 2, 3, 4}, 0, 0},
      {"past slot 1207: the last eight slots only", padded({7, 100, 0x0F, 0xEE, 20}, 25, 3), 1200, 8},
      {"a count beyond the received bytes", {7, 100, 0x01, 0x00, 10, 1, 2, 3, 4}, 0, 4},
      {"a count that ends inside a two-byte slot", {7, 100, 0x07, 0xD0, 3, 0xFF, 0x85, 0x01}, 305, 1},
  };
  for (const Case& c : cases) {
    testing::FakeParamBoxes fresh;
    boxesPtr = &fresh;
    // A long earlier reply leaves its bytes in the receive store; they must
    // never be taken for the short reply's missing data.
    Deliver(WithCrc(padded({7, 4, 250}, 253, 0x55)));
    Deliver(WithCrc(c.reply));
    for (int k = 0; k < kSlotCount; ++k) {
      const bool shown = k >= c.firstSlot && k < c.firstSlot + c.slotsShown;
      ASSERT_EQ(fresh.Color(k), shown ? COLOR_FROM_EEPROM : testing::FakeParamBoxes::kDefaultBackground)
          << c.what << ": slot " << k;
    }
  }
  boxesPtr = nullptr;  // replies and keys with no window are dropped
  Deliver(WithCrc({7, 100, 0x01, 0x00, 2, 1, 2}));
  editor.txt_par_KeyPress(2, ParamEditor::kKeyEnter);
  editor.txt_par_Change(2);
  EXPECT_FALSE(editor.WriteAllParams());
  EXPECT_EQ(boxes.setTextCalls, 0);
}

TEST_F(ParamEditorTest, RepliesDecodeByKind) {
  QLocale::setDefault(QLocale(QLocale::English));
  Deliver(WithCrc({7, 100, 0x02, 0x00, 2, 0xFB, 0x7F}));             // slots 37, 38: signed bytes
  Deliver(WithCrc({7, 100, 0x01, 0x0A, 2, 0x01, 0x2C}));             // slot 10: unsigned 16 bits
  Deliver(WithCrc({7, 100, 0x07, 0xD0, 4, 0xFF, 0x85, 0x80, 0x00}));  // slots 305, 306: signed ×0.1
  Deliver(WithCrc({7, 100, 0x05, 0x30, 4, 0xD2, 0xF0, 0x00, 0x31}));  // slot 93: a 4-byte name
  const std::pair<int, const char16_t*> shown[] = {
      {37, u"-5 "}, {38, u"127 "}, {10, u"300 "}, {305, u"-12.3 "}, {306, u"-3276.8 "}, {93, u"Тр"}};
  for (const auto& [slot, text] : shown) EXPECT_EQ(boxes.Text(slot), QString::fromUtf16(text)) << slot;
}

TEST_F(ParamEditorTest, EnterEncodesEachKindOfSlotOnlyEnterSendsAndTheAddressSwitchesAfterItsWrite) {
  struct Case {
    int slot;
    const char16_t* text;
    Bytes queued;
  };
  const Case cases[] = {
      {2, u"1500", {0, 101, 0x01, 0x02, 1, 0x4B}},            // ×20
      {305, u"-12,3", {0, 101, 0x07, 0xD0, 2, 0xFF, 0x85}},    // signed 16 bits, ×0.1
      {37, u"-300", {0, 101, 0x02, 0x00, 1, 0x80}},            // clamped to -128
      {10, u"70000", {0, 101, 0x01, 0x0A, 2, 0xFF, 0xFF}},     // clamped to 65535
      {41, u"30", {0, 101, 0x02, 0x04, 1, 0xFF}},              // 300 clamped to 255
      {89, u"Абв12", {0, 101, 0x05, 0x00, 12, 0xC0, 0xE1, 0xE2, '1', '2', 0, 0, 0, 0, 0, 0, 0}},
      {93, u"Длинное имя", {0, 101, 0x05, 0x30, 4, 0xC4, 0xEB, 0xE8, 0xED}},  // cut to the slot
      {952, u"a✓b", {0, 101, 0x0C, 0x36, 12, 'a', '?', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {23, u"200", {0, 101, 0x01, 0x17, 1, 127}},  // the slave address, limited; the link follows it
  };
  for (int key : {0, 8, 27, 48, 1013}) editor.txt_par_KeyPress(2, key);
  editor.txt_par_KeyPress(-1, ParamEditor::kKeyEnter);
  editor.txt_par_KeyPress(kSlotCount, ParamEditor::kKeyEnter);
  EXPECT_TRUE(cycle.Queue().QueueIsEmpty());
  boxes.colors[2] = COLOR_FROM_EEPROM;
  editor.txt_par_Change(2);
  EXPECT_EQ(boxes.Color(2), COLOR_CHANGED);

  for (const Case& c : cases) {
    const int at = cycle.Queue().WriteIndex();
    Type(c.slot, QString::fromUtf16(c.text));
    editor.txt_par_KeyPress(c.slot, ParamEditor::kKeyEnter);
    EXPECT_EQ(Queued(at), c.queued) << c.slot << " " << QString::fromUtf16(c.text).toStdString();
  }
  EXPECT_EQ(boxes.Text(23), QStringLiteral("127"));
  RunUntilDone();
  EXPECT_EQ(port.controller.Address(), 127) << "the address write itself goes to the old address";
  EXPECT_EQ(view.slaveAddress, 127);
  EXPECT_EQ(boxes.Text(2), QStringLiteral("1500 "));  // the echo shows what was stored
  EXPECT_EQ(boxes.Color(2), COLOR_FROM_EEPROM);
  EXPECT_EQ(port.Eeprom(258), 75);

  EXPECT_TRUE(editor.QueueEepromRead(0x0C36, 200));  // builders hold their limits
  EXPECT_TRUE(editor.QueueEepromWrite(0x0123, 0x12345678, 6));
  EXPECT_EQ(Queued(cycle.Queue().WriteIndex() - 2), (Bytes{0, 100, 0x0C, 0x36, 120}));
  EXPECT_EQ(Queued(cycle.Queue().WriteIndex() - 1), (Bytes{0, 101, 0x01, 0x23, 4, 0x12, 0x34, 0x56, 0x78}));
}

TEST_F(ParamEditorTest, ATransferThatDoesNotFitIsRefusedWhole) {
  editor.SetProgressHandler(nullptr);
  port.ForceOpen(false);  // nothing drains
  for (int i = 0; i < 380; ++i) ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x00, 0x01}));
  boxes.colors.assign(kSlotCount, COLOR_FROM_FILE);
  editor.cmd_writeall_Click();  // needs 133 of the 131 free slots
  EXPECT_EQ(cycle.Queue().PendingCount(), 380);
  EXPECT_EQ(view.status, ParamEditor::TransferRefusedMessage());
  EXPECT_FALSE(cycle.pending_address_switch.armed);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);

  view.status.clear();
  EXPECT_TRUE(editor.ReadAllParams());  // fits exactly
  EXPECT_TRUE(view.status.isEmpty());
  editor.cmd_readall_Click();
  EXPECT_EQ(cycle.Queue().PendingCount(), 511);
  EXPECT_EQ(view.status, ParamEditor::TransferRefusedMessage());
  EXPECT_EQ(editor.Progress().total, 131);
}

TEST_F(ParamEditorTest, ProgressCountsAnsweredTransferRequestsAndAddsUpRepeatedClicks) {
  editor.cmd_readall_Click();
  EXPECT_TRUE(editor.Progress().active());
  Run(57);
  EXPECT_EQ(editor.Progress().answered, 57);
  editor.cmd_readall_Click();  // a second set queues behind the first
  Type(2, QStringLiteral("20"));
  editor.txt_par_KeyPress(2, ParamEditor::kKeyEnter);  // a single edit is not part of it
  EXPECT_EQ(editor.Progress().total, 262);
  RunUntilDone();
  EXPECT_FALSE(editor.Progress().active());
  ASSERT_GE(progressSeen.size(), 2u);
  EXPECT_EQ(progressSeen[progressSeen.size() - 2].answered, 261);
  EXPECT_EQ(progressSeen.back().total, 0);
}

// ---- Numbers and texts as the boxes show them -----------------------------

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const double kInf = std::numeric_limits<double>::infinity();

/// Runs each case under a point and a comma locale: typed numbers must not
/// depend on the user's locale.
class UnderLocale : public ::testing::TestWithParam<QLocale::Language> {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale(GetParam())); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

INSTANTIATE_TEST_SUITE_P(PointAndComma, UnderLocale, ::testing::Values(QLocale::English, QLocale::Russian),
                         [](const auto& p) { return QLocale::languageToCode(p.param).toStdString(); });

TEST_P(UnderLocale, ParseNumberReadsTheLeadingNumber) {
  struct Case {
    const char16_t* text;
    double expected;
  };
  const Case cases[] = {
      {u"12,5", 12.5},      {u"12.5", 12.5},     {u"1500 ", 1500},    {u"50%", 50},         {u"50 % 7", 50},
      {u"%50", 0},          {u"abc", 0},         {u"-", 0},           {u"", 0},             {u"  \t-3.5e2x", -350},
      {u"+7", 7},           {u"1,5,6", 1.5},     {u"1.2.3", 1.2},     {u"1,2.3", 1.2},      {u".5", 0.5},
      {u"5.", 5},           {u"1e", 1},          {u"1e+", 1},         {u"2E-1", 0.2},       {u"1e-999", 0},
      {u"12 34", 12},       {u"007", 7},         {u"−5", 0},  // a typographic minus is not a sign
      // Not numbers here, unlike strtod: a box holding them writes 0.
      {u"inf", 0},          {u"-infinity", 0},   {u"nan", 0},         {u"NAN(0x1)", 0},     {u"0x1A", 0},
      {u"١٢", 0},  // Arabic-Indic digits are not read
  };
  for (const Case& c : cases) EXPECT_EQ(ParseNumber(QString::fromUtf16(c.text)), c.expected) << QString::fromUtf16(c.text).toStdString();
  EXPECT_EQ(ParseNumber(QStringLiteral("1e999")), kInf);
  EXPECT_EQ(ParseNumber(QStringLiteral("-1e99999999999999999999")), -kInf);
  EXPECT_EQ(ParseNumber(QString(100000, QLatin1Char('9'))), kInf);
}

TEST(RoundHalfAway, HalvesAwayFromZeroAndSaturates) {
  struct Case {
    double x;
    std::int32_t expected;
  };
  const Case cases[] = {
      {2.5, 3},   {-2.5, -3},          {0.49, 0},           {-0.49, 0},        {0.5, 1},
      {7, 7},     {-7, -7},            {75.5, 76},          {16.666, 17},      {2147483646.4, 2147483646},
      {2147483646.6, kMax}, {2147483647.0, kMax}, {1e20, kMax}, {kInf, kMax},
      {-2147483647.6, kMin}, {-2147483648.4, kMin}, {-1e20, kMin}, {-kInf, kMin},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(RoundHalfAway(c.x), c.expected) << c.x;
}

TEST_P(UnderLocale, TextToRawRoundsAndClampsToTheSlotRange) {
  struct Case {
    const char16_t* text;
    std::int32_t minimum, maximum;
    double divisor;
    std::int32_t expected;
  };
  const Case cases[] = {
      {u"1500", 0, 255, 20, 75},       {u"1510", 0, 255, 20, 76},         {u"12,5", 0, 255, 0.1, 125},
      {u"12.5", 0, 255, 0.1, 125},     {u"30", 0, 255, 0.1, 255},         {u"100", 0, 255, 6, 17},
      {u"-12.3", -32768, 32767, 0.1, -123}, {u"50%", 0, 255, 1, 50},      {u"-5", 0, 255, 1, 0},
      {u"-", 0, 255, 1, 0},            {u"abc", -128, 127, 1, 0},         {u"200", 0, 127, 1, 127},
      // Quotients beyond 32 bits, infinities and NaN end on the slot's limits.
      {u"1e30", 0, 255, 0.1, 255},     {u"-1e30", -128, 127, 1, -128},    {u"1e999", 0, 65535, 1, 65535},
      {u"-1e999", -32768, 32767, 0.1, -32768}, {u"5", 0, 255, 0, 255},    {u"0", 1, 10, 0, 1},
      {u"nan", -128, 127, 1, 0},       {u"3000000000", 0, 65535, 1, 65535},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextToRaw(QString::fromUtf16(c.text), c.minimum, c.maximum, c.divisor), c.expected)
        << QString::fromUtf16(c.text).toStdString() << " / " << c.divisor;
}

TEST(FormatParamValue, ThreeDecimalsTiesToEvenLocaleSeparatorOneSpace) {
  struct Case {
    std::int32_t raw;
    double scale;
    const char16_t* point;
    const char16_t* comma;
  };
  const Case cases[] = {
      {75, 20, u"1500 ", u"1500 "},    {76, 20, u"1520 ", u"1520 "},   {123, 0.1, u"12.3 ", u"12,3 "},
      {255, 0.1, u"25.5 ", u"25,5 "}, {17, 6, u"102 ", u"102 "},       {-123, 0.1, u"-12.3 ", u"-12,3 "},
      {1, 0.5, u"0.5 ", u"0,5 "},     {0, 0.1, u"0 ", u"0 "},          {-32768, 0.1, u"-3276.8 ", u"-3276,8 "},
      {65535, 1, u"65535 ", u"65535 "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatParamValue(c.raw, c.scale, QLocale(QLocale::English)), QString::fromUtf16(c.point)) << c.raw;
    EXPECT_EQ(FormatParamValue(c.raw, c.scale, QLocale(QLocale::Russian)), QString::fromUtf16(c.comma)) << c.raw;
  }
  EXPECT_EQ(FormatParamValue(1, 0.0005, QLocale(QLocale::English)), QStringLiteral("0 "));    // 0.0005 → even 0.000
  EXPECT_EQ(FormatParamValue(3, 0.0005, QLocale(QLocale::English)), QStringLiteral("0.002 "));  // 0.0015 → 0.002
}

link::RxStore StoreAt(int offset, const std::vector<int>& bytes) {
  link::RxStore rx;
  for (int i = 0; i < offset; ++i) rx.Store(i, 0xEE);
  for (std::size_t i = 0; i < bytes.size(); ++i) rx.Store(offset + static_cast<int>(i), bytes[i]);
  rx.Store(offset + static_cast<int>(bytes.size()), 0xEE);
  return rx;
}

TEST(BytesToNumber, MostSignificantFirstAndTwosComplement) {
  struct Case {
    std::vector<int> bytes;
    std::int32_t asUnsigned, asSigned;
  };
  const Case cases[] = {
      {{0xFB}, 251, -5},          {{0x7F}, 127, 127},          {{0x80}, 128, -128},
      {{0x01, 0x2C}, 300, 300},   {{0xFF, 0x85}, 65413, -123}, {{0x80, 0x00}, 32768, -32768},
      {{0x7F, 0xFF}, 32767, 32767}, {{0x12, 0x34, 0x56, 0x78}, 0x12345678, 0x12345678},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1, -1},
  };
  for (const Case& c : cases) {
    const link::RxStore rx = StoreAt(5, c.bytes);
    const int n = static_cast<int>(c.bytes.size());
    EXPECT_EQ(BytesToUnsigned(rx, 5, n), c.asUnsigned) << n << " bytes from " << c.bytes[0];
    EXPECT_EQ(BytesToSigned(rx, 5, n), c.asSigned) << n << " bytes from " << c.bytes[0];
  }
}

TEST(ShowParam, TextStopsAtTheFirstZeroAndTheBoxEndsGreen) {
  testing::FakeParamBoxes boxes;
  // "Насос 1" in Windows-1251, zero padding, then junk the zero hides.
  const link::RxStore rx = StoreAt(5, {0xCD, 0xE0, 0xF1, 0xEE, 0xF1, 0x20, 0x31, 0x00, 0x41, 0x42, 0x00, 0x00});
  ShowParamText(boxes, 89, rx, 5, 12);
  EXPECT_EQ(boxes.Text(89), QStringLiteral(u"Насос 1"));
  EXPECT_EQ(boxes.Color(89), COLOR_FROM_EEPROM);

  const link::RxStore empty = StoreAt(5, {0x00, 0x41, 0x42, 0x43});
  ShowParamText(boxes, 93, empty, 5, 4);
  EXPECT_EQ(boxes.Text(93), QString());
  EXPECT_EQ(boxes.Color(93), COLOR_FROM_EEPROM);

  QLocale::setDefault(QLocale(QLocale::Russian));
  ShowParamValue(boxes, 41, 125, 0.1);
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(boxes.Text(41), QStringLiteral("12,5 "));
  EXPECT_EQ(boxes.Color(41), COLOR_FROM_EEPROM);
}

}  // namespace
}  // namespace zart::params

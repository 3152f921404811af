#include <gtest/gtest.h>

#include <array>
#include <vector>

#include <QLocale>

#include "link/crc.h"
#include "link/exchange_cycle.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/conversions.h"
#include "params/param_editor.h"
#include "params/fake_param_boxes.h"
#include "support/fake_link_view.h"
#include "support/frames.h"
#include "support/fake_serial_port.h"

namespace zart::params {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing::WithCrc;

/// The controller's side of the four requests the tool sends, over an
/// EEPROM image of 4096 bytes.
struct FakeController {
  std::array<std::uint8_t, 4096> eeprom{};
  int writes = 0;

  Bytes Answer(const Bytes& frame) const {
    const std::uint8_t slave = frame[0];
    switch (frame[1]) {
      case 100: {
        const int a = frame[2] * 256 + frame[3];
        Bytes body{slave, 100, frame[2], frame[3], frame[4]};
        for (int i = 0; i < frame[4]; ++i) body.push_back(eeprom[static_cast<std::size_t>(a + i)]);
        return WithCrc(body);
      }
      case 101:
        return WithCrc(Bytes(frame.begin(), frame.end() - 2));  // the echo of what was written
      case 4: {
        Bytes body{slave, 4, 250};
        body.resize(253, 0);
        return WithCrc(body);
      }
      default:
        return WithCrc({slave, 16, 0x01, 0x90, 0x00, 0x02});
    }
  }
  void Apply(const Bytes& frame) {
    if (frame[1] != 101) return;
    ++writes;
    const int a = frame[2] * 256 + frame[3];
    for (int i = 0; i < frame[4]; ++i) eeprom[static_cast<std::size_t>(a + i)] = frame[static_cast<std::size_t>(5 + i)];
  }
};

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

  /// Data bytes of queue slot i (after the function code), as queued.
  Bytes Queued(int i) const {
    const link::RequestSlot& s = cycle.Queue().Slot(i);
    return Bytes(s.slot_bytes.begin(), s.slot_bytes.begin() + s.last_index + 1);
  }

  /// Ticks with the controller answering every frame, `ticks` times.
  void Run(int ticks) {
    for (int t = 0; t < ticks; ++t) {
      cycle.ExchangeTick();
      const Bytes& frame = port.written.back();
      controller.Apply(frame);
      port.Receive(controller.Answer(frame));
    }
    cycle.ExchangeTick();  // judges the last answer
  }
  void RunUntilDone() { Run(cycle.Queue().PendingCount() + 2); }

  /// Lets the link judge and dispatch one reply from the controller.
  void Deliver(const Bytes& reply) {
    cycle.ExchangeTick();
    port.Receive(reply);
    cycle.ExchangeTick();
  }

  testing::FakeSerialPort port;
  testing::FakeLinkView view;
  link::ExchangeCycle cycle;
  ParamCatalogue cat;
  ParamEditor editor;
  testing::FakeParamBoxes boxes;
  ParamBoxes* boxesPtr = &boxes;
  FakeController controller;
  std::vector<TransferProgress> progressSeen;
};

TEST_F(ParamEditorTest, ReadAllQueues131BlockReadsCoveringTheCatalogue) {
  ASSERT_TRUE(editor.ReadAllParams());
  ASSERT_EQ(cycle.Queue().PendingCount(), 131);
  EXPECT_EQ(Queued(0), (Bytes{0, 100, 0x01, 0x00, 10}));
  EXPECT_EQ(Queued(1), (Bytes{0, 100, 0x01, 0x0A, 2}));  // slot 10 alone: slot 11 lies at 283
  int bytes = 0;
  int largest = 0;
  bool slots22and23Together = false;
  for (int i = 0; i < 131; ++i) {
    const Bytes q = Queued(i);
    ASSERT_EQ(q.size(), 5u) << i;
    ASSERT_EQ(q[1], 100);
    bytes += q[4];
    largest = std::max<int>(largest, q[4]);
    if (q[2] * 256 + q[3] == 278) slots22and23Together = q[4] == 2;
  }
  EXPECT_EQ(bytes, 2996);
  EXPECT_EQ(largest, 120);
  EXPECT_TRUE(slots22and23Together);
  EXPECT_EQ(editor.Progress().total, 131);
}

TEST_F(ParamEditorTest, WriteAllSendsTheAddressAndControlSlotsLastAndApart) {
  boxes.texts[23] = QStringLiteral("200");
  boxes.texts[26] = QStringLiteral("1");
  boxes.texts[22] = QStringLiteral("50");
  ASSERT_TRUE(editor.WriteAllParams());
  ASSERT_EQ(cycle.Queue().PendingCount(), 133);
  int bytes = 0;
  for (int i = 0; i < 131; ++i) {
    const Bytes q = Queued(i);
    ASSERT_EQ(q[1], 101);
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
  EXPECT_TRUE(cycle.pending_address_switch.armed);
  EXPECT_EQ(cycle.pending_address_switch.trigger_slot, 131);
  EXPECT_EQ(cycle.pending_address_switch.new_address, 127);

  // Every frame after the address write goes to the new address.
  RunUntilDone();
  bool afterSwitch = false;
  int framesAfter = 0;
  for (const Bytes& f : port.written) {
    if (afterSwitch) {
      EXPECT_EQ(f[0], 127);
      ++framesAfter;
    } else {
      EXPECT_EQ(f[0], 7);
    }
    if (f[1] == 101 && f[2] == 0x01 && f[3] == 0x17) afterSwitch = true;
  }
  EXPECT_GE(framesAfter, 2);
  EXPECT_EQ(view.slaveAddress, 127);
}

TEST_F(ParamEditorTest, WriteAllOfUntouchedBoxesWritesZerosAndDashes) {
  ASSERT_TRUE(editor.WriteAllParams());
  RunUntilDone();
  EXPECT_EQ(controller.writes, 133);
  for (int k = 0; k < kSlotCount; ++k) {
    const int a = cat.par_addr[static_cast<std::size_t>(k)];
    const int n = cat.par_size[static_cast<std::size_t>(k)];
    for (int i = 0; i < n; ++i) {
      const int expected = cat.IsText(k) && i == 0 ? '-' : 0;
      ASSERT_EQ(controller.eeprom[static_cast<std::size_t>(a + i)], expected) << "slot " << k << " byte " << i;
    }
  }
  // The echoes show what was stored, and turn every box green.
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(boxes.Text(2), QStringLiteral("0 "));
  EXPECT_EQ(boxes.Text(89), QStringLiteral("-"));
}

TEST_F(ParamEditorTest, ReadAllThenWriteAllLeavesTheEepromUnchanged) {
  QLocale::setDefault(QLocale(QLocale::Russian));
  // An image the tool can show exactly: names of Cyrillic and Latin letters
  // padded with zeros, numbers anywhere in their range, slot 23 a valid
  // slave address.
  for (std::size_t a = 0; a < controller.eeprom.size(); ++a) controller.eeprom[a] = static_cast<std::uint8_t>(a * 37 + 11);
  for (int k = 0; k < kSlotCount; ++k) {
    if (!cat.IsText(k)) continue;
    const std::size_t a = cat.par_addr[static_cast<std::size_t>(k)];
    const int n = cat.par_size[static_cast<std::size_t>(k)];
    for (int i = 0; i < n; ++i) controller.eeprom[a + static_cast<std::size_t>(i)] = i < n - 2 ? static_cast<std::uint8_t>(0xC0 + (k + i) % 64) : 0;
    controller.eeprom[a] = static_cast<std::uint8_t>('A' + k % 26);
  }
  controller.eeprom[279] = 9;
  const auto before = controller.eeprom;

  editor.cmd_readall_Click();
  RunUntilDone();
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(boxes.Text(37), FormatParamValue(static_cast<std::int8_t>(before[512]), 1, QLocale(QLocale::Russian)));

  editor.cmd_writeall_Click();
  EXPECT_EQ(boxes.CountColor(COLOR_CHANGED), kSlotCount);
  RunUntilDone();
  EXPECT_EQ(controller.writes, 133);
  EXPECT_EQ(controller.eeprom, before);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(view.slaveAddress, 9);
}

TEST_F(ParamEditorTest, RepliesFillTheirSlotsAndStopWhereTheBytesEnd) {
  struct Case {
    const char* what;
    Bytes reply;  // without CRC
    int firstSlot;
    int slotsShown;
  };
  const Case cases[] = {
      {"64 bytes of names: four long, four short", [] {
         Bytes b{7, 100, 0x05, 0x00, 64};
         b.resize(69, 'N');
         return b;
       }(), 89, 8},
      {"ten 12-byte names in one 120-byte reply", [] {
         Bytes b{7, 100, 0x0C, 0x36, 120};
         b.resize(125, 'D');
         return b;
       }(), 952, 10},
      {"a write echo shows like a read", {7, 101, 0x01, 0x02, 1, 75}, 2, 1},
      {"a count of 0 shows nothing", {7, 100, 0x01, 0x00, 0}, 0, 0},
      {"an address inside a slot is no slot", {7, 100, 0x01, 0x0B, 1, 5}, 0, 0},
      {"an address of no slot at all", {7, 100, 0x01, 0x1C, 4, 1, 2, 3, 4}, 0, 0},
      {"past slot 1207: the last eight slots only", [] {
         Bytes b{7, 100, 0x0F, 0xEE, 20};  // 4078: slot 1200
         b.resize(25, 3);
         return b;
       }(), 1200, 8},
      {"a count beyond the received bytes", {7, 100, 0x01, 0x00, 10, 1, 2, 3, 4}, 0, 4},
      {"a count that ends inside a two-byte slot", {7, 100, 0x07, 0xD0, 3, 0xFF, 0x85, 0x01}, 305, 1},
  };
  for (const Case& c : cases) {
    testing::FakeParamBoxes fresh;
    boxesPtr = &fresh;
    // A long earlier reply leaves its bytes in the receive store; they must
    // never be taken for the short reply's missing data.
    Bytes longer{7, 4, 250};
    longer.resize(253, 0x55);
    Deliver(WithCrc(longer));
    Deliver(WithCrc(c.reply));
    for (int k = 0; k < kSlotCount; ++k) {
      const bool shown = k >= c.firstSlot && k < c.firstSlot + c.slotsShown;
      ASSERT_EQ(fresh.Color(k), shown ? COLOR_FROM_EEPROM : testing::FakeParamBoxes::kDefaultBackground)
          << c.what << ": slot " << k;
    }
  }
  boxesPtr = &boxes;
}

TEST_F(ParamEditorTest, RepliesDecodeByKind) {
  QLocale::setDefault(QLocale(QLocale::English));
  Deliver(WithCrc({7, 100, 0x02, 0x00, 2, 0xFB, 0x7F}));  // slots 37, 38: signed bytes
  EXPECT_EQ(boxes.Text(37), QStringLiteral("-5 "));
  EXPECT_EQ(boxes.Text(38), QStringLiteral("127 "));
  Deliver(WithCrc({7, 100, 0x01, 0x0A, 2, 0x01, 0x2C}));  // slot 10: unsigned 16 bits
  EXPECT_EQ(boxes.Text(10), QStringLiteral("300 "));
  Deliver(WithCrc({7, 100, 0x07, 0xD0, 4, 0xFF, 0x85, 0x80, 0x00}));  // slots 305, 306: signed, ×0.1
  EXPECT_EQ(boxes.Text(305), QStringLiteral("-12.3 "));
  EXPECT_EQ(boxes.Text(306), QStringLiteral("-3276.8 "));
  Deliver(WithCrc({7, 100, 0x05, 0x30, 4, 0xD2, 0xF0, 0x00, 0x31}));  // slot 93: a 4-byte name
  EXPECT_EQ(boxes.Text(93), QStringLiteral(u"Тр"));
}

TEST_F(ParamEditorTest, RepliesWithoutBoxesAreDropped) {
  boxesPtr = nullptr;
  Deliver(WithCrc({7, 100, 0x01, 0x00, 2, 1, 2}));
  editor.txt_par_KeyPress(2, ParamEditor::kKeyEnter);
  editor.txt_par_Change(2);
  EXPECT_FALSE(editor.WriteAllParams());
  EXPECT_EQ(boxes.setTextCalls, 0);
}

TEST_F(ParamEditorTest, EnterWritesOneSlotAndTheEchoTurnsItGreen) {
  boxes.texts[2] = QStringLiteral("1500");
  editor.txt_par_KeyPress(2, ParamEditor::kKeyEnter);
  EXPECT_EQ(boxes.Color(2), COLOR_CHANGED);
  ASSERT_EQ(cycle.Queue().PendingCount(), 1);
  EXPECT_EQ(Queued(0), (Bytes{0, 0x65, 0x01, 0x02, 0x01, 0x4B}));
  EXPECT_EQ(boxes.Text(2), QStringLiteral("1500"));
  RunUntilDone();
  EXPECT_EQ(boxes.Text(2), QStringLiteral("1500 "));
  EXPECT_EQ(boxes.Color(2), COLOR_FROM_EEPROM);
  EXPECT_EQ(controller.eeprom[258], 75);
}

TEST_F(ParamEditorTest, EnterEncodesEachKindOfSlot) {
  struct Case {
    int slot;
    const char16_t* text;
    Bytes queued;
  };
  const Case cases[] = {
      {305, u"-12,3", {0, 101, 0x07, 0xD0, 2, 0xFF, 0x85}},  // signed 16 bits, ×0.1
      {37, u"-5", {0, 101, 0x02, 0x00, 1, 0xFB}},            // signed byte
      {37, u"-300", {0, 101, 0x02, 0x00, 1, 0x80}},          // clamped to -128
      {10, u"70000", {0, 101, 0x01, 0x0A, 2, 0xFF, 0xFF}},   // clamped to 65535
      {41, u"30", {0, 101, 0x02, 0x04, 1, 0xFF}},            // 300 clamped to 255
      {89, u"Абв12", {0, 101, 0x05, 0x00, 12, 0xC0, 0xE1, 0xE2, '1', '2', 0, 0, 0, 0, 0, 0, 0}},
      {93, u"Длинное имя", {0, 101, 0x05, 0x30, 4, 0xC4, 0xEB, 0xE8, 0xED}},  // cut to the slot
      {952, u"a✓b", {0, 101, 0x0C, 0x36, 12, 'a', '?', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const int at = cycle.Queue().WriteIndex();
    boxes.texts[static_cast<std::size_t>(c.slot)] = QString::fromUtf16(c.text);
    editor.txt_par_KeyPress(c.slot, ParamEditor::kKeyEnter);
    EXPECT_EQ(Queued(at), c.queued) << c.slot << " " << QString::fromUtf16(c.text).toStdString();
  }
}

TEST_F(ParamEditorTest, BuildersHoldTheirLimits) {
  EXPECT_TRUE(editor.QueueEepromRead(0x0C36, 200));
  EXPECT_TRUE(editor.QueueEepromWrite(0x0123, -21564, 2));
  EXPECT_TRUE(editor.QueueEepromWrite(0x0123, 0x12345678, 6));
  EXPECT_TRUE(editor.QueueEepromTextWrite(QStringLiteral("abcdefghijklmnop"), 0x0C36, 20));
  EXPECT_EQ(Queued(0), (Bytes{0, 100, 0x0C, 0x36, 120}));
  EXPECT_EQ(Queued(1), (Bytes{0, 101, 0x01, 0x23, 2, 0xAB, 0xC4}));
  EXPECT_EQ(Queued(2), (Bytes{0, 101, 0x01, 0x23, 4, 0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(Queued(3), (Bytes{0, 101, 0x0C, 0x36, 12, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l'}));
}

TEST_F(ParamEditorTest, EnterInTheAddressSlotLimitsItAndSwitchesAfterTheWrite) {
  boxes.texts[23] = QStringLiteral("200");
  editor.txt_par_KeyPress(23, ParamEditor::kKeyEnter);
  EXPECT_EQ(boxes.Text(23), QStringLiteral("127"));
  EXPECT_EQ(Queued(0), (Bytes{0, 101, 0x01, 0x17, 1, 127}));
  EXPECT_TRUE(cycle.pending_address_switch.armed);
  EXPECT_EQ(cycle.pending_address_switch.trigger_slot, 0);
  cycle.ExchangeTick();
  EXPECT_EQ(port.written.back()[0], 7);  // the write itself still goes to the old address
  EXPECT_EQ(view.slaveAddress, 127);
}

TEST_F(ParamEditorTest, OtherKeysOnlyEditTheBox) {
  for (int key : {0, 8, 10, 27, 48, 1013}) editor.txt_par_KeyPress(2, key);
  EXPECT_TRUE(cycle.Queue().QueueIsEmpty());
  boxes.colors[2] = COLOR_FROM_EEPROM;
  editor.txt_par_Change(2);
  EXPECT_EQ(boxes.Color(2), COLOR_CHANGED);
  editor.txt_par_KeyPress(-1, ParamEditor::kKeyEnter);
  editor.txt_par_KeyPress(kSlotCount, ParamEditor::kKeyEnter);
  EXPECT_TRUE(cycle.Queue().QueueIsEmpty());
}

TEST_F(ParamEditorTest, ATransferThatDoesNotFitIsRefusedWhole) {
  port.ForceOpen(false);  // nothing drains
  for (int i = 0; i < 380; ++i) ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x00, 0x01}));
  ASSERT_EQ(cycle.Queue().FreeSlots(), 131);

  // Write-all needs 133 slots: refused, nothing queued, nothing armed, and
  // the boxes keep their colours.
  boxes.colors.assign(kSlotCount, COLOR_FROM_FILE);
  editor.cmd_writeall_Click();
  EXPECT_EQ(cycle.Queue().PendingCount(), 380);
  EXPECT_EQ(view.status, ParamEditor::TransferRefusedMessage());
  EXPECT_FALSE(cycle.pending_address_switch.armed);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);
  EXPECT_EQ(editor.Progress().total, 0);

  // Read-all fits exactly.
  view.status.clear();
  EXPECT_TRUE(editor.ReadAllParams());
  EXPECT_EQ(cycle.Queue().FreeSlots(), 0);
  EXPECT_TRUE(view.status.isEmpty());

  // The next one no longer does; the backlog stays intact.
  editor.cmd_readall_Click();
  EXPECT_EQ(cycle.Queue().PendingCount(), 511);
  EXPECT_EQ(view.status, ParamEditor::TransferRefusedMessage());
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);
  EXPECT_EQ(editor.Progress().total, 131);
  EXPECT_EQ(Queued(0)[1], 6);
  EXPECT_EQ(Queued(380)[1], 100);
}

TEST_F(ParamEditorTest, ProgressCountsAnsweredTransferRequestsAndAddsUpRepeatedClicks) {
  editor.cmd_readall_Click();
  EXPECT_EQ(editor.Progress().total, 131);
  EXPECT_TRUE(editor.Progress().active());
  Run(57);
  EXPECT_EQ(editor.Progress().answered, 57);
  editor.cmd_readall_Click();  // a second set queues behind the first
  EXPECT_EQ(editor.Progress().total, 262);
  boxes.texts[2] = QStringLiteral("20");
  editor.txt_par_KeyPress(2, ParamEditor::kKeyEnter);  // a single edit is not part of it
  EXPECT_EQ(editor.Progress().total, 262);
  RunUntilDone();
  EXPECT_EQ(editor.Progress().total, 0);
  EXPECT_FALSE(editor.Progress().active());
  ASSERT_GE(progressSeen.size(), 2u);
  EXPECT_EQ(progressSeen[progressSeen.size() - 2].answered, 261);
  EXPECT_EQ(progressSeen.back().total, 0);
}

}  // namespace
}  // namespace zart::params

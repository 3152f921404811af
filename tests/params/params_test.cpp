// The parameter logic, headless: the parameter set and its session over the
// exchange against the simulator's core (transfers, editing, the write
// check, backups), parameter files, differences, the report, conversions,
// the catalogue and the traffic monitor's frame words.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <limits>
#include <vector>

#include "controller.h"
#include "fault_injector.h"
#include "link/exchange_cycle.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/conversions.h"
#include "params/eeprom_requests.h"
#include "params/frame_description.h"
#include "params/function_pages.h"
#include "params/param_files.h"
#include "params/param_session.h"
#include "params/service_report.h"
#include "params/slot_names.h"
#include "settings/ini_file.h"
#include "settings/windows1251.h"
#include "support/fake_link_view.h"
#include "support/files.h"
#include "support/frames.h"
#include "support/scripted_prompter.h"
#include "support/sim_port.h"

namespace zart::params {
namespace {

using settings::Answer;
using settings::Message;
using Bytes = std::vector<std::uint8_t>;
using testing::WithCrc;

QString U(const char16_t* text) { return QString::fromUtf16(text); }

/// The tool's link and parameter session against the simulator's core, as
/// the program wires them.
class Bench : public ::testing::Test {
 protected:
  Bench() : cycle(port, view), session(cycle, view, prompter, dir.filePath(QStringLiteral("copies"))) {
    EXPECT_TRUE(port.Open().ok());
    cycle.SetParamHandler([this](const link::Reply& r) { session.Editor().HandleParamReply(r); });
    session.SetMessageHandler([this](const QString& m) { messages << m; });
    session.SetCheckHandler([this](const DiffList& list, const QString& text) {
      checked = list;
      checkText = text;
    });
  }
  ~Bench() override { QLocale::setDefault(QLocale::c()); }

  ParamSet& Set() { return session.Set(); }
  ParamEditor& Editor() { return session.Editor(); }
  /// Ticks until nothing but idle traffic is left.
  void Run() {
    for (int guard = 0; guard < 3000 && (cycle.WorkPending() || guard < 2); ++guard) cycle.ExchangeTick();
    cycle.ExchangeTick();
    cycle.ExchangeTick();
  }
  /// The k-th pending request as queued: placeholder, function code, data.
  Bytes Queued(int k) const {
    const link::RequestSlot& s = cycle.Queue().Pending(k);
    return Bytes(s.slot_bytes.begin(), s.slot_bytes.begin() + s.last_index + 1);
  }
  /// Lets the link judge one reply of our own making.
  void Deliver(const Bytes& reply) {
    port.silent = true;
    cycle.ExchangeTick();
    port.Receive(reply);
    cycle.ExchangeTick();
  }
  void Type(int slot, const QString& text) { Editor().txt_par_Change(slot, text); }
  int Count(SlotState state) const {
    int n = 0;
    for (int k = 0; k < kSlotCount; ++k) n += session.Set().State(k) == state ? 1 : 0;
    return n;
  }

  /// The simulated controller, its worn cell (if any) striking on writes.
  struct WornPort : testing::SimPort {
    void Write(std::span<const std::uint8_t> frame) override {
      SimPort::Write(frame);
      faults.CorruptStoredByte(frame, controller.Eeprom());
    }
    sim::FaultInjector faults;
  };

  QTemporaryDir dir;
  WornPort port;
  testing::FakeLinkView view;
  link::ExchangeCycle cycle;
  testing::ScriptedPrompter prompter;
  ParamSession session;
  QStringList messages;
  std::optional<DiffList> checked;
  QString checkText;
};

// ---- Transfers -------------------------------------------------------------

TEST_F(Bench, ReadAllQueues131BlockReadsCoveringTheCatalogue) {
  ASSERT_EQ(Editor().ReadAllParams(), 1);
  ASSERT_EQ(cycle.Queue().PendingCount(), 131);
  EXPECT_EQ(Queued(0), (Bytes{0, 100, 0x01, 0x00, 10}));
  EXPECT_EQ(Queued(1), (Bytes{0, 100, 0x01, 0x0A, 2}));  // slot 10 alone: slot 11 lies at 283
  int bytes = 0;
  int largest = 0;
  for (int i = 0; i < 131; ++i) {
    bytes += Queued(i)[4];
    largest = std::max<int>(largest, Queued(i)[4]);
  }
  EXPECT_EQ(bytes, 2996);
  EXPECT_EQ(largest, 120);
  Run();
  EXPECT_EQ(Count(SlotState::from_eeprom), kSlotCount);
  EXPECT_EQ(Set().Text(2), QStringLiteral("300 "));  // 15 × 20 in the simulator's image
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Bench, ReadAllThenWriteAllLeavesTheEepromUnchangedAndASavedSetComparesEqualAndFollowsTheAddress) {
  QLocale::setDefault(QLocale(QLocale::Russian));
  // An image the tool can show exactly: the first names full of the bytes
  // 1..255 in turn (control bytes, 0x98, unassigned in Windows-1251, among
  // them), the rest letters padded with zeros, numbers anywhere in their
  // range, slot 23 a valid slave address.
  sim::EepromImage& eeprom = port.controller.Eeprom();
  for (int a = 256; a < 4096; ++a) eeprom.Set(a, static_cast<std::uint8_t>(a * 37 + 11));
  int next = 1;
  for (int k = 0; k < kSlotCount; ++k) {
    if (!kCatalogue.IsText(k)) continue;
    const int a = kCatalogue.par_addr[static_cast<std::size_t>(k)];
    const int n = kCatalogue.par_size[static_cast<std::size_t>(k)];
    for (int i = 0; i < n; ++i)
      eeprom.Set(a + i, static_cast<std::uint8_t>(next <= 255 ? next++ : (i < n - 2 ? 0xC0 + (k + i) % 64 : 0)));
  }
  ASSERT_GT(next, 255);
  eeprom.Set(279, 9);
  const sim::EepromImage before = eeprom;

  session.ReadAll();
  Run();
  EXPECT_EQ(Count(SlotState::from_eeprom), kSlotCount);
  EXPECT_EQ(Set().Text(37), FormatParamValue(static_cast<std::int8_t>(before.At(512)), 1, QLocale(QLocale::Russian)));

  // Saved and compared at once: every text slot matches, control bytes included.
  const QString path = dir.filePath(QStringLiteral("set"));
  QString error;
  ASSERT_TRUE(ParamFiles::Save(Set(), path, &error)) << error.toStdString();
  settings::IniFile ini;
  ASSERT_TRUE(ini.Load(path));
  const DiffList same = ParamDiff::CompareWithFile(Set(), ini, QStringLiteral("set"));
  EXPECT_TRUE(same.entries.empty()) << SlotName(same.entries.front().slot).toStdString();

  // The write-all: 131 blocks that leave out the address (slot 23) and the
  // control slot (26), slot 22 beside the address alone, then those two.
  const int idle = cycle.Queue().PendingCount();  // the idle request out on the line
  ASSERT_TRUE(session.WriteAll());
  EXPECT_TRUE(prompter.asked.empty());
  EXPECT_EQ(Count(SlotState::changed), kSlotCount);
  ASSERT_EQ(cycle.Queue().PendingCount(), idle + 133);
  int bytes = 0;
  for (int i = idle; i < idle + 131; ++i) {
    const Bytes q = Queued(i);
    bytes += q[4];
    const int address = q[2] * 256 + q[3];
    EXPECT_FALSE(address <= 279 && 279 < address + q[4]) << "slot 23 inside block " << i;
    EXPECT_FALSE(address <= 287 && 287 < address + q[4]) << "slot 26 inside block " << i;
    if (address == 278) {
      EXPECT_EQ(q[4], 1) << "slot 22 alone";
    }
  }
  EXPECT_EQ(bytes, 2994);
  EXPECT_EQ(Queued(idle + 131), (Bytes{0, 101, 0x01, 0x17, 1, 9}));
  EXPECT_EQ(Queued(idle + 132), (Bytes{0, 101, 0x01, 0x1F, 1, before.At(287)}));
  EXPECT_EQ(cycle.Queue().Pending(idle + 131).options.switchAddressTo, 9);

  // Every frame after the address write, the check's reads among them, goes
  // to the new address, and the controller answers there.
  port.written.clear();
  Run();
  bool afterSwitch = false;
  for (const Bytes& f : port.written) {
    EXPECT_EQ(f[0], afterSwitch ? 9 : 7);
    if (f[1] == 101 && f[2] == 0x01 && f[3] == 0x17) afterSwitch = true;
  }
  for (int a = 0; a < 4096; ++a) ASSERT_EQ(eeprom.At(a), before.At(a)) << "EEPROM byte " << a;
  EXPECT_EQ(Count(SlotState::from_eeprom), kSlotCount);
  EXPECT_EQ(view.slaveAddress, 9);
  EXPECT_EQ(checkText, U(u"Запись проверена: все 1208 параметров совпадают"));
  // The backup went first, and holds what the controller had.
  EXPECT_TRUE(session.Backup().LastBackup().contains(QStringLiteral("copies")));
}

TEST_F(Bench, HostileRepliesFillOnlyTheSlotsTheirBytesReach) {
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
    Set().ResetTexts();
    // A long earlier reply leaves its bytes in the receive store; they must
    // never be taken for the short reply's missing data.
    Deliver(WithCrc(padded({7, 4, 250}, 253, 0x55)));
    Deliver(WithCrc(c.reply));
    for (int k = 0; k < kSlotCount; ++k) {
      const bool shown = k >= c.firstSlot && k < c.firstSlot + c.slotsShown;
      ASSERT_EQ(Set().State(k), shown ? SlotState::from_eeprom : SlotState::initial) << c.what << ": slot " << k;
    }
  }
}

TEST_F(Bench, RepliesDecodeByKind) {
  QLocale::setDefault(QLocale(QLocale::English));
  Deliver(WithCrc({7, 100, 0x02, 0x00, 2, 0xFB, 0x7F}));             // slots 37, 38: signed bytes
  Deliver(WithCrc({7, 100, 0x01, 0x0A, 2, 0x01, 0x2C}));             // slot 10: unsigned 16 bits
  Deliver(WithCrc({7, 100, 0x07, 0xD0, 4, 0xFF, 0x85, 0x80, 0x00}));  // slots 305, 306: signed ×0.1
  Deliver(WithCrc({7, 100, 0x05, 0x30, 4, 0xD2, 0xF0, 0x00, 0x31}));  // slot 93: a 4-byte name
  const std::pair<int, const char16_t*> shown[] = {
      {37, u"-5 "}, {38, u"127 "}, {10, u"300 "}, {305, u"-12.3 "}, {306, u"-3276.8 "}, {93, u"Тр"}};
  for (const auto& [slot, text] : shown) EXPECT_EQ(Set().Text(slot), U(text)) << slot;
  EXPECT_EQ(Set().ControllerBytes(93).size(), 4u);
  EXPECT_TRUE(Set().BackupDue());
}

// Enter writes what the user typed, rounded to the slot's step, and nothing
// a slot cannot hold: no clamped value, no 0 for a text that is no number.
TEST_F(Bench, EnterWritesTheTypedValueOrRefusesWithTheSlotsRange) {
  struct Case {
    int slot;
    const char16_t* text;
    Bytes queued;              // empty: refused
    const char16_t* message;   // the refusal
  };
  const Case cases[] = {
      {2, u"1500", {0, 101, 0x01, 0x02, 1, 0x4B}, nullptr},           // ×20
      {2, u"12,7", {0, 101, 0x01, 0x02, 1, 0x01}, nullptr},           // rounds to the step
      {305, u"-12,3", {0, 101, 0x07, 0xD0, 2, 0xFF, 0x85}, nullptr},  // signed 16 bits, ×0.1
      {89, u"Абв12", {0, 101, 0x05, 0x00, 12, 0xC0, 0xE1, 0xE2, '1', '2', 0, 0, 0, 0, 0, 0, 0}, nullptr},
      {93, u"Длинное имя", {0, 101, 0x05, 0x30, 4, 0xC4, 0xEB, 0xE8, 0xED}, nullptr},  // cut to the slot
      {952, u"a✓b", {0, 101, 0x0C, 0x36, 12, 'a', '?', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr},
      {2, u"99999", {}, u"«99999» вне диапазона 0 … 5100"},
      {2, u"abc", {}, u"«abc» — не число; допустимо 0 … 5100"},
      {2, u"", {}, u"«» — не число; допустимо 0 … 5100"},
      {6, u"-5", {}, u"«-5» вне диапазона 0 … 255"},
      {305, u"99999", {}, u"«99999» вне диапазона -3276.8 … 3276.7"},
      {10, u"1e30", {}, u"«1e30» вне диапазона 0 … 65535"},  // slot 23's range: the write-all's list below
  };
  for (int key : {0, 8, 27, 48, 1013}) Editor().txt_par_KeyPress(2, key);
  Editor().txt_par_KeyPress(-1, ParamEditor::kKeyEnter);
  EXPECT_TRUE(cycle.Queue().QueueIsEmpty());
  for (const Case& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
    const int before = cycle.Queue().PendingCount();
    Type(c.slot, U(c.text));
    messages.clear();
    const EditResult r = session.Enter(c.slot);
    EXPECT_EQ(Set().State(c.slot), SlotState::changed);
    if (c.queued.empty()) {
      EXPECT_FALSE(r.sent);
      EXPECT_EQ(cycle.Queue().PendingCount(), before);
      EXPECT_EQ(r.message, U(c.message));
      EXPECT_EQ(messages, QStringList{U(c.message)});
      EXPECT_EQ(Set().Text(c.slot), U(c.text)) << "the box keeps the text";
    } else {
      EXPECT_TRUE(r.sent);
      EXPECT_EQ(Queued(before), c.queued);
    }
  }
  Run();
  EXPECT_EQ(Set().Text(2), QStringLiteral("20 ")) << "the echo shows what was stored: 12.7 rounded to the step";
  EXPECT_EQ(port.Eeprom(258), 1);

  // The controller's own address: the box shows the number written, and
  // the requests after its write go to it.
  Type(23, QStringLiteral("12.4"));
  EXPECT_TRUE(session.Enter(23).sent);
  EXPECT_EQ(Set().Text(23), QStringLiteral("12"));
  Run();
  EXPECT_EQ(port.controller.Address(), 12) << "the address write itself goes to the old address";
  EXPECT_EQ(view.slaveAddress, 12);
  EXPECT_EQ(Set().State(23), SlotState::from_eeprom);
}

TEST_F(Bench, WriteAllListsWhatCannotBeWrittenCancelsByDefaultAndWritesTheRestOnRequest) {
  Editor().ReadAllParams();
  Run();
  Set().ResetTexts();  // a fresh window: nothing read yet
  for (int k = 0; k < kSlotCount; ++k)
    if (k != 30 && k != 90) Type(k, Set().ControllerText(k));
  Type(2, QStringLiteral("abc"));
  Type(23, QStringLiteral("200"));
  Type(305, QStringLiteral("1e9"));

  // Cancel, the default: nothing queued, no backup.
  const int pending = cycle.Queue().PendingCount();
  EXPECT_FALSE(session.WriteAll());
  ASSERT_EQ(prompter.asked.size(), 1u);
  const Message& q = prompter.asked[0];
  EXPECT_TRUE(q.cancelIsDefault);
  EXPECT_EQ(q.okCaption, U(u"Записать остальные"));
  EXPECT_TRUE(q.text.startsWith(U(u"Эти параметры (5) записать нельзя:\r\nСтартовые обороты (об/мин): «abc» — не число")))
      << q.text.toStdString();
  EXPECT_TRUE(q.text.contains(U(u"Адрес Modbus: «200» вне диапазона 0 … 127")));
  EXPECT_TRUE(q.text.contains(U(u"«90» — значение не прочитано, не загружено и не введено"))) << q.text.toStdString();
  EXPECT_EQ(cycle.Queue().PendingCount(), pending);
  EXPECT_TRUE(session.Backup().LastBackup().isEmpty());

  // "Записать остальные": the five stay as the controller has them.
  const sim::EepromImage before = port.controller.Eeprom();
  prompter.answers = {Answer::cancel, Answer::ok};
  port.controller.Eeprom().Set(258, 33);
  port.controller.Eeprom().Set(260, 44);
  ASSERT_TRUE(session.WriteAll());
  Run();
  EXPECT_EQ(port.Eeprom(258), 33) << "slot 2 left out";
  EXPECT_EQ(port.Eeprom(260), before.At(260)) << "slot 4 written back as read";
  EXPECT_EQ(port.Eeprom(279), 7) << "no address written, none switched";
  EXPECT_EQ(cycle.SlaveAddress(), 7);
  EXPECT_EQ(checkText, U(u"Запись проверена: все 1203 записанных параметров совпадают; не записано 5"));
}

TEST_F(Bench, RefusedBlocksAreMarkedNotReadAndTheRefusalIsNamed) {
  // Blocks 0 and 5 of a read-all come back refused; the rest are read.
  for (int i = 0; i < 4; ++i) cycle.ExchangeTick();
  Editor().ReadAllParams();
  port.silent = true;
  for (int block = 0; block < 131; ++block) {
    cycle.ExchangeTick();
    const Bytes request = port.written.back();
    if (block == 0 || block == 5) port.Receive(WithCrc({7, 0xE4, 0x01}));
    else if (const auto reply = port.controller.HandleRequest(request)) port.Receive(*reply);
  }
  cycle.ExchangeTick();
  const int refused = 10 + ParamBlocks()[5].count;
  EXPECT_EQ(Count(SlotState::not_read), refused);
  EXPECT_EQ(Set().State(0), SlotState::not_read);
  EXPECT_EQ(Set().Text(0), QStringLiteral("-")) << "the box keeps what it showed, now red";
  EXPECT_EQ(messages,
            QStringList{U(u"Не прочитано %1 параметров: контроллер отказал, код 1 — недопустимая функция").arg(refused)});

  // A controller that refuses every write: said so, no check against nothing.
  port.silent = false;
  port.controller.SetEepromRefusal(2);
  messages.clear();
  prompter.fallback = Answer::ok;
  ASSERT_TRUE(session.WriteAll());
  Run();
  ASSERT_FALSE(messages.isEmpty());
  EXPECT_EQ(messages.front(), U(u"Запись не выполнена для %1 параметров: контроллер отказал, код 2 — недопустимый адрес данных")
                                  .arg(kSlotCount - refused));
  EXPECT_EQ(session.LastVerification(), messages.front());
  EXPECT_FALSE(checked.has_value());
}

TEST_F(Bench, ASilentControllerStallsTheTransferAndAbortDropsItAlone) {
  std::vector<TransferProgress> seen;
  session.SetProgressHandler([&](const TransferProgress& p, bool) { seen.push_back(p); });
  Editor().ReadAllParams();
  Run();
  port.silent = true;
  session.ReadAll();
  ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x45, 0x69}));  // СТОП behind the transfer
  for (int t = 0; t < 4; ++t) cycle.ExchangeTick();
  EXPECT_TRUE(session.Progress().stalled);
  EXPECT_EQ(session.Progress().answered, 0);
  EXPECT_TRUE(seen.back().stalled);

  session.Abort();
  EXPECT_FALSE(session.Progress().active());
  port.silent = false;
  port.written.clear();
  Run();
  // The command still goes; nothing of the transfer does.
  ASSERT_FALSE(port.written.empty());
  EXPECT_EQ(port.written.front()[1], 6);
  for (const Bytes& f : port.written) EXPECT_NE(f[1], 100);
  EXPECT_EQ(Count(SlotState::changed), kSlotCount) << "the boxes stay as the transfer left them";
  EXPECT_EQ(messages, QStringList{U(u"Не прочитано 1208 параметров: чтение прервано")});
}

TEST_F(Bench, ATransferThatDoesNotFitIsRefusedWhole) {
  port.ForceOpen(false);  // nothing drains
  for (int i = 0; i < 380; ++i) ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x00, 0x01}));
  for (int k = 0; k < kSlotCount; ++k) Set().SetText(k, QStringLiteral("1"), SlotState::from_file);
  EXPECT_EQ(Editor().cmd_writeall_Click(), 0);  // needs 133 of the 131 free slots
  EXPECT_EQ(cycle.Queue().PendingCount(), 380);
  EXPECT_EQ(view.status, ParamEditor::TransferRefusedMessage());
  EXPECT_EQ(Count(SlotState::from_file), kSlotCount);

  view.status.clear();
  EXPECT_NE(Editor().ReadAllParams(), 0);  // fits exactly
  EXPECT_TRUE(view.status.isEmpty());
  Editor().cmd_readall_Click();
  EXPECT_EQ(cycle.Queue().PendingCount(), 511);
  EXPECT_EQ(view.status, ParamEditor::TransferRefusedMessage());
  EXPECT_EQ(Editor().Progress().total, 131);
}

TEST_F(Bench, ProgressCountsAnsweredTransferRequestsAndAddsUpRepeatedClicks) {
  session.ReadAll();
  EXPECT_TRUE(Editor().Progress().active());
  for (int t = 0; t <= 57; ++t) cycle.ExchangeTick();
  EXPECT_EQ(Editor().Progress().answered, 57);
  session.ReadAll();  // a second set queues behind the first
  Type(2, QStringLiteral("20"));
  session.Enter(2);  // a single edit is not part of it
  EXPECT_EQ(Editor().Progress().total, 262);
  Run();
  EXPECT_FALSE(Editor().Progress().active());
  EXPECT_EQ(Editor().Progress().total, 0);
}

// ---- The write check and the backup ------------------------------------------

struct VerifyCase {
  int corruptAt;  // EEPROM byte stored wrong, -1 for none
  std::vector<int> mismatched;
};

class WriteCheck : public Bench, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(WriteCheck, ReadBackFindsExactlyTheSlotsStoredWrong) {
  session.ReadAll();
  Run();
  Type(2, QStringLiteral("1600"));
  Type(305, QStringLiteral("-12,3"));
  Type(89, U(u"Дизель"));
  if (GetParam().corruptAt >= 0) port.faults.Settings().corruptByte = GetParam().corruptAt;
  ASSERT_TRUE(session.WriteAll());
  for (int guard = 0; guard < 1000 && !session.Checking(); ++guard) cycle.ExchangeTick();
  const QString afterEcho = Set().Text(2);
  Run();
  ASSERT_TRUE(checked.has_value());
  std::vector<int> found;
  for (const DiffEntry& e : checked->entries) found.push_back(e.slot);
  EXPECT_EQ(found, GetParam().mismatched);
  // The read-back never touches the boxes: they keep what was written.
  EXPECT_EQ(Set().Text(2), afterEcho);
  EXPECT_EQ(Set().Text(2), QStringLiteral("1600 "));
  EXPECT_FALSE(session.Checking());
}

INSTANTIATE_TEST_SUITE_P(Faults, WriteCheck,
                         ::testing::Values(VerifyCase{-1, {}}, VerifyCase{258, {2}}, VerifyCase{1280, {89}},
                                           VerifyCase{2001, {305}}, VerifyCase{279 + 1000, {}}),
                         [](const ::testing::TestParamInfo<VerifyCase>& row) {
                           return row.param.corruptAt < 0 ? std::string("NoFault")
                                                          : "Byte" + std::to_string(row.param.corruptAt);
                         });

TEST(WriteVerifier, ComparesValuesShownAsTheBoxesWould) {
  std::vector<Bytes> written(kSlotCount);
  std::vector<Bytes> read(kSlotCount);
  written[2] = {80};
  read[2] = {81};
  written[305] = {0xFF, 0x85};
  read[305] = {0xFF, 0x85};
  written[89] = Bytes{0xC4, 0xE8, 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0};  // "Ди" in Windows-1251
  const DiffList list = WriteVerifier::Compare(written, read);
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.entries[0].left, QStringLiteral("1600 "));
  EXPECT_EQ(list.entries[0].right, QStringLiteral("1620 "));
  EXPECT_EQ(list.entries[1].state, DiffState::notRead);
  EXPECT_EQ(list.entries[1].left, U(u"Диx"));
}

TEST_F(Bench, BackupIsAParameterFileOfTheReadSlotsOnlyAndNoWriteGoesWithoutIt) {
  QueueEepromRead(cycle, 256, 10);  // slots 0..9 only
  Run();
  ParamBackup backup(prompter, dir.filePath(U(u"ЗАРТ/Резервные копии")));
  const QDateTime when(QDate(2026, 12, 7), QTime(14, 3, 22));
  ASSERT_TRUE(backup.EnsureBackup(Set(), 7, when));
  EXPECT_TRUE(backup.LastBackup().endsWith(U(u"/ЗАРТ/Резервные копии/2026-12-07 14-03-22 адрес 7.ini")));
  settings::IniFile ini;
  ASSERT_TRUE(ini.Load(backup.LastBackup()));
  EXPECT_EQ(ini.Read(QStringLiteral("Parameters"), QStringLiteral("PAR2"), QString()), QStringLiteral("300"));
  EXPECT_EQ(ini.Read(QStringLiteral("Parameters"), QStringLiteral("PAR10"), QStringLiteral("none")), QStringLiteral("none"));
  // Not due again until something is read; an echo of our own write is the
  // controller's too, but makes no new copy due.
  QueueEepromWrite(cycle, 258, 80, 1);
  Run();
  EXPECT_FALSE(Set().BackupDue());
  EXPECT_EQ(Set().ControllerText(2), QStringLiteral("1600 "));
  QueueEepromRead(cycle, 256, 10);
  Run();
  ASSERT_TRUE(backup.EnsureBackup(Set(), 7, when));
  EXPECT_TRUE(backup.LastBackup().endsWith(U(u"адрес 7 (2).ini")));

  // A file where the folder should be: the copy cannot be written; Retry,
  // then Cancel, and nothing is written to the controller.
  const QString blocker = dir.filePath(QStringLiteral("copies"));
  QFile(blocker).open(QIODevice::WriteOnly);
  QueueEepromRead(cycle, 256, 10);
  Run();
  prompter.answers = {Answer::retry, Answer::cancel};
  Type(2, QStringLiteral("1500"));
  const int pending = cycle.Queue().PendingCount();
  EXPECT_FALSE(session.Enter(2).sent);
  EXPECT_FALSE(session.WriteAll());
  EXPECT_EQ(cycle.Queue().PendingCount(), pending);
  ASSERT_EQ(prompter.asked.size(), 3u);
  EXPECT_EQ(prompter.asked[0].title, ParamBackup::FailureTitle());
  EXPECT_EQ(prompter.asked[0].buttons, Message::Buttons::retry_cancel);
  // Retry once the way is clear saves it.
  prompter.asked.clear();
  prompter.answers.clear();
  prompter.onAsk = [&](const Message&, int) {
    QFile::remove(blocker);
    return Answer::retry;
  };
  EXPECT_TRUE(session.Enter(2).sent);
  EXPECT_EQ(prompter.asked.size(), 1u);
}

// ---- Parameter files: save, load, compare ----------------------------------

class ParamFilesTest : public Bench {
 protected:
  ParamFilesTest() { QDir(dir.path()).mkpath(QStringLiteral("in/sub")); }

  QString Folder() const { return dir.filePath(QStringLiteral("in")); }
  QString PathOf(const QString& name) const { return Folder() + QLatin1Char('/') + name; }
  void WriteRaw(const QString& name, const QByteArray& bytes) {
    ASSERT_TRUE(testing::WriteFileBytes(PathOf(name), bytes));
  }
  QByteArray ReadRaw(const QString& name) const { return testing::FileBytes(PathOf(name)); }
  /// A recognisable value in every slot: numbers as a reply shows them,
  /// Cyrillic names, each with one of the bytes 0x80..0xBF (0x98 among them).
  void Fill() {
    int n = 0;
    for (int k = 0; k < kSlotCount; ++k)
      Set().SetText(k,
                    kCatalogue.IsText(k)
                        ? U(u"Дат№%1%2ё").arg(k).arg(settings::DecodeWindows1251(static_cast<unsigned char>(0x80 + n++ % 64)))
                        : QStringLiteral("%1,5 ").arg(k % 25),
                    SlotState::from_eeprom);
  }
  std::vector<QString> Texts() const {
    std::vector<QString> t;
    for (int k = 0; k < kSlotCount; ++k) t.push_back(session.Set().Text(k));
    return t;
  }

  ParamFiles files{session.Set(), view, prompter};
};

TEST_F(ParamFilesTest, SaveLoadCompareRoundTripOfTheWholeSet) {
  Fill();
  // Texts as a reply or a user may leave them: the file takes line breaks as
  // blanks, a read takes the blanks around off, and a compare right after the
  // save still matches.
  Set().SetText(89, U(u"  Дизель "), SlotState::changed);
  Set().SetText(90, U(u"a\r\nb"), SlotState::changed);
  Set().SetText(91, U(u"\tМасло\n"), SlotState::changed);
  Set().SetText(92, U(u" ü"), SlotState::changed);  // no Windows-1251 letter: "?"
  const std::vector<QString> saved = Texts();
  ASSERT_TRUE(files.cmdSaveFile_Click(Folder(), QStringLiteral("all.ini")));
  EXPECT_TRUE(prompter.asked.empty());
  EXPECT_EQ(Count(SlotState::from_file), kSlotCount);
  EXPECT_EQ(view.statusHistory.first(), U(u"Сохранение файла all.ini"));
  // One section, every key in slot order, Windows-1251, one byte a character.
  const QByteArray bytes = ReadRaw(QStringLiteral("all.ini"));
  EXPECT_TRUE(bytes.startsWith("[Parameters]\r\nPAR0=0,5 \r\nPAR1=1,5 \r\n")) << bytes.left(40).toStdString();
  EXPECT_TRUE(bytes.endsWith("PAR1207=7,5 \r\n"));
  EXPECT_TRUE(bytes.contains(
      settings::EncodeWindows1251(U(u"PAR89=  Дизель \r\nPAR90=a  b\r\nPAR91=\tМасло \r\nPAR92= ?\r\n"))));

  for (int k = 0; k < kSlotCount; ++k) Set().SetText(k, QStringLiteral("x"), SlotState::changed);
  EXPECT_EQ(files.cmdReadFile_Click(Folder(), QStringLiteral("all.ini"))->entries.size(), 0u);
  EXPECT_EQ(Count(SlotState::from_file), kSlotCount);
  for (int k = 0; k < kSlotCount; ++k)  // blanks around a value do not survive a file
    ASSERT_EQ(Set().Text(k), k == 90 ? QStringLiteral("a  b") : k == 92 ? QStringLiteral("?") : saved[static_cast<std::size_t>(k)].trimmed()) << k;
  EXPECT_EQ(view.statusHistory.mid(2), (QStringList{U(u"Чтение файла ") + PathOf(QStringLiteral("all.ini")), QString()}));

  QLocale::setDefault(QLocale(QLocale::Russian));
  for (int k = 0; k < kSlotCount; ++k) Set().SetText(k, saved[static_cast<std::size_t>(k)], SlotState::changed);
  const auto list = files.cmdCompare_Click(Folder(), QStringLiteral("all.ini"));
  EXPECT_EQ(Count(SlotState::matches_file), kSlotCount);
  EXPECT_TRUE(list->entries.empty());
  EXPECT_EQ(Texts(), saved);
  EXPECT_EQ(view.statusHistory.mid(4), (QStringList{U(u"Чтение файла all.ini"), QString()}));
}

TEST_F(ParamFilesTest, SavingAsksFirstWhenBoxesHoldNoValueAndOverAnExistingFile) {
  // A window opened with a silent controller: nothing read, loaded or typed.
  Set().SetText(5, QStringLiteral("7"), SlotState::changed);
  EXPECT_FALSE(files.cmdSaveFile_Click(Folder(), QStringLiteral("first.ini")));
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_TRUE(prompter.asked[0].text.startsWith(U(u"1207 параметров не прочитаны из контроллера")));
  EXPECT_TRUE(prompter.asked[0].cancelIsDefault);
  EXPECT_FALSE(QFile::exists(PathOf(QStringLiteral("first.ini"))));

  const QByteArray original = "[Other]\r\na=1\r\n[Parameters]\r\nX=keep\r\nPAR5=old\r\n";
  WriteRaw(QStringLiteral("set.ini"), original);
  Fill();
  prompter.asked.clear();
  prompter.answers = {Answer::cancel};
  EXPECT_FALSE(files.cmdSaveFile_Click(Folder(), QStringLiteral("set.ini")));
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text, U(u"Файл set.ini уже существует!\r\nЗаменить его?"));
  EXPECT_EQ(ReadRaw(QStringLiteral("set.ini")), original);
  EXPECT_EQ(Count(SlotState::from_eeprom), kSlotCount);

  prompter.answers = {Answer::ok};
  prompter.asked.clear();
  Set().SetText(5, QStringLiteral("new"), SlotState::changed);
  EXPECT_TRUE(files.cmdSaveFile_Click(Folder(), QStringLiteral("set.ini")));
  const QByteArray after = ReadRaw(QStringLiteral("set.ini"));
  EXPECT_TRUE(after.startsWith("[Other]\r\na=1\r\n[Parameters]\r\nX=keep\r\nPAR5=new\r\n")) << after.left(80).toStdString();
  EXPECT_EQ(Count(SlotState::from_file), kSlotCount);
}

TEST_F(ParamFilesTest, ARefusedSaveOffersRetryAndLeavesTheStates) {
  Fill();
  // A folder that does not exist refuses the write, like a read-only one.
  const QString folder = PathOf(QStringLiteral("gone"));
  prompter.answers = {Answer::retry, Answer::cancel};
  EXPECT_FALSE(files.cmdSaveFile_Click(folder, QStringLiteral("set.ini")));
  ASSERT_EQ(prompter.asked.size(), 2u);
  EXPECT_EQ(prompter.asked[1].text, U(u"Невозможно открыть файл set.ini для записи"));
  EXPECT_EQ(prompter.asked[1].buttons, Message::Buttons::retry_cancel);
  EXPECT_EQ(Count(SlotState::from_eeprom), kSlotCount);
  EXPECT_EQ(view.status, QString());

  prompter.asked.clear();
  prompter.onAsk = [&](const Message&, int) {
    QDir().mkpath(folder);
    return Answer::retry;
  };
  EXPECT_TRUE(files.cmdSaveFile_Click(folder, QStringLiteral("set.ini")));
  EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/set.ini")));
  EXPECT_EQ(Count(SlotState::from_file), kSlotCount);
}

TEST_F(ParamFilesTest, LoadingMarksMissingKeysAndValuesTheControllerCannotTake) {
  WriteRaw(QStringLiteral("part.ini"), "[parameters]\r\npar0=10\r\nPAR1=  Abc  \r\nPAR2=empty_default\r\nPAR3=\r\nPAR4=" +
                                           QByteArray(300, 'z') + "\r\nPAR89=Name\r\n[Other]\r\nPAR5=5\r\n");
  Set().SetText(5, QStringLiteral("keep"), SlotState::changed);
  const auto invalid = files.cmdReadFile_Click(Folder(), QStringLiteral("part.ini"));
  EXPECT_EQ(Set().Text(0), QStringLiteral("10"));  // names in any letter case
  EXPECT_EQ(Set().Text(1), QStringLiteral("Abc"));
  EXPECT_EQ(Set().Text(3), QString());
  EXPECT_EQ(Set().Text(4), QString(254, QLatin1Char('z')));
  for (int k : {0, 1, 3, 4, 89}) EXPECT_EQ(Set().State(k), SlotState::from_file) << k;
  EXPECT_EQ(Set().State(2), SlotState::missing_in_file);  // the marker itself reads as missing
  EXPECT_EQ(Set().Text(2), QStringLiteral("-"));
  EXPECT_EQ(Set().State(5), SlotState::missing_in_file);  // other sections do not count
  EXPECT_EQ(Set().Text(5), QStringLiteral("keep"));
  // Abc, an empty value and 254 z's are no numbers: listed with the reason.
  ASSERT_TRUE(invalid.has_value());
  std::vector<int> listed;
  for (const DiffEntry& e : invalid->entries) listed.push_back(e.slot);
  EXPECT_EQ(listed, (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(invalid->entries[0].note, U(u"«Abc» — не число; допустимо 0 … 255"));
  EXPECT_EQ(invalid->entries[0].state, DiffState::invalid);

  // A file with none of the keys is refused whole.
  WriteRaw(QStringLiteral("junk"), "\x89PNG\r\n\x1a\n[Other]\r\nPAR=1\r\n");
  prompter.asked.clear();
  EXPECT_FALSE(files.cmdReadFile_Click(Folder(), QStringLiteral("junk")).has_value());
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text, U(u"Файл junk не содержит параметров"));
  EXPECT_EQ(Set().Text(0), QStringLiteral("10"));
  QString error;
  SlotSet loaded;
  EXPECT_FALSE(ParamFiles::Load(Set(), PathOf(QStringLiteral("junk")), &loaded, &error));
  EXPECT_EQ(error, U(u"Файл junk не содержит параметров"));
}

TEST_F(ParamFilesTest, CompareByNumberOrExactText) {
  struct Case {
    int slot;
    const char16_t* box;
    const char* file;  // nullptr: key absent
    SlotState expected;
  };
  const Case cases[] = {
      {41, u"12.5 ", "12,5", SlotState::matches_file},     {42, u"12,5", "12.50", SlotState::matches_file},
      {43, u"12.5", "12.6", SlotState::differs_from_file}, {44, u"abc", "0", SlotState::differs_from_file},
      {45, u"50%", "50", SlotState::matches_file},         {46, u"7", nullptr, SlotState::missing_in_file},
      {47, u"7", "default", SlotState::missing_in_file},   {48, u"0", "empty_default", SlotState::differs_from_file},
      {49, u"abc", "abc", SlotState::matches_file},
      {89, u"Насос", "\xCD\xE0\xF1\xEE\xF1", SlotState::matches_file},
      {90, u"Насос", "\xED\xE0\xF1\xEE\xF1", SlotState::differs_from_file},  // letter case counts in texts
      {91, u"12.5", "12,5", SlotState::differs_from_file},                   // texts are not numbers
  };
  QByteArray file = "[Parameters]\r\n";
  for (const Case& c : cases) {
    Set().SetText(c.slot, U(c.box), SlotState::changed);
    if (c.file) file += "PAR" + QByteArray::number(c.slot) + "=" + QByteArray(c.file) + "\r\n";
  }
  WriteRaw(QStringLiteral("cmp.ini"), file);
  const std::vector<QString> before = Texts();
  const auto list = files.cmdCompare_Click(Folder(), QStringLiteral("cmp.ini"));
  for (const Case& c : cases) EXPECT_EQ(Set().State(c.slot), c.expected) << c.slot;
  EXPECT_EQ(Texts(), before);
  EXPECT_EQ(list->summary, U(u"Сравнение с файлом cmp.ini: отличий 5, нет в файле 1198"));
  EXPECT_EQ(ParamDiff::Pages(*list, true).size(), 3u);  // ОЖ, Токовое упр, Каналы · Экр1
}

TEST_F(ParamFilesTest, AnUnreadableFileOffersRetryAndNamesTheFolderDoesNotListOnlyComplain) {
  {
    QFile big(PathOf(QStringLiteral("big.ini")));  // one byte over what any parameter file can be
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(settings::IniFile::kMaxFileBytes + 1));
  }
  EXPECT_FALSE(files.cmdReadFile_Click(Folder(), QStringLiteral("big.ini")).has_value());
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text, U(u"Невозможно открыть файл big.ini для чтения\r\n"));
  EXPECT_TRUE(prompter.asked[0].detail.contains(U(u"велик"))) << prompter.asked[0].detail.toStdString();
  EXPECT_EQ(view.status, U(u"Чтение файла ") + PathOf(QStringLiteral("big.ini")));
  EXPECT_EQ(Count(SlotState::initial), kSlotCount);
  prompter.onAsk = [&](const Message&, int) {
    QFile f(PathOf(QStringLiteral("big.ini")));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("[Parameters]\r\nPAR7=42\r\n");
    return Answer::retry;
  };
  files.cmdReadFile_Click(Folder(), QStringLiteral("big.ini"));
  EXPECT_EQ(Set().Text(7), QStringLiteral("42"));
  prompter.onAsk = nullptr;

  // A name is taken only as the folder lists it.
  const QByteArray file = "[Parameters]\r\nPAR0=1\r\n";
  for (const char* name : {"Set.ini", "sub/x.ini", "x.ini", "../c.ini"}) WriteRaw(QString::fromLatin1(name), file);
  QDir(Folder()).mkdir(QStringLiteral("folder.ini"));
  int n = 0;
  for (const char* latin : {"", "none.ini", "set.ini", "folder.ini", "sub/x.ini", "../c.ini", "..\\c.ini", "C:x.ini",
                            "C:\\x.ini", "..", ".", "x.ini.", "x.ini "}) {
    const QString name = QString::fromLatin1(latin);
    SCOPED_TRACE(latin);
    for (int op = 0; op < 3 && (op < 2 || n >= 4); ++op) {
      prompter.asked.clear();
      const bool done = op == 0   ? files.cmdReadFile_Click(Folder(), name).has_value()
                        : op == 1 ? files.cmdCompare_Click(Folder(), name).has_value()
                                  : files.cmdSaveFile_Click(Folder(), name);
      EXPECT_FALSE(done);
      ASSERT_FALSE(prompter.asked.empty());
      EXPECT_EQ(prompter.asked.back().text, U(u"Невозможно открыть файл ") + name +
                                                (op < 2 ? U(u" для чтения") : U(u" для записи")));
    }
    ++n;
  }
  for (const char* name : {"Set.ini", "sub/x.ini", "x.ini", "../c.ini"}) EXPECT_EQ(ReadRaw(QString::fromLatin1(name)), file) << name;
}

TEST(ParamDiff, TwoFilesMissingOnEitherSideAndPagesOnce) {
  settings::IniFile a;
  settings::IniFile b;
  for (int k = 0; k < kSlotCount; ++k) {
    if (k != 5) a.Write(QStringLiteral("Parameters"), ParamFiles::ParamFileKey(k), QString::number(k));
    if (k != 900) b.Write(QStringLiteral("Parameters"), ParamFiles::ParamFileKey(k), QString::number(k));
  }
  b.Write(QStringLiteral("Parameters"), QStringLiteral("PAR100"), QStringLiteral("7"));
  b.Write(QStringLiteral("Parameters"), QStringLiteral("PAR101"), QStringLiteral("7"));  // same page as 100
  const DiffList list = ParamDiff::CompareFiles(a, QStringLiteral("a.ini"), b, QStringLiteral("b.ini"));
  EXPECT_EQ(list.differs, 2);
  EXPECT_EQ(list.missing, 2);
  EXPECT_EQ(ParamDiff::Pages(list, true), (std::vector<PageRef>{kCatalogue.PageOf(100)}));
  EXPECT_EQ(ParamDiff::Pages(list, false).size(), 3u);
}

// ---- The report ------------------------------------------------------------

TEST(Report, HasEveryParameterOnceByPageWithUnitStateAndEscapedHtml) {
  const std::pair<const char16_t*, const char16_t*> units[] = {
      {u"Стартовые обороты (об/мин)", u"об/мин"}, {u"Т масла вкл | откл  ЭН  (°C): вкл", u"°C"},
      {u"Ток, соотв. холостому ходу (%)", u"%"},  {u"Канал давл. масла редукт. (ан.) (1-72)", u""},
      {u"Объект (0 - ДГУ, 1 - ДРА)", u""},        {u"Количество попыток пуска (автозапуск)", u""},
      {u"Период изменения тока (с)", u"с"},       {u"Реле 17", u""},
  };
  for (const auto& [caption, unit] : units) EXPECT_EQ(ServiceReport::UnitOf(U(caption)), U(unit));

  ParamSet set;
  set.SetText(2, QStringLiteral("1500 "), SlotState::from_eeprom);
  set.SetText(89, U(u"<Дизель&>"), SlotState::changed);
  ReportIdentity id{U(u"ДГУ"), QStringLiteral("2"), QStringLiteral("15"), 7, QStringLiteral("2057"),
                    QDateTime(QDate(2026, 12, 7), QTime(14, 3, 22))};
  DiffList diff;
  diff.title = U(u"Отличия от файла site.ini");
  diff.entries.push_back({2, QStringLiteral("1500 "), QStringLiteral("1600"), DiffState::differs, {}});
  const ServiceReport report = ServiceReport::Build(set, id, &diff);
  EXPECT_EQ(report.rowCount, kSlotCount);
  std::vector<bool> seen(kSlotCount, false);
  for (const ReportPage& page : report.pages)
    for (const ReportRow& row : page.rows) {
      EXPECT_FALSE(seen[static_cast<std::size_t>(row.slot)]);
      seen[static_cast<std::size_t>(row.slot)] = true;
      EXPECT_EQ(kCatalogue.PageOf(row.slot), page.page);
    }
  const ReportRow& start = report.pages.front().rows[2];
  EXPECT_EQ(start.value, QStringLiteral("1500"));
  EXPECT_EQ(start.unit, U(u"об/мин"));
  EXPECT_EQ(start.state, U(u"Значение из ЭСППЗУ"));
  EXPECT_EQ(report.pages.front().rows[0].state, U(u"Значение не прочитано из ЭСППЗУ"));
  EXPECT_EQ(report.differencePages, (std::vector<QString>{U(u"Двигатель")}));
  const QString html = report.ToHtml();
  EXPECT_TRUE(html.contains(U(u"&lt;Дизель&amp;&gt;")));
  EXPECT_TRUE(html.contains(U(u"07.12.2026 14:03:22")));
  EXPECT_FALSE(html.contains(U(u"<Дизель")));
}

// ---- Numbers and texts as the boxes show them --------------------------------

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

TEST_P(UnderLocale, ParseNumberReadsTheLeadingNumberAndReadNumberOnlyAWholeOne) {
  struct Case {
    const char16_t* text;
    double parsed;
    bool whole;  // ReadNumber takes it
  };
  const Case cases[] = {
      {u"12,5", 12.5, true},    {u"12.5", 12.5, true},    {u"1500 ", 1500, true},   {u"50%", 50, true},
      {u"50 % 7", 50, true},    {u"%50", 0, false},       {u"abc", 0, false},       {u"-", 0, false},
      {u"", 0, false},          {u"  \t-3.5e2x", -350, false}, {u" -3.5e2 ", -350, true}, {u"+7", 7, true},
      {u"1,5,6", 1.5, false},   {u"1.2.3", 1.2, false},   {u"1,2.3", 1.2, false},   {u".5", 0.5, true},
      {u"5.", 5, true},         {u"1e", 1, false},        {u"1e+", 1, false},       {u"2E-1", 0.2, true},
      {u"1e-999", 0, true},     {u"12 34", 12, false},    {u"007", 7, true},        {u"−5", 0, false},
      // Not numbers here, unlike strtod: a box holding them writes nothing.
      {u"inf", 0, false},       {u"-infinity", 0, false}, {u"nan", 0, false},       {u"0x1A", 0, false},
      {u"١٢", 0, false},        {u"\u00a05", 0, false},  // a no-break space is not a blank
  };
  for (const Case& c : cases) {
    const QString text = U(c.text);
    EXPECT_EQ(ParseNumber(text), c.parsed) << text.toStdString();
    EXPECT_EQ(ReadNumber(text).has_value(), c.whole) << text.toStdString();
    if (c.whole) {
      EXPECT_EQ(*ReadNumber(text), c.parsed) << text.toStdString();
    }
  }
  EXPECT_EQ(ParseNumber(QStringLiteral("1e999")), kInf);
  EXPECT_EQ(ParseNumber(QStringLiteral("-1e99999999999999999999")), -kInf);
  EXPECT_EQ(ParseNumber(QString(100000, QLatin1Char('9'))), kInf);
}

TEST(RoundHalfAway, HalvesAwayFromZeroAndSaturates) {
  const std::pair<double, std::int32_t> cases[] = {
      {2.5, 3},    {-2.5, -3},          {0.49, 0},           {-0.49, 0},          {0.5, 1},
      {75.5, 76},  {16.666, 17},        {2147483646.4, 2147483646}, {2147483646.6, kMax}, {1e20, kMax},
      {kInf, kMax}, {-2147483648.4, kMin}, {-kInf, kMin},     {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const auto& [x, expected] : cases) EXPECT_EQ(RoundHalfAway(x), expected) << x;
}

TEST_P(UnderLocale, TextToRawRoundsAndClampsAndEncodeSlotTextRefuses) {
  struct Case {
    const char16_t* text;
    std::int32_t minimum, maximum;
    double divisor;
    std::int32_t expected;
  };
  const Case cases[] = {
      {u"1500", 0, 255, 20, 75},   {u"1510", 0, 255, 20, 76},   {u"12,5", 0, 255, 0.1, 125}, {u"30", 0, 255, 0.1, 255},
      {u"100", 0, 255, 6, 17},     {u"-12.3", -32768, 32767, 0.1, -123}, {u"-5", 0, 255, 1, 0}, {u"abc", -128, 127, 1, 0},
      {u"1e30", 0, 255, 0.1, 255}, {u"-1e999", -32768, 32767, 0.1, -32768}, {u"5", 0, 255, 0, 255},
      {u"nan", -128, 127, 1, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextToRaw(U(c.text), c.minimum, c.maximum, c.divisor), c.expected) << QString::fromUtf16(c.text).toStdString();

  const std::tuple<int, const char16_t*, TextProblem, std::int32_t> encodings[] = {
      {2, u"5105", TextProblem::none, 255},      {2, u"5110", TextProblem::out_of_range, 0},
      {37, u"-128", TextProblem::none, -128},     {37, u"-129", TextProblem::out_of_range, 0},
      {23, u"127", TextProblem::none, 127},       {23, u"128", TextProblem::out_of_range, 0},
      {305, u"-3276,8", TextProblem::none, -32768}, {41, u"25.5 ", TextProblem::none, 255},
      {2, u"-0", TextProblem::none, 0},           {2, u"x", TextProblem::not_a_number, 0},
  };
  for (const auto& [slot, text, problem, raw] : encodings) {
    const SlotEncoding e = EncodeSlotText(slot, U(text));
    EXPECT_EQ(e.problem, problem) << slot << " " << QString::fromUtf16(text).toStdString();
    EXPECT_EQ(e.raw, raw) << slot;
  }
  EXPECT_EQ(RangeText(305), GetParam() == QLocale::Russian ? U(u"-3276,8 … 3276,7") : U(u"-3276.8 … 3276.7"));
}

TEST(FormatParamValue, ThreeDecimalsTiesToEvenLocaleSeparatorOneSpace) {
  struct Case {
    std::int32_t raw;
    double scale;
    const char16_t* point;
    const char16_t* comma;
  };
  const Case cases[] = {
      {75, 20, u"1500 ", u"1500 "},    {123, 0.1, u"12.3 ", u"12,3 "},    {17, 6, u"102 ", u"102 "},
      {-123, 0.1, u"-12.3 ", u"-12,3 "}, {1, 0.5, u"0.5 ", u"0,5 "},     {0, 0.1, u"0 ", u"0 "},
      {-32768, 0.1, u"-3276.8 ", u"-3276,8 "}, {65535, 1, u"65535 ", u"65535 "},
      {1, 0.0005, u"0 ", u"0 "}, {3, 0.0005, u"0.002 ", u"0,002 "},  // 0.0005 → even 0.000, 0.0015 → 0.002
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatParamValue(c.raw, c.scale, QLocale(QLocale::English)), U(c.point)) << c.raw;
    EXPECT_EQ(FormatParamValue(c.raw, c.scale, QLocale(QLocale::Russian)), U(c.comma)) << c.raw;
  }
}

TEST(BytesToNumber, MostSignificantFirstTwosComplementAndTextUpToItsFirstZero) {
  struct Case {
    Bytes bytes;
    std::int32_t asUnsigned, asSigned;
  };
  const Case cases[] = {
      {{0xFB}, 251, -5},         {{0x80}, 128, -128},          {{0x01, 0x2C}, 300, 300},
      {{0xFF, 0x85}, 65413, -123}, {{0x80, 0x00}, 32768, -32768}, {{0x12, 0x34, 0x56, 0x78}, 0x12345678, 0x12345678},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1, -1}, {{}, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BytesToUnsigned(c.bytes), c.asUnsigned) << c.bytes.size();
    EXPECT_EQ(BytesToSigned(c.bytes), c.asSigned) << c.bytes.size();
  }
  // "Насос 1" in Windows-1251, zero padding, then junk the zero hides.
  EXPECT_EQ(SlotTextOfBytes(89, Bytes{0xCD, 0xE0, 0xF1, 0xEE, 0xF1, 0x20, 0x31, 0x00, 0x41, 0x42, 0x00, 0x00}),
            U(u"Насос 1"));
  EXPECT_EQ(SlotTextOfBytes(93, Bytes{0x00, 0x41, 0x42, 0x43}), QString());
  EXPECT_EQ(SlotTextOfBytes(41, Bytes{125}, QLocale(QLocale::Russian)), QStringLiteral("12,5 "));
}

// ---- The catalogue and the traffic monitor's words for each frame ----------

TEST(Catalogue, EverySlotIsOnOnePageWithADistinctNameAndItsInitialText) {
  for (int k = 0; k < kSlotCount; ++k) ASSERT_EQ(kCatalogue.SlotAtAddress(kCatalogue.par_addr[static_cast<std::size_t>(k)]), k);
  for (int a : {-1, 255, 267, 284, 1281, 4086, 70000}) EXPECT_EQ(kCatalogue.SlotAtAddress(a), -1) << a;
  for (std::size_t p = 0; p < kFunctionPages.size(); ++p)
    for (const FunctionRow& row : kFunctionPages[p].rows)
      for (int slot : row.boxes) {
        if (slot >= 0) {
          EXPECT_EQ(kCatalogue.PageOf(slot), (PageRef{PageGroup::function, static_cast<int>(p)})) << slot;
        }
      }
  const std::tuple<int, PageRef, const char16_t*> rows[] = {
      {89, {PageGroup::channel, 0}, u"-"},   {90, {PageGroup::channel, 0}, u"90"},   {97, {PageGroup::channel, 1}, u"9"},
      {161, {PageGroup::channel, 0}, u"161"}, {736, {PageGroup::channel, 8}, u"736"}, {737, {PageGroup::logic, 0}, u"-"},
      {872, {PageGroup::logic, 15}, u"872"}, {887, {PageGroup::logic, 16}, u"887"}, {888, {PageGroup::relay, 0}, u"-"},
      {951, {PageGroup::relay, 7}, u"951"},  {952, {PageGroup::input, 0}, u"-"},   {960, {PageGroup::input, 1}, u"9"},
      {1016, {PageGroup::input, 0}, u"1016"}, {1207, {PageGroup::input, 7}, u"1207"}, {2, {PageGroup::function, 0}, u"-"}};
  for (const auto& [slot, page, text] : rows) {
    EXPECT_EQ(kCatalogue.PageOf(slot), page) << slot;
    EXPECT_EQ(kCatalogue.InitialText(slot), U(text)) << slot;
  }

  // Lists, reports and tooltips name a parameter by its name alone.
  std::set<QString> names;
  for (int k = 0; k < kSlotCount; ++k) ASSERT_TRUE(names.insert(SlotName(k)).second) << k << " repeats " << SlotName(k).toStdString();
  const std::pair<int, const char16_t*> named[] = {
      {2, u"Стартовые обороты (об/мин)"},          {64, u"Предельное время прокачки (сек): после останова"},
      {88, u"Канал Больше|Меньше (1-64): Меньше"}, {82, u"Выходной токовый канал (1-8) №2"},
      {89 + 72 * 3 + 11, u"Канал 12 · НПИ"},      {1080 + 39, u"Вход 40 · Тип"},
      {737 + 18 + 5, u"М3 · вход 5"},              {873, u"Н1 · вход 2"},  {904, u"Реле 17"}};
  for (const auto& [slot, name] : named) EXPECT_EQ(SlotName(slot), U(name)) << slot;
  EXPECT_EQ(SlotPageTitle(904), U(u"Реле · 17-24"));
  EXPECT_EQ(SlotPageTitle(886), U(u"Логика · НЕ2"));
  EXPECT_EQ(SlotName(kSlotCount), QString());
}

TEST(FrameDescription, RequestsRepliesAndVerdicts) {
  const FrameDescription d(QLocale::c());
  const std::vector<std::pair<Bytes, QString>> requests{
      {{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D}, U(u"Чтение состояния")},
      {{0x07, 0x04, 0x00, 0x00, 0x00, 0x02}, U(u"Чтение регистров 0..1")},
      {{0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x7B, 0x00, 0x00}, U(u"Пульс №123, защиты вкл.")},
      {{0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0xFF, 0xFE, 0x00, 0x01}, U(u"Пульс №65534, защиты откл.")},
      {{0x07, 0x06, 0x01, 0x92, 0xAB, 0xC4}, U(u"Команда ОТКЛ. ЗАЩ")},
      {{0x07, 0x06, 0x01, 0x92, 0x00, 0x0A}, U(u"Команда 0x000A")},
      {{0x07, 0x64, 0x01, 0x0A, 0x02}, U(u"Чтение ЭСППЗУ 266..267 (2 байта): слот 10 «%1»").arg(SlotName(10))},
      {{0x07, 0x64, 0x01, 0x00, 0x0A},
       U(u"Чтение ЭСППЗУ 256..265 (10 байт): слоты 0..9, «%1» … «%2»").arg(SlotName(0), SlotName(9))},
      {{0x07, 0x64, 0x00, 0x05, 0x16}, U(u"Чтение ЭСППЗУ 5..26 (22 байта): нет такого слота")},
      // The count says 3, the frame carries 1 data byte: only what is there.
      {{0x07, 0x65, 0x01, 0x17, 0x03, 0x0C}, U(u"Запись ЭСППЗУ 279: Адрес Modbus = 12")},
      {{0x07, 0x2B, 0x0E, 0x01}, U(u"Функция 43")},
      {{0x07, 0x04}, U(u"Обрывок кадра")},
  };
  for (const auto& [body, text] : requests) {
    const Bytes frame = body.size() < 3 ? body : WithCrc(body);
    EXPECT_EQ(d.DescribeRequest(frame).toStdString(), text.toStdString());
  }
  const Bytes status = WithCrc({0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D});
  Bytes dra{0x07, 0x04, 250, 0x02, 0x05, 0x01, 0x00, 0x00, 0x01, 0x05, 0xDC, 0x00, 0x64, 0xFF, 0xFB};
  dra.resize(253, 0);
  Bytes dgu = dra;
  dgu[8] = 0;
  dgu[13] = 0x00;
  dgu[14] = 0xF6;  // 24.6 V
  const std::vector<std::tuple<Bytes, Bytes, QString>> replies{
      {status, dra, U(u"Состояние: ДРА, двиг. 1500 об/мин, вал 100 об/мин, АКБ -0.5 В")},
      {status, dgu, U(u"Состояние: ДГУ, двиг. 1500 об/мин, АКБ 24.6 В")},
      {{}, {0x07, 0x04, 2, 0x00, 0x01}, U(u"Состояние (неполный ответ)")},
      {{}, {0x07, 0x06, 0x01, 0x92, 0x45, 0x69}, U(u"Команда СТОП принята")},
      {{}, {0x07, 0x10, 0x01, 0x90, 0x00, 0x02}, U(u"Пульс принят")},
      // Slot 22 counts in tens of hours: the raw 5 is shown as 50.
      {{}, {0x07, 0x64, 0x01, 0x16, 0x02, 0x05, 0x0C}, U(u"ЭСППЗУ 278..279: %1 = 50; Адрес Modbus = 12").arg(SlotName(22))},
      {{}, {0x07, 0xE4, 0x02}, U(u"Отказ на функцию 100: код 2, недопустимый адрес данных")},
      {{}, {0x07, 0xFF, 0x00}, U(u"Отказ на функцию 127: код 0, нестандартный код")},
  };
  for (const auto& [request, body, text] : replies)
    EXPECT_EQ(d.DescribeReply(request, WithCrc(body)).toStdString(), text.toStdString());

  link::RecordedExchange e;
  e.verdict = link::ExchangeVerdict::exception;
  e.reply = {0x07, 0xE4, 0xFF};
  e.replyLength = 5;
  EXPECT_EQ(FrameDescription::VerdictText(e), U(u"исключение 255"));
  e.verdict = link::ExchangeVerdict::crc_mismatch;
  EXPECT_EQ(FrameDescription::VerdictText(e), U(u"несовпадение КС"));
  EXPECT_EQ(FrameDescription::Hex(status), U(u"07 04 01 2C 00 7D F0 78"));
  EXPECT_TRUE(FrameDescription::IsIdleRequest(status));
  EXPECT_FALSE(FrameDescription::IsIdleRequest(WithCrc({0x07, 0x06, 0x01, 0x92, 0x45, 0x69})));
}

}  // namespace
}  // namespace zart::params

#include <gtest/gtest.h>

#include <QLocale>
#include <QStringList>

#include "../support/fake_link_view.h"
#include "../support/fake_serial_port.h"
#include "link/exchange_cycle.h"
#include "link/rx_store.h"
#include "monitor/hex_padded.h"
#include "monitor/main_window_logic.h"
#include "monitor/status_decoder.h"
#include "monitor/status_sample.h"
#include "monitor/trend_buffer.h"
#include "monitor_fakes.h"

namespace zart::monitor {
namespace {

using testing::FakeParamHook;
using testing::FakeStatusView;
using testing::StatusBlock;

class StatusDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale::c()); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }
  void Decode(const StatusBlock& block) { decoder.DecodeStatus(block.Store()); }

  FakeStatusView view;
  StatusDecoder decoder{view};
};

TEST_F(StatusDecoderTest, ShowsEachValueInBothLocales) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> registers;
    ValueLabel label;
    const char16_t* point;  // text under a locale with a decimal point
    const char16_t* comma;  // and with a decimal comma
  };
  const Case cases[] = {
      {"ProtocolVersion", {{300, 0x0203}}, ValueLabel::lbl_pr_ver, u"2 .3 ", u"2 .3 "},
      {"BlockedFlagStaysInMajor", {{300, 0x8203}}, ValueLabel::lbl_pr_ver, u"130 .3 ", u"130 .3 "},
      {"SoftwareVersion", {{301, 0x0107}}, ValueLabel::lbl_sw_ver, u"1 .7 ", u"1 .7 "},
      {"BatteryFraction", {{305, 126}}, ValueLabel::lbl_acc, u"12.6 ", u"12,6 "},
      {"BatteryWholeHasNoSeparator", {{305, 120}}, ValueLabel::lbl_acc, u"12 ", u"12 "},
      {"BatteryNegative", {{305, -5}}, ValueLabel::lbl_acc, u"-0.5 ", u"-0,5 "},
      {"BatteryZero", {{305, 0}}, ValueLabel::lbl_acc, u"0 ", u"0 "},
      {"EngineSpeedUnsigned", {{303, 0xFFFF}}, ValueLabel::lbl_eng_rpm, u"65535 ", u"65535 "},
      {"ShaftSpeed", {{304, 512}}, ValueLabel::lbl_prop_rpm, u"512 ", u"512 "},
      {"ServiceHalfHourRoundsToEvenZero", {{394, 30}}, ValueLabel::lbl_service, u"0 мч", u"0 мч"},
      {"ServiceHourAndHalfRoundsToTwo", {{394, 90}}, ValueLabel::lbl_service, u"2 мч", u"2 мч"},
      {"ServiceTwoAndHalfRoundsToTwo", {{394, 150}}, ValueLabel::lbl_service, u"2 мч", u"2 мч"},
      {"ServiceOverdue", {{394, -90}}, ValueLabel::lbl_service, u"-2 мч", u"-2 мч"},
      {"RunningTimeHighWordFirst", {{395, 1}, {396, 0}}, ValueLabel::lbl_motomin, u"1092 мч", u"1092 мч"},
      {"RunningTimeLargestHandled", {{395, 0x7FFF}, {396, 0xFFFF}}, ValueLabel::lbl_motomin,
       u"35791394 мч", u"35791394 мч"},
      {"RunningTimeBeyondRangeNotNegative", {{395, 0xFFFF}, {396, 0xFFFF}}, ValueLabel::lbl_motomin,
       u"71582788 мч", u"71582788 мч"},
  };
  for (const Case& c : cases) {
    StatusBlock block;
    for (auto [reg, value] : c.registers) block.Set(reg, value);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Decode(block);
    EXPECT_EQ(view.values[c.label], QString::fromUtf16(c.point)) << c.name;
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    Decode(block);
    EXPECT_EQ(view.values[c.label], QString::fromUtf16(c.comma)) << c.name;
  }
}

// Replies that stop are not shown as live values: after a second without
// one the window says since when it shows the last ones; the next reply
// makes it live again. Before the first reply nothing is stale.
TEST_F(StatusDecoderTest, ValuesOlderThanASecondAreShownAsStale) {
  const QDateTime at(QDate(2026, 12, 7), QTime(12, 3, 15, 500));
  decoder.CheckFreshness(at.addSecs(60));
  EXPECT_TRUE(view.staleNote.isEmpty());
  decoder.DecodeStatus(StatusBlock().Store(), at);
  EXPECT_FALSE(view.stale);
  decoder.CheckFreshness(at.addMSecs(1000));
  EXPECT_FALSE(view.stale);
  decoder.CheckFreshness(at.addMSecs(1001));
  EXPECT_TRUE(view.stale);
  EXPECT_EQ(view.staleNote, QStringLiteral(u"Нет связи с 12:03:15: показаны последние значения"));
  decoder.DecodeStatus(StatusBlock().Store(), at.addSecs(5));
  EXPECT_FALSE(view.stale);
}

TEST_F(StatusDecoderTest, UnknownObjectTypeKeepsLastKnownDisplay) {
  Decode(StatusBlock().Set(302, 7));  // before a known type the type's controls wait
  EXPECT_EQ(decoder.ObjectType(), -1);
  EXPECT_EQ(view.values.count(ValueLabel::lbl_object), 0u);
  Decode(StatusBlock().Set(302, 1));
  Decode(StatusBlock().Set(302, 5));
  EXPECT_EQ(view.values[ValueLabel::lbl_object], QStringLiteral(u"ДРА"));
  EXPECT_EQ(decoder.ObjectType(), 1);
  EXPECT_TRUE(view.propSpeedVisible);
  for (int lamp : {7, 8, 9}) EXPECT_TRUE(view.lampVisible[static_cast<std::size_t>(lamp)]) << lamp;
  for (int lamp : {6, 10}) EXPECT_FALSE(view.lampVisible[static_cast<std::size_t>(lamp)]) << lamp;

  Decode(StatusBlock().Set(302, 0));
  EXPECT_EQ(view.values[ValueLabel::lbl_object], QStringLiteral(u"ДГУ"));
  EXPECT_FALSE(view.propSpeedVisible);
  for (int lamp : {7, 8, 9}) EXPECT_FALSE(view.lampVisible[static_cast<std::size_t>(lamp)]) << lamp;
  for (int lamp : {6, 10}) EXPECT_TRUE(view.lampVisible[static_cast<std::size_t>(lamp)]) << lamp;
}

TEST_F(StatusDecoderTest, LampsFollowTheirBitsWhetherVisibleOrNot) {
  Decode(StatusBlock().Set(392, 0x0401 | 0xF800));  // bits 11..15 mean nothing
  for (int b = 0; b < StatusView::kLampCount; ++b) {
    EXPECT_EQ(view.lampLit[static_cast<std::size_t>(b)], b == 0 || b == 10) << "lamp " << b;
  }
  Decode(StatusBlock().Set(392, 0x0080));  // the gearbox lamp, hidden for ДГУ
  EXPECT_TRUE(view.lampLit[7]);
  EXPECT_FALSE(view.lampLit[0]);
}

TEST_F(StatusDecoderTest, OneBitLightsExactlyItsSignalCell) {
  struct Case {
    int reg, value, litCell;
  };
  for (const Case& c : {Case{397, 0x0001, 0}, Case{397, 0x0002, 1}, Case{398, 0x0001, 16}, Case{412, 0x8000, 255}}) {
    view.signalLit.fill(true);  // cells are created lit
    Decode(StatusBlock().Set(c.reg, c.value));
    for (int i = 0; i < StatusView::kSignalCount; ++i)
      EXPECT_EQ(view.signalLit[static_cast<std::size_t>(i)], i == c.litCell) << "cell " << i << " for cell " << c.litCell;
  }
}

TEST_F(StatusDecoderTest, FaultWordsZeroAndOneFromTheLastTwoRegisters) {
  Decode(StatusBlock().Set(423, 0x1A).Set(424, 0xFFFF));
  EXPECT_EQ(view.faults[0], QStringLiteral("001A"));
  EXPECT_EQ(view.faults[1], QStringLiteral("FFFF"));
  for (std::size_t i = 2; i < view.faults.size(); ++i) EXPECT_TRUE(view.faults[i].isEmpty()) << i;
}

TEST(HexPaddedTest, PadsButNeverCuts) {
  struct Case {
    std::int64_t value;
    int digits;
    const char* text;
  };
  for (const Case& c : {Case{0, 4, "0000"}, Case{0x1A, 4, "001A"}, Case{0xFFFF, 4, "FFFF"},
                        Case{0x12345, 4, "12345"}, Case{-1, 4, "FFFFFFFF"}, Case{0x80000000LL, 4, "80000000"},
                        Case{0xABC, 0, "ABC"}}) {
    EXPECT_EQ(HexPadded(c.value, c.digits), QLatin1String(c.text)) << c.value;
  }
}

// ---- The status sample and the trends ---------------------------------------

TEST(StatusSampleTest, ReadsTheRegistersTheLogAndTrendsFollow) {
  // Battery -0.5 V, lamp bits 11..15 no lamps, service -90 min.
  const link::RxStore rx = testing::StatusBlock()
                               .Set(302, 1).Set(303, 1500).Set(304, 480).Set(305, 0xFFFB).Set(392, 0xFC05)
                               .Set(394, 0xFFA6).Set(395, 1).Set(396, 2).Set(397, 0x0002).Set(412, 0x8000)
                               .Store();
  const StatusSample s = StatusSample::FromStatusReply(rx);
  EXPECT_EQ(s.objectType, 1);
  EXPECT_EQ(s.engineRpm, 1500);
  EXPECT_EQ(s.shaftRpm, 480);
  EXPECT_EQ(s.batteryDecivolts, -5);
  EXPECT_EQ(s.lamps, 0x0405);
  EXPECT_EQ(s.serviceMinutes, -90);
  EXPECT_EQ(s.runningMinutes, 65538);
}

TEST(TrendBufferTest, PausesBecomeGapsAndOldPointsLeave) {
  TrendBuffer trends;
  struct Row {
    double seconds;
    std::size_t runs;
  };
  const std::vector<Row> rows{{0.0, 1}, {0.2, 1}, {1.2, 1}, {2.3, 2}, {2.5, 2}, {20.0, 3}, {601.0, 4}, {621.0, 2}};
  for (const Row& row : rows) {
    trends.Add(TrendPoint{row.seconds, 1, 2, 3});
    EXPECT_EQ(trends.Runs().size(), row.runs) << row.seconds;
  }
  // 601 s dropped everything before 1 s; 621 s dropped everything before 21 s.
  EXPECT_EQ(trends.Size(), 2u);
  EXPECT_EQ(trends.Runs().front().front().seconds, 601.0);
}

// ---- Start-up and the buttons ---------------------------------------------

using settings::Answer;
using testing::FakeLinkView;
using testing::FakeSerialPort;

/// Records the start-up steps; its port dialog does what the test says.
class FakeHost : public StartUpHost {
 public:
  explicit FakeHost(FakeSerialPort& port) : m_port(port) {}
  QStringList steps;
  int comPort = 1;
  std::function<void(FakeSerialPort&)> dialog;  // what the user does in the port dialog

  void ReadConfig() override { steps << QStringLiteral("config"); }
  int ComPort() const override { return comPort; }
  void FillSlaveAddresses(int selected) override { steps << QStringLiteral("addresses %1").arg(selected); }
  void CreateSignalCells() override { steps << QStringLiteral("cells"); }
  void ShowPortDialogModal() override {
    steps << QStringLiteral("dialog");
    if (dialog) dialog(m_port);
  }
  void ShowWindow() override { steps << QStringLiteral("show"); }
  void StartTimer() override { steps << QStringLiteral("timer"); }

 private:
  FakeSerialPort& m_port;
};

class MainWindowLogicTest : public ::testing::Test {
 protected:
  FakeSerialPort port;
  FakeLinkView linkView;
  FakeStatusView statusView;
  testing::ScriptedPrompter prompter;
  FakeHost host{port};
  link::ExchangeCycle cycle{port, linkView};
  MainWindowLogic logic{cycle, port, prompter, host, statusView};

  const QStringList kRunSteps{QStringLiteral("config"), QStringLiteral("addresses 7"), QStringLiteral("cells"),
                              QStringLiteral("show"), QStringLiteral("timer")};
};

TEST_F(MainWindowLogicTest, FreePortStartsWithoutAnyMessage) {
  port.openable = {4};
  host.comPort = 4;
  cycle.SetSlaveAddress(0);

  EXPECT_TRUE(logic.StartUp());
  EXPECT_EQ(host.steps, kRunSteps);
  EXPECT_TRUE(prompter.asked.empty());
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 4);
  EXPECT_EQ(cycle.SlaveAddress(), 7);
}

struct FailureCase {
  const char* name;
  int comPort;
  bool busy, denied;
  const char16_t* text;
  const char* detail;  // how the details begin
  bool dialoutHint;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class StartUpFailureTest : public MainWindowLogicTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartUpFailureTest, CancelEndsBeforeTheWindowShows) {
  const FailureCase& c = GetParam();
  port.openable = {};
  if (c.busy) port.busy = {c.comPort};
  if (c.denied) port.denied = {c.comPort};
  host.comPort = c.comPort;

  EXPECT_FALSE(logic.StartUp());
  ASSERT_EQ(prompter.asked.size(), 1u);
  const settings::Message& box = prompter.asked[0];
  EXPECT_EQ(box.text, QString::fromUtf16(c.text));
  EXPECT_EQ(box.buttons, settings::Message::Buttons::ok_cancel);
  EXPECT_TRUE(box.detail.startsWith(QLatin1String(c.detail))) << box.detail.toStdString();
  EXPECT_EQ(box.detail.contains(QStringLiteral("usermod -aG dialout")), c.dialoutHint);
  EXPECT_EQ(host.steps, kRunSteps.mid(0, 3)) << "no port dialog, no window, no timer";
}

INSTANTIATE_TEST_SUITE_P(
    Ports, StartUpFailureTest,
    ::testing::Values(FailureCase{"Busy", 3, true, false, u"Порт COM3 занят другим приложением\r\nВыберите другой порт",
                                  "/dev/fake3: Device or resource busy", false},
                      FailureCase{"Missing", 5, false, false, u"Порт COM5 не доступен\r\nВыберите другой порт",
                                  "/dev/fake5: No such file", false},
                      FailureCase{"PermissionDeniedAddsTheDialoutHint", 5, false, true,
                                  u"Порт COM5 не доступен\r\nВыберите другой порт", "/dev/fake5: Permission denied\n", true},
                      FailureCase{"RejectedNumber", 0, false, false, u"Порт COM0 не доступен\r\nВыберите другой порт", "", false}),
    [](const ::testing::TestParamInfo<FailureCase>& row) { return std::string(row.param.name); });

TEST_F(MainWindowLogicTest, OkAfterFailedOpenRunsDialogThenGoesOnInWhateverStateItLeft) {
  port.openable = {2};
  host.comPort = 5;
  prompter.answers = {Answer::ok};
  host.dialog = [](FakeSerialPort&) {};  // the user closes it without finding a port

  EXPECT_TRUE(logic.StartUp());
  EXPECT_EQ(prompter.asked.size(), 1u);  // the opening is not tried again
  EXPECT_EQ(host.steps, (QStringList{QStringLiteral("config"), QStringLiteral("addresses 7"), QStringLiteral("cells"),
                                     QStringLiteral("dialog"), QStringLiteral("show"), QStringLiteral("timer")}));
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(MainWindowLogicTest, RejectedNumberThenDialogTriesTheOpeningAgain) {
  host.comPort = 0;
  port.openable = {};
  prompter.answers = {Answer::ok, Answer::cancel};
  host.dialog = [this](FakeSerialPort&) { host.comPort = 9; };

  EXPECT_FALSE(logic.StartUp());
  ASSERT_EQ(prompter.asked.size(), 2u);
  // The second box names the port the dialog left in force.
  EXPECT_EQ(prompter.asked[1].text, QStringLiteral(u"Порт COM9 не доступен\r\nВыберите другой порт"));
}

TEST_F(MainWindowLogicTest, RejectedNumberThenPortOpenedByDialogIsNotReportedAsBusy) {
  host.comPort = 0;
  port.openable = {2};
  prompter.answers = {Answer::ok};
  host.dialog = [](FakeSerialPort& p) {
    p.SetPortNumber(2);
    p.Open();
  };

  EXPECT_TRUE(logic.StartUp());
  EXPECT_EQ(prompter.asked.size(), 1u);
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 2);
}

// Each button queues its command, in click order and ahead of the idle
// traffic, to the address selected when it goes out.
TEST_F(MainWindowLogicTest, ButtonsQueueTheirCommandsInClickOrder) {
  port.ForceOpen(true);
  for (int button : {1, 0, 4, 2, 3, 1}) logic.cmd_mode_Click(button);  // 4: no such button
  const int codes[] = {0x4569, 0x1238, 0x789A, 0xABC4, 0x4569};  // stop, start, acknowledge, protection off
  ASSERT_EQ(cycle.Queue().PendingCount(), 5);
  for (int i = 0; i < 5; ++i) {
    const link::RequestSlot& q = cycle.Queue().Pending(i);
    EXPECT_EQ(std::vector<int>(q.slot_bytes.begin() + 1, q.slot_bytes.begin() + q.last_index + 1),
              (std::vector<int>{6, 1, 0x92, codes[i] >> 8, codes[i] & 0xFF}))
        << i;
  }
  cycle.SetSlaveAddress(12);
  cycle.SendNextRequest();
  EXPECT_EQ(port.written, (std::vector<std::vector<std::uint8_t>>{{0x0C, 6, 1, 0x92, 0x45, 0x69, 0xDA, 0x78}}));
}

// The blocked flag disables the menu and shows the banner in the main window
// and in the parameters window; the menu opens that window only when one is
// attached and the flag is clear.
TEST_F(MainWindowLogicTest, ParamMenuOpensOnlyWhenAttachedAndNotBlocked) {
  logic.mnu_param_Click();  // nothing attached: nothing happens

  FakeParamHook hook;
  logic.SetParamWindowHook(&hook);
  logic.mnu_param_Click();
  EXPECT_EQ(hook.opened, 1);

  logic.DecodeStatus(testing::StatusBlock().Set(300, 0x8001).Store());
  logic.mnu_param_Click();
  EXPECT_EQ(hook.opened, 1);
  EXPECT_FALSE(statusView.paramMenuEnabled);
  EXPECT_TRUE(statusView.bannerVisible);

  logic.DecodeStatus(testing::StatusBlock().Set(300, 0x0001).Store());
  EXPECT_TRUE(statusView.paramMenuEnabled);
  EXPECT_FALSE(statusView.bannerVisible);
  EXPECT_EQ(hook.banners, (QList<bool>{true, false}));
  logic.mnu_param_Click();
  EXPECT_EQ(hook.opened, 2);
}

}  // namespace
}  // namespace zart::monitor

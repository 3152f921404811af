#include <gtest/gtest.h>

#include <QStringList>

#include "../support/fake_link_view.h"
#include "../support/fake_serial_port.h"
#include "link/exchange_cycle.h"
#include "monitor/main_window_logic.h"
#include "monitor_fakes.h"

namespace zart::monitor {
namespace {

using settings::Answer;
using testing::FakeLinkView;
using testing::FakeParamHook;
using testing::FakePrompter;
using testing::FakeSerialPort;
using testing::FakeStatusView;

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
  FakePrompter prompter;
  FakeHost host{port};
  link::ExchangeCycle cycle{port, linkView};
  MainWindowLogic logic{cycle, port, prompter, host, statusView};

  const QStringList kRunSteps{QStringLiteral("config"), QStringLiteral("addresses 7"), QStringLiteral("cells"),
                              QStringLiteral("show"), QStringLiteral("timer")};
};

TEST_F(MainWindowLogicTest, FreePortStartsWithoutAnyMessage) {
  port.openable = {4};
  host.comPort = 4;
  cycle.pending_address_switch.new_address = 0;

  EXPECT_TRUE(logic.StartUp());
  EXPECT_EQ(host.steps, kRunSteps);
  EXPECT_TRUE(prompter.asked.empty());
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 4);
  EXPECT_EQ(cycle.pending_address_switch.new_address, 7);
  EXPECT_FALSE(cycle.pending_address_switch.armed);
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
  EXPECT_EQ(box.title, QStringLiteral(u"Ошибка открытия порта"));
  EXPECT_EQ(box.text, QString::fromUtf16(c.text));
  EXPECT_EQ(box.buttons, settings::Message::Buttons::ok_cancel);
  EXPECT_EQ(box.icon, settings::Message::Icon::error);
  EXPECT_TRUE(box.detail.startsWith(QLatin1String(c.detail))) << box.detail.toStdString();
  EXPECT_EQ(box.detail.contains(QStringLiteral("usermod -aG dialout")), c.dialoutHint);
  EXPECT_FALSE(host.steps.contains(QStringLiteral("dialog")));
  EXPECT_FALSE(host.steps.contains(QStringLiteral("show")));
  EXPECT_FALSE(host.steps.contains(QStringLiteral("timer")));
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
    const link::RequestSlot& q = cycle.Queue().Slot(i);
    EXPECT_EQ(std::vector<int>(q.slot_bytes.begin() + 1, q.slot_bytes.begin() + q.last_index + 1),
              (std::vector<int>{6, 1, 0x92, codes[i] >> 8, codes[i] & 0xFF}))
        << i;
  }
  linkView.slaveAddress = 12;
  cycle.SendNextRequest();
  EXPECT_EQ(port.written, (std::vector<std::vector<std::uint8_t>>{{0x0C, 6, 1, 0x92, 0x45, 0x69, 0xDA, 0x78}}));
}

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

  logic.DecodeStatus(testing::StatusBlock().Set(300, 0x0001).Store());
  logic.mnu_param_Click();
  EXPECT_EQ(hook.opened, 2);
}

}  // namespace
}  // namespace zart::monitor

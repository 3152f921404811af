// Fast exchange against zart-sim with its wire timing and its faults on:
// whatever the fault, no request is lost or asked twice out of turn, and
// every transfer ends all green with exactly one answered read per block.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/qt_serial_port.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/fake_param_boxes.h"
#include "params/param_editor.h"
#include "support/fake_link_view.h"
#include "support/recording_port.h"
#include "support/sim_process.h"

namespace zart::params {
namespace {

constexpr int kReadAllRequests = 131;

struct FastCase {
  const char* name;
  const char* fault;         // the simulator's control line
  bool completesUnderNoise;  // else the fault is switched off after 1.5 s
  bool writeAllToo;          // a write-all of what was read follows, under the same fault
};

class FastExchangeE2e : public ::testing::TestWithParam<FastCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start({QStringLiteral("--seed"), QStringLiteral("9"), QStringLiteral("--wire-timing"),
                           QStringLiteral("--turnaround"), QStringLiteral("3")}));
    serial.SetPortMap(link::PortMap({{5, sim.LinkPath()}}));
    ASSERT_TRUE(serial.SetPortNumber(5));
    ASSERT_TRUE(serial.Open().ok());
    cat.InitParamTables();
    editor.SetBoxesProvider([this] { return &boxes; });
    cycle.SetStatusHandler([this](const link::RxStore&) { ++statusReplies; });
    cycle.SetParamHandler([this](const link::RxStore& rx) {
      if (rx[1] == link::FC_EEPROM_READ) ++readReplies;
      editor.HandleParamReply(rx);
    });
    cycle.SetCompletionHandler([this](int slot) { editor.OnRequestCompleted(slot); });
    cycle.SetInitialAddress(7);
    timer.SetFastExchange(true);
  }
  void TearDown() override {
    timer.Stop();
    serial.Close();
    sim.Stop();
  }

  template <typename Pred>
  bool RunUntil(Pred done, int ms) {
    timer.Start();
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) testing::SimProcess::Pump(5);
    timer.Stop();
    return done();
  }
  void Control(const char* line) {
    ASSERT_TRUE(sim.Command(QString::fromLatin1(line)).startsWith(QStringLiteral("ok"))) << line;
  }

  testing::SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
  link::QtSerialPort serial;
  testing::RecordingPort port{serial};
  testing::FakeLinkView view;
  link::ExchangeCycle cycle{port, view};
  link::ExchangeTimer timer{cycle};
  ParamCatalogue cat;
  ParamEditor editor{cycle, cat, view};
  testing::FakeParamBoxes boxes;
  int statusReplies = 0;
  int readReplies = 0;
};

TEST_P(FastExchangeE2e, EveryTransferEndsGreenWithEachReadAnsweredOnce) {
  const FastCase& c = GetParam();
  ASSERT_TRUE(RunUntil([&] { return statusReplies >= 1; }, 5000)) << "no link to the simulator";
  Control(c.fault);
  RunUntil([] { return false; }, 300);

  editor.cmd_readall_Click();
  ASSERT_EQ(editor.Progress().total, kReadAllRequests);
  if (!c.completesUnderNoise) {
    RunUntil([] { return false; }, 1500);
    Control("fault none");
  }
  ASSERT_TRUE(RunUntil([&] { return editor.Progress().total == 0; }, 60000))
      << editor.Progress().answered << " of " << editor.Progress().total;
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(readReplies, kReadAllRequests) << "a read reply was lost or handled twice";
  EXPECT_EQ(port.DistinctRuns(link::FC_EEPROM_READ).size(), static_cast<std::size_t>(kReadAllRequests));
  EXPECT_TRUE(port.RunsAreUnique(link::FC_EEPROM_READ)) << "a read was asked again after the queue had moved on";

  if (c.writeAllToo) {
    editor.cmd_writeall_Click();
    ASSERT_GT(editor.Progress().total, 0);
    ASSERT_TRUE(RunUntil([&] { return editor.Progress().total == 0; }, 60000));
    EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
    EXPECT_TRUE(port.RunsAreUnique(link::FC_EEPROM_WRITE));
  }
  for (const auto& frame : port.written) ASSERT_EQ(frame[0], 7);

  // The idle traffic carries on once the transfer is done.
  const int before = statusReplies;
  ASSERT_TRUE(RunUntil([&] { return statusReplies >= before + 2; }, 3000));
}

INSTANTIATE_TEST_SUITE_P(Faults, FastExchangeE2e,
                         ::testing::Values(FastCase{"NoFault", "fault none", true, true},
                                           FastCase{"GarbageBeforeTheReply", "fault garbage 7", false, false},
                                           // A pause inside the reply shorter than the time-out: waited for.
                                           FastCase{"ReplySplitWithin100ms", "fault split 30", true, false},
                                           FastCase{"ReplySplitPastTheTimeout", "fault split 150", false, false},
                                           FastCase{"ReplyFromAnotherAddress", "fault answer-as 9", true, false},
                                           FastCase{"StatusReplyOf300Bytes", "fault long 300", false, false},
                                           FastCase{"BadCrcEveryThirdReply", "fault bad-crc-every 3", true, true},
                                           FastCase{"EveryFourthReplyDropped", "fault drop-every 4", true, true}),
                         [](const ::testing::TestParamInfo<FastCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zart::params

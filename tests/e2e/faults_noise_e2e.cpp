// Line noise against a read-all: the real exchange, parameter editor and
// QSerialPort against zart-sim injecting faults into its replies. Whatever
// the noise, no request is lost or asked twice out of turn, and once the
// noise stops the read-all ends with every box green.
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

struct NoiseCase {
  const char* name;
  const char* fault;         // the simulator's control line
  bool completesUnderNoise;  // the read-all gets through while the fault lasts
  bool rejectsReplies;       // replies fail the CRC test while the fault lasts
  bool timingBound = false;  // a late tick may let a reply through now and then
};

std::ostream& operator<<(std::ostream& os, const NoiseCase& c) { return os << c.name; }

class NoiseE2e : public ::testing::TestWithParam<NoiseCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start({QStringLiteral("--seed"), QStringLiteral("5")})) << "zart-sim did not start";
    serial.SetPortMap(link::PortMap({{5, sim.LinkPath()}}));
    ASSERT_TRUE(serial.SetPortNumber(5));
    const link::OpenResult r = serial.Open();
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    cat.InitParamTables();
    editor.SetBoxesProvider([this] { return &boxes; });
    cycle.SetStatusHandler([this](const link::RxStore&) { ++statusReplies; });
    cycle.SetParamHandler([this](const link::RxStore& rx) {
      if (rx[1] == link::FC_EEPROM_READ) ++readReplies;
      editor.HandleParamReply(rx);
    });
    cycle.SetCompletionHandler([this](int slot) { editor.OnRequestCompleted(slot); });
    cycle.SetInitialAddress(7);
  }
  void TearDown() override {
    timer.Stop();
    serial.Close();
    sim.Stop();
  }

  /// Runs the real 100 ms timer until `done` holds or `ms` pass; also
  /// records the largest number of bytes one tick collected.
  template <typename Pred>
  bool RunUntil(Pred done, int ms) {
    timer.Start();
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) {
      testing::SimProcess::Pump(10);
      maxRxCount = std::max(maxRxCount, cycle.RxCount());
    }
    timer.Stop();
    return done();
  }
  void Control(const char* line) {
    const QString answer = sim.Command(QString::fromLatin1(line));
    ASSERT_TRUE(answer.startsWith(QStringLiteral("ok"))) << line << ": " << answer.toStdString();
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
  int maxRxCount = 0;
};

TEST_P(NoiseE2e, ReadAllEndsGreenWithEveryRequestAskedOnce) {
  const NoiseCase& c = GetParam();
  ASSERT_TRUE(RunUntil([&] { return statusReplies >= 1; }, 5000)) << "no link to the simulator";
  Control(c.fault);
  // Let the fault take hold of the idle traffic first: a status read stuck
  // at the head of the queue must hold the read-all back, not be lost.
  const auto mismatchesBefore = cycle.Counters().crcMismatches;
  RunUntil([] { return false; }, 500);

  editor.cmd_readall_Click();
  ASSERT_EQ(editor.Progress().total, kReadAllRequests);

  if (!c.completesUnderNoise) {
    RunUntil([] { return false; }, 1500);
    EXPECT_GT(cycle.Counters().crcMismatches, mismatchesBefore);
    if (!c.timingBound) {
      EXPECT_EQ(editor.Progress().answered, 0);
      EXPECT_EQ(readReplies, 0);
      // Nothing answered, so every box still shows the read-all's white.
      EXPECT_EQ(boxes.CountColor(COLOR_CHANGED), kSlotCount);
    }
    Control("fault none");
  }

  ASSERT_TRUE(RunUntil([&] { return editor.Progress().total == 0; }, 60000))
      << editor.Progress().answered << " of " << editor.Progress().total;
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(readReplies, kReadAllRequests) << "a read reply was lost or handled twice";
  EXPECT_EQ(port.DistinctRuns(link::FC_EEPROM_READ).size(), static_cast<std::size_t>(kReadAllRequests));
  EXPECT_TRUE(port.RunsAreUnique(link::FC_EEPROM_READ)) << "a read was asked again after the queue had moved on";
  EXPECT_LE(maxRxCount, link::RxStore::kMaxStored);
  if (c.rejectsReplies) {
    EXPECT_GT(cycle.Counters().crcMismatches, mismatchesBefore);
  }
  // The link never follows the address a reply claims to come from.
  EXPECT_EQ(view.slaveAddress, 7);
  for (const auto& frame : port.written) ASSERT_EQ(frame[0], 7);

  // The live display carries on too.
  if (!c.completesUnderNoise) {
    const int before = statusReplies;
    ASSERT_TRUE(RunUntil([&] { return statusReplies >= before + 2; }, 3000));
    EXPECT_EQ(view.status, link::ExchangeCycle::LinkUpMessage());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, NoiseE2e,
    ::testing::Values(NoiseCase{"GarbageBeforeTheReply", "fault garbage 7", false, true},
                      // The second half arrives 50 ms after the tick that judges the first;
                      // only a tick late by more than that sees the whole reply.
                      NoiseCase{"ReplySplitAcrossTwoTicks", "fault split 150", false, true, true},
                      // The link does not check the slave address of a reply.
                      NoiseCase{"ReplyFromAnotherAddress", "fault answer-as 9", true, false},
                      // Only status replies are padded; the one at the head of
                      // the queue is cut to 256 bytes, fails and is repeated.
                      NoiseCase{"StatusReplyOf300Bytes", "fault long 300", false, true},
                      NoiseCase{"BadCrcEveryThirdReply", "fault bad-crc-every 3", true, true}),
    [](const ::testing::TestParamInfo<NoiseCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zart::params

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

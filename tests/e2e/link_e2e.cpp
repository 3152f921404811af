// The link over the real QSerialPort adapter against zart-sim.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/qt_serial_port.h"
#include "support/fake_link_view.h"
#include "support/sim_process.h"

namespace zart::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

/// Records every frame the exchange writes, then passes it on.
class RecordingPort : public SerialPort {
 public:
  explicit RecordingPort(SerialPort& inner) : m_inner(inner) {}
  bool SetPortNumber(int n) override { return m_inner.SetPortNumber(n); }
  int PortNumber() const override { return m_inner.PortNumber(); }
  QString DevicePath(int n) const override { return m_inner.DevicePath(n); }
  OpenResult Open() override { return m_inner.Open(); }
  void Close() override { m_inner.Close(); }
  bool IsOpen() const override { return m_inner.IsOpen(); }
  int BytesWaiting() override { return m_inner.BytesWaiting(); }
  int ReadByte() override { return m_inner.ReadByte(); }
  void Write(std::span<const std::uint8_t> frame) override {
    written.emplace_back(frame.begin(), frame.end());
    m_inner.Write(frame);
  }
  std::vector<Bytes> written;

 private:
  SerialPort& m_inner;
};

class LinkE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start({QStringLiteral("--wire-timing")})) << "zart-sim did not start";
    serial.SetPortMap(PortMap({{5, sim.LinkPath()}}));
    ASSERT_TRUE(serial.SetPortNumber(5));
    const OpenResult r = serial.Open();
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    cycle.SetStatusHandler([this](const RxStore& rx) {
      ++statusReplies;
      lastEngineSpeed = rx.ReadU16(RxStore::RegOffset(3));
    });
    cycle.SetParamHandler([this](const RxStore&) { ++paramReplies; });
  }

  /// Runs the real 100 ms timer until `done` holds or `ms` pass.
  template <typename Pred>
  bool runUntil(Pred done, int ms) {
    timer.Start();
    const QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired()) testing::SimProcess::Pump(10);
    timer.Stop();
    return done();
  }

  testing::SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
  QtSerialPort serial;
  RecordingPort port{serial};
  testing::FakeLinkView view;
  ExchangeCycle cycle{port, view};
  ExchangeTimer timer{cycle};
  int statusReplies = 0;
  int paramReplies = 0;
  int lastEngineSpeed = -1;
};

TEST_F(LinkE2e, StatusReadAndHeartbeatAlternateWithExactFrames) {
  ASSERT_TRUE(runUntil([&] { return port.written.size() >= 6; }, 3000));
  EXPECT_EQ(port.written[0], (Bytes{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78}));
  EXPECT_EQ(port.written[1], (Bytes{0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x00, 0xB8, 0x1B}));
  for (std::size_t i = 2; i < port.written.size(); ++i) EXPECT_EQ(port.written[i][1], i % 2 == 0 ? 0x04 : 0x10) << i;
  EXPECT_EQ(view.status, ExchangeCycle::LinkUpMessage());
  EXPECT_GE(statusReplies, 2);
}

TEST_F(LinkE2e, SilentStretchRepeatsTheRequestThenResumes) {
  ASSERT_TRUE(runUntil([&] { return statusReplies >= 1; }, 3000));
  ASSERT_TRUE(sim.Command(QStringLiteral("fault silent on")).startsWith(QStringLiteral("ok")));
  port.written.clear();
  const auto validBefore = cycle.Counters().validReplies;
  runUntil([] { return false; }, 1000);
  EXPECT_EQ(view.status, ExchangeCycle::NoAnswerMessage());
  ASSERT_GE(port.written.size(), 5u);
  for (std::size_t i = 2; i < port.written.size(); ++i) EXPECT_EQ(port.written[i], port.written[1]);
  EXPECT_LE(cycle.Counters().validReplies, validBefore + 1);

  ASSERT_TRUE(sim.Command(QStringLiteral("fault silent off")).startsWith(QStringLiteral("ok")));
  const int before = statusReplies;
  ASSERT_TRUE(runUntil([&] { return statusReplies >= before + 2; }, 3000));
  EXPECT_EQ(view.status, ExchangeCycle::LinkUpMessage());
}

TEST_F(LinkE2e, SplitReplyIsRejectedThenTheLinkRecovers) {
  ASSERT_TRUE(runUntil([&] { return statusReplies >= 1; }, 3000));
  ASSERT_TRUE(sim.Command(QStringLiteral("fault split 150")).startsWith(QStringLiteral("ok")));
  const auto mismatches = cycle.Counters().crcMismatches;
  ASSERT_TRUE(runUntil([&] { return cycle.Counters().crcMismatches > mismatches; }, 3000));
  ASSERT_TRUE(sim.Command(QStringLiteral("fault none")).startsWith(QStringLiteral("ok")));
  const int before = statusReplies;
  ASSERT_TRUE(runUntil([&] { return statusReplies >= before + 2; }, 4000));
}

TEST_F(LinkE2e, RefusedCommandIsReportedAndDropped) {
  ASSERT_TRUE(runUntil([&] { return statusReplies >= 1; }, 3000));
  ASSERT_TRUE(cycle.EnqueueRequest(FC_WRITE_SINGLE_REGISTER, {0x01, 0x92, 0x00, 0x01}));
  const auto exceptions = cycle.Counters().exceptionReplies;
  ASSERT_TRUE(runUntil([&] { return cycle.Counters().exceptionReplies > exceptions; }, 3000));
  EXPECT_TRUE(view.statusHistory.contains(ExchangeCycle::LinkUpMessage() +
                                          QStringLiteral(u" Нарушение протокола, код: 3")));
  const int before = statusReplies;
  ASSERT_TRUE(runUntil([&] { return statusReplies >= before + 1; }, 3000));
}

TEST_F(LinkE2e, StartCommandRaisesTheEngineSpeed) {
  ASSERT_TRUE(runUntil([&] { return statusReplies >= 1; }, 3000));
  EXPECT_EQ(lastEngineSpeed, 0);
  ASSERT_TRUE(cycle.EnqueueRequest(FC_WRITE_SINGLE_REGISTER, {0x01, 0x92, 0x12, 0x38}));
  ASSERT_TRUE(runUntil([&] { return lastEngineSpeed > 0; }, 5000));
}

TEST_F(LinkE2e, WritingTheSlaveAddressSwitchesTheLinkToIt) {
  ASSERT_TRUE(runUntil([&] { return statusReplies >= 1; }, 3000));
  // The controller's own address lives at EEPROM byte 279.
  cycle.ArmAddressSwitch(9);
  ASSERT_TRUE(cycle.EnqueueRequest(FC_EEPROM_WRITE, {0x01, 0x17, 0x01, 0x09}));
  ASSERT_TRUE(runUntil([&] { return paramReplies >= 1; }, 3000));
  EXPECT_EQ(view.slaveAddress, 9);
  const int before = statusReplies;
  ASSERT_TRUE(runUntil([&] { return statusReplies >= before + 2; }, 3000));
  EXPECT_EQ(port.written.back()[0], 9);
  EXPECT_EQ(view.status, ExchangeCycle::LinkUpMessage());
}

}  // namespace
}  // namespace zart::link

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

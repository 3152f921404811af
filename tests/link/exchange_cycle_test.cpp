#include <gtest/gtest.h>

#include <vector>

#include "link/crc.h"
#include "link/exchange_cycle.h"
#include "support/frames.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"

namespace zart::link {
namespace {

using Bytes = std::vector<std::uint8_t>;


const Bytes kStatusRequest{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78};

Bytes statusReply(int slave = 7) {
  Bytes body{static_cast<std::uint8_t>(slave), 0x04, 250};
  body.resize(253, 0);
  return testing::WithCrc(body);
}

Bytes heartbeatEcho(int slave = 7) { return testing::WithCrc({static_cast<std::uint8_t>(slave), 0x10, 0x01, 0x90, 0x00, 0x02}); }

class ExchangeCycleTest : public ::testing::Test {
 protected:
  ExchangeCycleTest() : cycle(port, view) {
    port.openable = {1};
    EXPECT_TRUE(port.Open().ok());
    cycle.SetStatusHandler([this](const RxStore&) { ++statusReplies; });
    cycle.SetParamHandler([this](const RxStore&) { ++paramReplies; });
  }

  const Bytes& lastWritten() const { return port.written.back(); }

  testing::FakeSerialPort port;
  testing::FakeLinkView view;
  ExchangeCycle cycle;
  int statusReplies = 0;
  int paramReplies = 0;
};

TEST_F(ExchangeCycleTest, FirstTickReportsNoAnswerAndSendsTheStatusRequest) {
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::NoAnswerMessage());
  ASSERT_EQ(port.written.size(), 1u);
  EXPECT_EQ(lastWritten(), kStatusRequest);
  EXPECT_EQ(cycle.Queue().ReadIndex(), 0);
  EXPECT_EQ(cycle.Queue().WriteIndex(), 1);
}

TEST_F(ExchangeCycleTest, SilentControllerGetsTheSameRequestEveryTickForever) {
  for (int i = 0; i < 50; ++i) cycle.ExchangeTick();
  ASSERT_EQ(port.written.size(), 50u);
  for (const Bytes& frame : port.written) EXPECT_EQ(frame, kStatusRequest);
  EXPECT_EQ(view.transactionId, -1);  // lbl_tr_id never changes
  EXPECT_EQ(cycle.Queue().PendingCount(), 1);
}

TEST_F(ExchangeCycleTest, IdleTrafficAlternatesStatusAndHeartbeat) {
  cycle.ExchangeTick();
  port.Receive(statusReply());
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::LinkUpMessage());
  EXPECT_EQ(statusReplies, 1);
  EXPECT_EQ(lastWritten(), (Bytes{0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x00, 0xB8, 0x1B}));
  EXPECT_EQ(view.transactionId, 1);
  port.Receive(heartbeatEcho());
  cycle.ExchangeTick();
  EXPECT_EQ(lastWritten(), kStatusRequest);
  EXPECT_EQ(statusReplies, 1);  // the echo is validated, then ignored
}

TEST_F(ExchangeCycleTest, HeartbeatCarriesTheProtectionOffFlag) {
  view.protectionOff = true;
  cycle.ExchangeTick();
  port.Receive(statusReply());
  cycle.ExchangeTick();
  EXPECT_EQ(lastWritten()[10], 0x01);
  EXPECT_EQ(lastWritten()[9], 0x00);
}

TEST_F(ExchangeCycleTest, TransactionCounterSkips65535) {
  cycle.ExchangeTick();
  std::vector<int> sent;
  const Bytes status = statusReply();
  const Bytes echo = heartbeatEcho();
  for (int i = 0; i < 140000 && sent.size() < 5; ++i) {
    port.Receive(i % 2 == 0 ? status : echo);
    cycle.ExchangeTick();
    const Bytes& f = lastWritten();
    if (f[1] == 0x10) {
      const int counter = f[7] * 256 + f[8];
      if (counter >= 65533 || counter <= 1) sent.push_back(counter);
    }
    port.written.clear();
  }
  EXPECT_EQ(sent, (std::vector<int>{1, 65533, 65534, 0, 1}));
}

TEST_F(ExchangeCycleTest, BadCrcIsReportedAndTheRequestRepeated) {
  cycle.ExchangeTick();
  Bytes reply = statusReply();
  reply[10] ^= 0xFF;
  port.Receive(reply);
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::CrcMismatchMessage());
  EXPECT_EQ(lastWritten(), kStatusRequest);
  EXPECT_EQ(statusReplies, 0);
}

TEST_F(ExchangeCycleTest, OverlongReplyIsCutTo256BytesAndRejected) {
  cycle.ExchangeTick();
  Bytes reply{0x07, 0x04, 250};
  reply.resize(298, 0x11);
  reply = testing::WithCrc(reply);  // 300 bytes with a CRC that is only right over all of them
  port.Receive(reply);
  cycle.ExchangeTick();
  EXPECT_EQ(cycle.RxCount(), 256);
  EXPECT_EQ(view.status, ExchangeCycle::CrcMismatchMessage());
  EXPECT_TRUE(port.incoming.empty());  // the rest was read and dropped
  EXPECT_EQ(lastWritten(), kStatusRequest);
}

TEST_F(ExchangeCycleTest, ReplyFromAnotherSlaveOrForAnotherFunctionIsAccepted) {
  cycle.ExchangeTick();
  port.Receive(statusReply(42));
  cycle.ExchangeTick();
  EXPECT_EQ(statusReplies, 1);
  // The heartbeat is outstanding, but an EEPROM reply goes to its handler.
  port.Receive(testing::WithCrc({0x07, 100, 0x01, 0x00, 0x01, 0x05}));
  cycle.ExchangeTick();
  EXPECT_EQ(paramReplies, 1);
}

TEST_F(ExchangeCycleTest, ShortStatusReplyLeavesEarlierBytesInTheStore) {
  cycle.ExchangeTick();
  Bytes full{0x07, 0x04, 250};
  full.resize(253, 0x5A);
  port.Receive(testing::WithCrc(full));
  cycle.ExchangeTick();
  port.Receive(heartbeatEcho());
  cycle.ExchangeTick();
  port.Receive(testing::WithCrc({0x07, 0x04, 0x02, 0x00, 0x01}));
  cycle.ExchangeTick();
  EXPECT_EQ(statusReplies, 2);
  EXPECT_EQ(cycle.Rx()[3], 0x00);
  EXPECT_EQ(cycle.Rx()[100], 0x5A);  // left over from the long reply
}

TEST_F(ExchangeCycleTest, ExceptionReplyIsReportedWithItsCodeAndNotRepeated) {
  for (int code : {255, 0, 3}) {
    SCOPED_TRACE(code);
    ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x00, 0x00}));
    if (port.written.empty()) cycle.ExchangeTick();
    while (lastWritten()[1] != 6) {
      port.Receive(lastWritten()[1] == 4 ? statusReply() : heartbeatEcho());
      cycle.ExchangeTick();
    }
    port.Receive(testing::WithCrc({0x07, 0x86, static_cast<std::uint8_t>(code)}));
    cycle.ExchangeTick();
    EXPECT_EQ(view.status, ExchangeCycle::LinkUpMessage() + QStringLiteral(u" Нарушение протокола, код: ") +
                               QString::number(code));
    EXPECT_NE(lastWritten()[1], 6);
  }
}

TEST_F(ExchangeCycleTest, SplitReplyFailsThenTheRepeatIsJudgedWithTheLeftover) {
  cycle.ExchangeTick();
  const Bytes reply = statusReply();
  port.Receive(std::span(reply).first(100));
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::CrcMismatchMessage());
  // The rest arrives late, in front of the answer to the repeat.
  port.Receive(std::span(reply).subspan(100));
  port.Receive(reply);
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::CrcMismatchMessage());
  port.Receive(reply);
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::LinkUpMessage());
  EXPECT_EQ(statusReplies, 1);
}

TEST_F(ExchangeCycleTest, AddressSwitchFiresOnFirstTransmissionEvenUnanswered) {
  cycle.ExchangeTick();  // status request outstanding
  cycle.ArmAddressSwitch(200);
  ASSERT_TRUE(cycle.EnqueueRequest(101, {0x01, 0x17, 0x01, 0xC8}));
  port.Receive(statusReply());
  cycle.ExchangeTick();  // sends the address write, still to 7
  EXPECT_EQ(lastWritten()[0], 7);
  EXPECT_EQ(lastWritten()[1], 101);
  EXPECT_EQ(view.slaveAddress, 127);  // 200 is lowered to the highest address
  EXPECT_FALSE(cycle.pending_address_switch.armed);
  cycle.ExchangeTick();  // no answer: the repeat goes to the new address
  EXPECT_EQ(lastWritten()[0], 127);
  EXPECT_EQ(lastWritten()[1], 101);
}

TEST_F(ExchangeCycleTest, SelectedAddressGoesIntoTheNextFrame) {
  view.slaveAddress = 12;
  cycle.ExchangeTick();
  EXPECT_EQ(lastWritten()[0], 0x0C);
}

TEST_F(ExchangeCycleTest, CommandsQueuedWhileClosedGoOutInOrderOnceOpen) {
  port.Close();
  ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x12, 0x38}));
  ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x45, 0x69}));
  for (int i = 0; i < 5; ++i) cycle.ExchangeTick();
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(view.status, ExchangeCycle::NoAnswerMessage());
  ASSERT_TRUE(port.Open().ok());
  cycle.ExchangeTick();
  EXPECT_EQ(lastWritten()[4], 0x12);
  port.Receive(testing::WithCrc({0x07, 0x06, 0x01, 0x92, 0x12, 0x38}));
  cycle.ExchangeTick();
  EXPECT_EQ(lastWritten()[4], 0x45);
}

TEST_F(ExchangeCycleTest, QueueOverflowIsRefusedAndReported) {
  for (int i = 0; i < 511; ++i) ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x00, 0x01}));
  EXPECT_FALSE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x00, 0x02}));
  EXPECT_EQ(view.status, ExchangeCycle::QueueFullMessage());
  EXPECT_EQ(cycle.Queue().PendingCount(), 511);
  EXPECT_EQ(cycle.Counters().refusedRequests, 1u);
}

TEST_F(ExchangeCycleTest, TickStartedInsideATickDoesNothing) {
  int nested = 0;
  cycle.SetStatusHandler([&](const RxStore&) {
    ++statusReplies;
    // The parameters window lets events run while it is built; a timer tick
    // delivered then must not judge the same reply again.
    cycle.ExchangeTick();
    ++nested;
  });
  cycle.ExchangeTick();
  port.Receive(statusReply());
  cycle.ExchangeTick();
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(statusReplies, 1);
  EXPECT_EQ(port.written.size(), 2u);
  EXPECT_EQ(cycle.Queue().ReadIndex(), 1);
  EXPECT_EQ(cycle.Counters().nestedTicksSkipped, 1u);
}

TEST_F(ExchangeCycleTest, CompletionHandlerNamesTheAnsweredSlot) {
  std::vector<int> completed;
  cycle.SetCompletionHandler([&](int slot) { completed.push_back(slot); });
  cycle.ExchangeTick();
  port.Receive(statusReply());
  cycle.ExchangeTick();
  cycle.ExchangeTick();  // heartbeat unanswered: nothing completes
  port.Receive(heartbeatEcho());
  cycle.ExchangeTick();
  EXPECT_EQ(completed, (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace zart::link

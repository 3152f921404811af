// The exchange cycle against the simulator's controller core; the faults a
// real line brings are put in place of the controller's answer.
#include <gtest/gtest.h>

#include "link/exchange_cycle.h"
#include "support/fake_link_view.h"
#include "support/frames.h"
#include "support/sim_port.h"

namespace zart::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kStatusRequest{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78};
const Bytes kHeartbeat{0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x00, 0xB8, 0x1B};

/// A status reply; `length` other than 255 makes a reply of the wrong size
/// whose CRC is right over all of it.
Bytes StatusReply(int slave = 7, std::uint8_t fill = 0, std::size_t length = 255) {
  Bytes body{static_cast<std::uint8_t>(slave), 0x04, 250};
  body.resize(length - 2, fill);
  return testing::WithCrc(body);
}

class ExchangeCycleTest : public ::testing::Test {
 protected:
  ExchangeCycleTest() : cycle(port, view) {
    EXPECT_TRUE(port.Open().ok());
    cycle.SetStatusHandler([this](const Reply&) { ++statusReplies; });
    cycle.SetParamHandler([this](const Reply&) { ++paramReplies; });
  }
  /// One tick that finds `reply` in place of the controller's answer.
  void TickWith(std::span<const std::uint8_t> reply) {
    port.incoming.clear();
    port.Receive(reply);
    cycle.ExchangeTick();
  }
  const Bytes& LastWritten() const { return port.written.back(); }

  testing::SimPort port;
  testing::FakeLinkView view;
  ExchangeCycle cycle;
  int statusReplies = 0;
  int paramReplies = 0;
};

TEST_F(ExchangeCycleTest, IdleTrafficAlternatesStatusAndHeartbeatWithExactFrames) {
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::NoAnswerMessage());
  EXPECT_EQ(port.written, std::vector<Bytes>{kStatusRequest});
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::LinkUpMessage());
  EXPECT_EQ(LastWritten(), kHeartbeat);
  EXPECT_EQ(view.transactionId, 1);
  cycle.ExchangeTick();
  EXPECT_EQ(LastWritten(), kStatusRequest);
  EXPECT_EQ(statusReplies, 1);  // the heartbeat's echo is validated, then ignored
  EXPECT_EQ(port.controller.LastTransaction(), 1);
}

/// A producer that knows its own requests by tag.
struct Client : RequestClient {
  bool RequestAnswered(int tag, const Reply& reply) override {
    answered.push_back({tag, reply.FunctionCode()});
    return take;
  }
  void RequestSent(int tag, bool repeat) override { sent.push_back({tag, repeat}); }
  void RequestGivenUp(int tag) override { givenUp.push_back(tag); }
  std::vector<std::pair<int, int>> answered;
  std::vector<std::pair<int, bool>> sent;
  std::vector<int> givenUp;
  bool take = false;
};

TEST_F(ExchangeCycleTest, RequestsCarryTheirClientTheirOwnAddressAndALimitOnlyWhenAsked) {
  Client client;
  const Bytes status{0x01, 0x2C, 0x00, 0x7D};
  ASSERT_TRUE(cycle.EnqueueRequest(4, status, {&client, 1}));
  // A status read at address 9, which nobody answers, given up after two sends.
  ASSERT_TRUE(cycle.EnqueueRequest(4, status, {&client, 2, 9, -1, 2}));
  ASSERT_TRUE(cycle.EnqueueRequest(4, status, {&client, 3}));
  ASSERT_TRUE(cycle.EnqueueRequest(4, status, {&client, 4}));
  EXPECT_EQ(cycle.CancelRequests(&client) > 0, true);
  cycle.CancelRequests(nullptr);
  // Withdrawn: 1..4 never go out, the idle status read does.
  cycle.ExchangeTick();
  EXPECT_EQ(port.written, std::vector<Bytes>{kStatusRequest});
  EXPECT_TRUE(client.sent.empty());

  client.take = true;
  ASSERT_TRUE(cycle.EnqueueRequest(4, status, {&client, 1}));
  ASSERT_TRUE(cycle.EnqueueRequest(4, status, {&client, 2, 9, -1, 2}));
  ASSERT_TRUE(cycle.EnqueueRequest(4, status, {&client, 3}));
  for (int i = 0; i < 5; ++i) cycle.ExchangeTick();
  EXPECT_EQ(client.answered, (std::vector<std::pair<int, int>>{{1, 4}, {3, 4}}));
  EXPECT_EQ(client.givenUp, std::vector<int>{2});
  EXPECT_EQ(client.sent, (std::vector<std::pair<int, bool>>{{1, false}, {2, false}, {2, true}, {3, false}}));
  EXPECT_EQ(port.written[2][0], 9);  // its own address, then back to 7
  EXPECT_EQ(port.written[4][0], 7);
  // Taken by the client: the status handler saw only the idle read's reply.
  EXPECT_EQ(statusReplies, 1);
}

TEST_F(ExchangeCycleTest, SilentControllerGetsTheSameRequestEveryTickForever) {
  port.silent = true;
  for (int i = 0; i < 50; ++i) cycle.ExchangeTick();
  EXPECT_EQ(port.written, std::vector<Bytes>(50, kStatusRequest));
  EXPECT_EQ(view.transactionId, -1);  // lbl_tr_id never changes
  EXPECT_EQ(cycle.Queue().PendingCount(), 1);
}

TEST_F(ExchangeCycleTest, HeartbeatCarriesTheProtectionOffFlagAndTheCounterSkips65535) {
  cycle.SetProtectionOff(true);
  std::vector<int> sent;
  for (int i = 0; i < 140000 && sent.size() < 5; ++i) {
    cycle.ExchangeTick();
    const Bytes& f = LastWritten();
    const int counter = f[1] == 0x10 ? f[7] * 256 + f[8] : 1000;
    if (counter >= 65533 || counter <= 1) sent.push_back(counter);
    port.written.clear();
  }
  EXPECT_EQ(sent, (std::vector<int>{1, 65533, 65534, 0, 1}));
  EXPECT_EQ(port.controller.LastProtectionFlag(), 1);
}

struct BadReply {
  const char* name;
  Bytes reply;  // in place of the answer to the status read
  QString status;
  bool repeated;  // the status read goes out again
  int statusReplies;
};

std::ostream& operator<<(std::ostream& os, const BadReply& c) { return os << c.name; }

class ExchangeCycleReply : public ExchangeCycleTest, public ::testing::WithParamInterface<BadReply> {};

TEST_P(ExchangeCycleReply, IsJudgedAsTheLineRequires) {
  cycle.ExchangeTick();
  TickWith(GetParam().reply);
  EXPECT_EQ(view.status, GetParam().status);
  EXPECT_EQ(LastWritten() == kStatusRequest, GetParam().repeated);
  EXPECT_EQ(statusReplies, GetParam().statusReplies);
  EXPECT_EQ(cycle.RxCount(), std::min<int>(256, static_cast<int>(GetParam().reply.size())));
}

Bytes Flipped(Bytes b, std::size_t at) {
  b[at] ^= 0xFF;
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ExchangeCycleReply,
    ::testing::Values(
        BadReply{"BadCrcIsRepeated", Flipped(StatusReply(), 10), ExchangeCycle::CrcMismatchMessage(), true, 0},
        BadReply{"OverlongIsCutTo256AndRejected", StatusReply(7, 0x11, 300), ExchangeCycle::CrcMismatchMessage(), true, 0},
        BadReply{"NothingIsNoAnswer", {}, ExchangeCycle::NoAnswerMessage(), true, 0},
        // The link checks neither the slave address nor the function code.
        BadReply{"FromAnotherSlaveIsTaken", StatusReply(42), ExchangeCycle::LinkUpMessage(), false, 1},
        BadReply{"EepromReplyGoesToItsHandler", testing::WithCrc({0x07, 100, 0x01, 0x00, 0x01, 0x05}),
                 ExchangeCycle::LinkUpMessage(), false, 0},
        // A refusal is reported with its code and the request dropped.
        BadReply{"ExceptionIsReportedNotRepeated", testing::WithCrc({0x07, 0x84, 255}),
                 ExchangeCycle::LinkUpMessage() + QStringLiteral(u" Нарушение протокола, код: 255"), false, 0}),
    [](const ::testing::TestParamInfo<BadReply>& p) { return std::string(p.param.name); });

// Bytes left on the line from before the tool started make a whole frame at
// the first tick; it answers nothing, and the queue must not be moved past
// empty (it then looked 511 deep and 3-byte frames went out for good).
TEST_F(ExchangeCycleTest, WholeFrameBeforeTheFirstRequestAnswersNothing) {
  TickWith(StatusReply());
  EXPECT_EQ(statusReplies, 0);
  EXPECT_EQ(port.written, std::vector<Bytes>{kStatusRequest});
  EXPECT_EQ(cycle.Queue().PendingCount(), 1);
}

TEST_F(ExchangeCycleTest, ShortStatusReplyLeavesEarlierBytesInTheStore) {
  cycle.ExchangeTick();
  TickWith(StatusReply(7, 0x5A));
  cycle.ExchangeTick();  // the controller echoes the heartbeat
  TickWith(testing::WithCrc({0x07, 0x04, 0x02, 0x00, 0x01}));
  EXPECT_EQ(statusReplies, 2);
  EXPECT_EQ(cycle.Rx()[3], 0x00);
  EXPECT_EQ(cycle.Rx()[100], 0x5A);  // left over from the long reply
}

TEST_F(ExchangeCycleTest, SplitReplyFailsThenTheRepeatIsJudgedWithTheLeftover) {
  cycle.ExchangeTick();
  const Bytes reply = StatusReply();
  TickWith(std::span(reply).first(100));
  EXPECT_EQ(view.status, ExchangeCycle::CrcMismatchMessage());
  // The rest arrives late, in front of the answer to the repeat.
  Bytes late(reply.begin() + 100, reply.end());
  late.insert(late.end(), reply.begin(), reply.end());
  TickWith(late);
  EXPECT_EQ(view.status, ExchangeCycle::CrcMismatchMessage());
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::LinkUpMessage());
  EXPECT_EQ(statusReplies, 1);
}

TEST_F(ExchangeCycleTest, AddressSwitchFiresOnFirstTransmissionEvenUnanswered) {
  cycle.ExchangeTick();  // status request outstanding
  RequestOptions write;
  write.switchAddressTo = 200;
  ASSERT_TRUE(cycle.EnqueueRequest(101, {0x01, 0x17, 0x01, 0xC8}, write));
  port.silent = true;
  TickWith(StatusReply());  // sends the address write, still to 7
  EXPECT_EQ(LastWritten()[0], 7);
  EXPECT_EQ(LastWritten()[1], 101);
  EXPECT_EQ(view.slaveAddress, 127);  // 200 is lowered to the highest address
  EXPECT_EQ(cycle.SlaveAddress(), 127);
  cycle.ExchangeTick();  // no answer: the repeat goes to the new address
  EXPECT_EQ(LastWritten()[0], 127);
  EXPECT_EQ(LastWritten()[1], 101);
}

TEST_F(ExchangeCycleTest, CommandsQueuedWhileClosedGoOutInOrderOnceOpen) {
  port.Close();
  ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x12, 0x38}));
  ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x45, 0x69}));
  for (int i = 0; i < 5; ++i) cycle.ExchangeTick();
  EXPECT_TRUE(port.written.empty());
  // A closed port is told as such, with the reason it could not be opened.
  port.openable.clear();
  port.Open();
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, QStringLiteral(u"Порт COM1 не открыт: /dev/fake1: No such file or directory"));
  port.openable.insert(1);
  ASSERT_TRUE(port.Open().ok());
  cycle.SetSlaveAddress(12);  // the selected address goes into the next frame
  cycle.ExchangeTick();
  EXPECT_EQ(view.status, ExchangeCycle::NoAnswerMessage());
  EXPECT_EQ(LastWritten(), testing::WithCrc({0x0C, 0x06, 0x01, 0x92, 0x12, 0x38}));
  cycle.SetSlaveAddress(7);
  TickWith(testing::WithCrc({0x0C, 0x06, 0x01, 0x92, 0x12, 0x38}));
  EXPECT_EQ(LastWritten()[4], 0x45);
}

TEST_F(ExchangeCycleTest, TickStartedInsideATickDoesNothing) {
  // Should a handler ever let events run, a timer tick delivered then must
  // not judge the same reply again.
  cycle.SetStatusHandler([&](const Reply&) {
    ++statusReplies;
    cycle.ExchangeTick();
  });
  cycle.ExchangeTick();
  cycle.ExchangeTick();
  EXPECT_EQ(statusReplies, 1);
  EXPECT_EQ(port.written.size(), 2u);
  EXPECT_EQ(cycle.Queue().ReadIndex(), 1);
  EXPECT_EQ(cycle.Counters().nestedTicksSkipped, 1u);
}

}  // namespace
}  // namespace zart::link

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "link/eeprom_refusal_watch.h"
#include "link/exchange_cycle.h"
#include "link/frame_recorder.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "support/frames.h"

namespace zart::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

// What the controller does with the request sent at the tick before.
enum class Line { reply, silent, garbled, exception };

class FrameRecorderTest : public ::testing::Test {
 protected:
  FrameRecorderTest() : recorder([this] { return nowMs; }), cycle(port, view) {
    EXPECT_TRUE(port.Open().ok());
    cycle.SetRecorder(&recorder);
    cycle.ExchangeTick();  // sends the first status read
  }

  void Tick(Line line) {
    const Bytes answers[] = {testing::WithCrc({0x07, 0x10, 0x01, 0x90, 0x00, 0x02}), {},
                             {0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x00, 0x00}, testing::WithCrc({0x07, 0x84, 0x02})};
    nowMs += 100;
    port.Receive(answers[static_cast<int>(line)]);
    cycle.ExchangeTick();
  }

  std::int64_t nowMs = 0;
  testing::FakeSerialPort port;
  testing::FakeLinkView view;
  FrameRecorder recorder;
  ExchangeCycle cycle;
};

TEST_F(FrameRecorderTest, EachExchangeKeepsItsFramesVerdictAndRepeatFlag) {
  struct Row {
    Line line;
    ExchangeVerdict verdict;
    bool nextIsRepeat;
  };
  const std::vector<Row> rows{
      {Line::reply, ExchangeVerdict::reply, false},        {Line::silent, ExchangeVerdict::no_answer, true},
      {Line::garbled, ExchangeVerdict::crc_mismatch, true}, {Line::reply, ExchangeVerdict::reply, false},
      {Line::exception, ExchangeVerdict::exception, false},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    const std::uint64_t number = recorder.NewestNumber();
    const Bytes sent = port.written.back();
    Tick(rows[i].line);
    const RecordedExchange* e = recorder.Find(number);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->verdict, rows[i].verdict);
    EXPECT_EQ(Bytes(e->Request().begin(), e->Request().end()), sent);
    EXPECT_EQ(e->judgedMs - e->sentMs, 100);
    EXPECT_EQ(recorder.Find(number + 1)->repeat, rows[i].nextIsRepeat);
    EXPECT_EQ(recorder.Find(number + 1)->verdict, ExchangeVerdict::pending);
  }
  EXPECT_EQ(recorder.Find(3)->replyLength, 8) << "the garbled reply";

  const TrafficCounters& c = recorder.SinceStart();
  EXPECT_EQ(c.requests, 6u);
  EXPECT_EQ(c.validReplies, 2u);
  EXPECT_EQ(c.noAnswers, 1u);
  EXPECT_EQ(c.crcMismatches, 1u);
  EXPECT_EQ(c.exceptions, 1u);
  EXPECT_EQ(c.repeats, 2u);
  EXPECT_DOUBLE_EQ(recorder.GoodShareLastMinute(), 3.0 / 5.0);
}

TEST_F(FrameRecorderTest, ClearingStartsTheCountersAndTheMinuteAfresh) {
  Tick(Line::silent);
  recorder.ClearCounters();
  EXPECT_EQ(recorder.SinceCleared().requests, 0u);
  EXPECT_EQ(recorder.GoodShareLastMinute(), -1.0);
  Tick(Line::reply);
  EXPECT_EQ(recorder.SinceCleared().validReplies, 1u);
  EXPECT_EQ(recorder.SinceCleared().repeats, 0u);
  EXPECT_EQ(recorder.SinceStart().noAnswers, 1u);
  EXPECT_DOUBLE_EQ(recorder.GoodShareLastMinute(), 1.0);
  // A minute later the good reply has left the share.
  nowMs += 61'000;
  EXPECT_EQ(recorder.GoodShareLastMinute(), -1.0);
}

// A full queue keeps its backlog: the request is refused, said so and counted.
TEST_F(FrameRecorderTest, RefusedRequestsAreReportedAndCounted) {
  int refused = 0;
  for (int i = 0; i < RequestQueue::kSlots + 3; ++i)
    refused += cycle.EnqueueRequest(FC_EEPROM_READ, {0x01, static_cast<std::uint8_t>(i), 0x01}) ? 0 : 1;
  EXPECT_GT(refused, 0);
  EXPECT_EQ(cycle.Queue().PendingCount(), RequestQueue::kSlots - 1);
  EXPECT_EQ(cycle.Queue().Head().slot_bytes[1], 4) << "the status read sent first is still at the head";
  EXPECT_EQ(cycle.Queue().Pending(1).slot_bytes[3], 0) << "the backlog was not overwritten";
  EXPECT_EQ(view.status, ExchangeCycle::QueueFullMessage());
  EXPECT_EQ(cycle.Counters().refusedRequests, static_cast<std::uint64_t>(refused));
  EXPECT_EQ(recorder.SinceStart().refused, static_cast<std::uint64_t>(refused));
}

TEST_F(FrameRecorderTest, TheRingKeepsTheNewestExchangesOnly) {
  for (int i = 0; i < FrameRecorder::kCapacity + 10; ++i) Tick(Line::reply);
  const std::uint64_t newest = recorder.NewestNumber();
  EXPECT_EQ(newest, static_cast<std::uint64_t>(FrameRecorder::kCapacity) + 11);
  EXPECT_EQ(recorder.OldestNumber(), newest - FrameRecorder::kCapacity + 1);
  EXPECT_EQ(recorder.Find(recorder.OldestNumber() - 1), nullptr);
  EXPECT_EQ(recorder.Find(newest + 1), nullptr);
  EXPECT_EQ(recorder.Find(newest)->number, newest);
}

TEST_F(FrameRecorderTest, ClosedPortRecordsNothingButNoiseGetsALine) {
  port.ForceOpen(false);
  Tick(Line::silent);  // the outstanding read goes unanswered
  const std::uint64_t before = recorder.NewestNumber();
  Tick(Line::silent);
  Tick(Line::silent);
  EXPECT_EQ(recorder.NewestNumber(), before);
  port.ForceOpen(true);
  port.Receive(Bytes{0x55, 0xAA, 0x55});
  nowMs += 100;
  cycle.ExchangeTick();
  const RecordedExchange* noise = recorder.Find(before + 1);
  ASSERT_NE(noise, nullptr);
  EXPECT_EQ(noise->requestLength, 0);
  EXPECT_EQ(noise->verdict, ExchangeVerdict::crc_mismatch);
}

// ---- A converting gateway that refuses the EEPROM functions ---------------

TEST(EepromRefusalWatchTest, TellsOnceWhenStatusWorksButThreeEepromRequestsRunningFail) {
  // s: status answered, S: status unanswered, r: refused with code 1, x: code
  // 2, n: no answer, a: answered; upper case for 4/r over the serial line.
  const auto exchange = [](char c) {
    RecordedExchange e;
    e.request[1] = std::string_view("sS").find(c) != std::string_view::npos ? 4 : 100;
    e.requestLength = 8;
    e.requestHeaderLength = c == 'R' ? 0 : 7;
    e.verdict = std::string_view("rxR").find(c) != std::string_view::npos ? ExchangeVerdict::exception
                : c == 'n' || c == 'S'                                     ? ExchangeVerdict::no_answer
                                                                           : ExchangeVerdict::reply;
    e.reply = {7, 0xE4, static_cast<std::uint8_t>(c == 'x' ? 2 : 1)};
    e.replyLength = 5;
    return e;
  };
  for (const auto& [script, toldAt] : {std::pair{"srrrrrr", 3}, {"srnn", 3}, {"srrarr", -1}, {"Srrr", -1},
                                       {"sxrr", -1}, {"sRRR", -1}}) {
    SCOPED_TRACE(script);
    EepromRefusalWatch watch;
    std::vector<int> told;
    for (int round = 0; round < 2; ++round, watch.Reset())  // another link: told again
      for (int i = 0; script[i] != 0; ++i)
        if (watch.Judged(exchange(script[i]))) told.push_back(i);
    EXPECT_EQ(told, toldAt < 0 ? std::vector<int>() : std::vector<int>(2, toldAt));
  }
}

}  // namespace
}  // namespace zart::link

#include <gtest/gtest.h>

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

/// One judged exchange: function, verdict, exception code, and whether it
/// went out as Modbus TCP.
RecordedExchange Judged(int function, ExchangeVerdict verdict, bool mbap = true, int code = 1) {
  RecordedExchange e;
  e.request[0] = 7;
  e.request[1] = static_cast<std::uint8_t>(function);
  e.requestLength = 8;
  e.requestHeaderLength = mbap ? 7 : 0;
  e.verdict = verdict;
  e.reply = {7, static_cast<std::uint8_t>(function | 0x80), static_cast<std::uint8_t>(code)};
  e.replyLength = verdict == ExchangeVerdict::no_answer ? 0 : 5;
  return e;
}

TEST(EepromRefusalWatchTest, TellsOnceWhenStatusWorksButThreeEepromRequestsRunningFail) {
  using V = ExchangeVerdict;
  const RecordedExchange status = Judged(4, V::reply), refused = Judged(100, V::exception), silent = Judged(101, V::no_answer),
                         read = Judged(100, V::reply);
  const struct {
    const char* name;
    std::vector<RecordedExchange> exchanges;
    int toldAt;  // index of the exchange that tells, -1: none
  } rows[] = {
      {"refused three times", {status, refused, refused, refused, refused, refused, refused}, 3},
      {"refused and silent mixed", {status, refused, silent, silent}, 3},
      {"an answer between", {status, refused, refused, read, refused, refused}, -1},
      {"no status answered", {Judged(4, V::no_answer), refused, refused, refused}, -1},
      {"other exception code", {status, Judged(100, V::exception, true, 2), refused, refused}, -1},
      {"the serial line or a transparent gateway", {Judged(4, V::reply, false), Judged(100, V::exception, false),
                                                    Judged(100, V::exception, false), Judged(100, V::exception, false)}, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EepromRefusalWatch watch;
    int told = -1;
    for (std::size_t i = 0; i < row.exchanges.size(); ++i)
      if (watch.Judged(row.exchanges[i])) {
        EXPECT_EQ(told, -1) << "told twice";
        told = static_cast<int>(i);
      }
    EXPECT_EQ(told, row.toldAt);
    watch.Reset();  // another link: told again
    if (row.toldAt >= 0) {
      for (const auto& e : row.exchanges) told = watch.Judged(e) ? -2 : told;
      EXPECT_EQ(told, -2);
    }
  }
}

}  // namespace
}  // namespace zart::link

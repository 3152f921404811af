#include "link/exchange_pacer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "controller.h"
#include "link/exchange_cycle.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "support/frames.h"

namespace zart::link {
namespace {

/// Notes the tag of each request answered.
struct Answered : RequestClient {
  bool RequestAnswered(int tag, const Reply&) override {
    tags.push_back(tag);
    return false;
  }
  std::vector<int> tags;
};

using Bytes = std::vector<std::uint8_t>;
using Pieces = std::vector<std::pair<std::int64_t, Bytes>>;  // (arrival after the write, bytes)
constexpr std::int64_t kMs = 1'000'000;

/// The fake port on a fake clock: frames written are timed, and a scripted
/// controller schedules its reply bytes to arrive at given times.
class TimedLine : public testing::FakeSerialPort {
 public:
  explicit TimedLine(std::int64_t& now) : m_now(now) {}

  /// Called with each frame written; returns the reply pieces.
  std::function<Pieces(const Bytes&)> controller;
  /// As a network link: the reply time-out (0: the serial line), and whether
  /// arrivals are reported (the test then steps the pacer when bytes come).
  int replyTimeoutMs = 0;
  bool arrivals = false;
  int ReplyTimeoutMs() const override { return replyTimeoutMs; }
  bool SignalsArrival() const override { return arrivals; }
  /// When the next scripted bytes arrive; none: far in the future.
  std::int64_t NextArrival() const { return m_due.empty() ? INT64_MAX : m_due.front().first; }
  std::vector<std::int64_t> writeTimes;
  /// For frame i: when the exchange first looked for its reply.
  std::vector<std::int64_t> lookTimes;

  int BytesWaiting() override {
    Deliver();
    if (lookTimes.size() < writeTimes.size()) lookTimes.push_back(m_now);
    return FakeSerialPort::BytesWaiting();
  }
  int ReadByte() override {
    Deliver();
    return FakeSerialPort::ReadByte();
  }
  void Write(std::span<const std::uint8_t> frame) override {
    FakeSerialPort::Write(frame);
    writeTimes.push_back(m_now);
    if (!controller) return;
    for (auto& [delay, bytes] : controller(Bytes(frame.begin(), frame.end()))) m_due.push_back({m_now + delay, bytes});
  }

 private:
  void Deliver() {
    while (!m_due.empty() && m_due.front().first <= m_now) {
      Receive(m_due.front().second);
      m_due.pop_front();
    }
  }
  std::int64_t& m_now;
  std::deque<std::pair<std::int64_t, Bytes>> m_due;
};

Pieces WholeAt(std::int64_t ms, const Bytes& r) { return {{ms * kMs, r}}; }

/// The simulator's controller core answers, whole, `turnaroundMs` after the request.
Pieces Answer(sim::Controller& controller, const Bytes& request, std::int64_t turnaroundMs = 3) {
  const auto reply = controller.HandleRequest(request);
  return reply ? WholeAt(turnaroundMs, *reply) : Pieces{};
}

/// The link view, with the fake time of every status text.
class TimedView : public testing::FakeLinkView {
 public:
  explicit TimedView(std::int64_t& now) : m_now(now) {}
  void SetStatusText(const QString& text) override {
    FakeLinkView::SetStatusText(text);
    times.push_back(m_now);
  }
  std::vector<std::int64_t> times;  // beside statusHistory

 private:
  std::int64_t& m_now;
};

class PacerTest : public ::testing::Test {
 protected:
  PacerTest() : line(now), view(now), cycle(line, view), pacer(cycle, [this] { return now; }) {
    EXPECT_TRUE(line.Open().ok());
    line.controller = [this](const Bytes& request) { return Answer(sim, request); };
    pacer.Start();
  }

  /// Lets the timer fire whenever the pacer asked, for `ms` of fake time.
  void RunFor(std::int64_t ms) {
    const std::int64_t end = now + ms * kMs;
    while (now < end) {
      const int wait = pacer.Step();
      steps.push_back(now);
      std::int64_t next = now + (wait == ExchangePacer::kGapWait ? kMs / 10 : wait * kMs);
      // A link that reports arrivals steps the pacer as the bytes come.
      if (line.arrivals && pacer.WantsArrival()) next = std::min(next, std::max(now + 1, line.NextArrival()));
      now = next;
    }
  }

  std::vector<std::int64_t> steps;  // when Step was called

  std::int64_t now = 5 * kMs;
  sim::Controller sim{sim::EepromImage::Defaults(0), 7};
  TimedLine line;
  TimedView view;
  ExchangeCycle cycle;
  ExchangePacer pacer;
};

TEST_F(PacerTest, NothingHappensBeforeTheTickIsDue) {
  now += 40 * kMs;
  EXPECT_EQ(pacer.Step(), 60);
  now += 59 * kMs + kMs / 2;
  EXPECT_EQ(pacer.Step(), 1);
  EXPECT_EQ(cycle.Counters().ticks, 0u);
  now += kMs / 2;
  EXPECT_EQ(pacer.Step(), 100);
  EXPECT_EQ(cycle.Counters().ticks, 1u);
}

// A slow tick (the first status reply builds the parameters window) must
// not shorten the time of the request it sent; without a slow tick the
// exchange keeps its exact 100 ms rhythm.
TEST_F(PacerTest, EveryRequestGetsItsWholeIntervalHoweverLongTheTickTook) {
  for (const std::int64_t slowMs : {0, 8, 60, 150, 420}) {
    SCOPED_TRACE(slowMs);
    line.writeTimes.clear();
    line.lookTimes.clear();
    int statusReplies = 0;
    cycle.SetStatusHandler([&](const Reply&) {
      if (++statusReplies % 3 == 1) now += slowMs * kMs;
    });
    RunFor(3000);
    ASSERT_GE(line.writeTimes.size(), 10u);
    for (std::size_t i = 0; i < line.lookTimes.size(); ++i) {
      EXPECT_GE(line.lookTimes[i] - line.writeTimes[i], 100 * kMs) << "request " << i;
      EXPECT_LE(line.lookTimes[i] - line.writeTimes[i], 101 * kMs) << "request " << i;
    }
    // Heartbeat and status read alternate: nothing went out twice.
    for (std::size_t i = 1; i < line.written.size(); ++i) EXPECT_NE(line.written[i][1], line.written[i - 1][1]);
    if (slowMs == 0) {
      for (std::size_t i = 1; i < line.writeTimes.size(); ++i)
        EXPECT_EQ(line.writeTimes[i] - line.writeTimes[i - 1], 100 * kMs);
    }
  }
}

// ---- Fast exchange -------------------------------------------------------

struct FastRow {
  const char* name;
  /// The answer to the first read: pieces arriving `ms` after the request.
  std::function<Pieces(const Bytes& reply)> firstAnswer;
  std::int64_t judgedFromMs, judgedToMs;  // first judgement after the write
  QString firstMessage;
  std::size_t sendsOfFirstRead;
  std::size_t readsSent;  // both reads, repeats included
};

class FastPacerTest : public PacerTest, public ::testing::WithParamInterface<FastRow> {};

// Two reads queued; the first is answered as the row says, everything else
// whole after 3 ms. Each transfer still ends with both reads answered.
TEST_P(FastPacerTest, JudgesAReplyWhenItIsCompleteAndRepeatsAsBefore) {
  const FastRow& row = GetParam();
  pacer.SetFastExchange(true);
  Answered answered;
  std::vector<int>& completed = answered.tags;
  std::vector<int> handled;  // start address of each read reply taken
  cycle.SetParamHandler([&](const Reply& r) { handled.push_back(r.rx[2] * 256 + r.rx[3]); });
  int reads = 0;
  line.controller = [&](const Bytes& request) {
    if (request[1] != 100 || reads++ > 0) return Answer(sim, request);
    return row.firstAnswer(*sim.HandleRequest(request));
  };
  ASSERT_TRUE(cycle.EnqueueRequest(100, {0x01, 0x10, 4}, {&answered, 0}));
  ASSERT_TRUE(cycle.EnqueueRequest(100, {0x01, 0x20, 8}, {&answered, 1}));
  RunFor(400);

  ASSERT_GE(line.writeTimes.size(), 3u);
  const std::int64_t sent = line.writeTimes[0];
  std::size_t first = 0;
  while (first < view.times.size() && view.times[first] <= sent) ++first;
  ASSERT_LT(first, view.times.size());
  EXPECT_GE(view.times[first] - sent, row.judgedFromMs * kMs);
  EXPECT_LE(view.times[first] - sent, row.judgedToMs * kMs);
  // The message as it stands after that judgement (an exception report is
  // appended to the link message).
  std::size_t last = first;
  while (last + 1 < view.times.size() && view.times[last + 1] == view.times[first]) ++last;
  EXPECT_EQ(view.statusHistory[static_cast<int>(last)], row.firstMessage);
  EXPECT_EQ(std::count(line.written.begin(), line.written.end(), line.written[0]),
            static_cast<std::ptrdiff_t>(row.sendsOfFirstRead));
  EXPECT_EQ(static_cast<std::size_t>(reads), row.readsSent);
  ASSERT_GE(completed.size(), 2u);
  EXPECT_EQ(completed[0], 0);
  EXPECT_EQ(completed[1], 1);
  // Each read's data taken once (the refused one not at all), none taken
  // for another read's answer.
  ASSERT_FALSE(handled.empty());
  EXPECT_EQ(handled.back(), 0x120);
  EXPECT_EQ(std::count(handled.begin(), handled.end(), 0x120), 1);
  EXPECT_LE(std::count(handled.begin(), handled.end(), 0x110), 1);
  // Every request went out at least the line's gap after the last byte
  // that came in before it, never while a reply was still arriving.
  for (std::size_t i = 1; i < line.writeTimes.size(); ++i) EXPECT_GT(line.writeTimes[i], line.writeTimes[i - 1]);
}

void PrintTo(const FastRow& row, std::ostream* os) { *os << row.name; }

INSTANTIATE_TEST_SUITE_P(
    Replies, FastPacerTest,
    ::testing::Values(
        FastRow{"whole", [](const Bytes& r) { return WholeAt(3, r); }, 3, 5, ExchangeCycle::LinkUpMessage(), 1, 2},
        FastRow{"split",
                [](const Bytes& r) {
                  return Pieces{{3 * kMs, Bytes(r.begin(), r.begin() + 6)}, {40 * kMs, Bytes(r.begin() + 6, r.end())}};
                },
                40, 42, ExchangeCycle::LinkUpMessage(), 1, 2},
        FastRow{"late", [](const Bytes& r) { return WholeAt(99, r); }, 99, 101, ExchangeCycle::LinkUpMessage(), 1, 2},
        // Too late: judged missing at 100 ms and sent again. The late reply
        // answers the repeat; the repeat's own reply, coming in while the
        // next read waits, is not taken for that read's answer.
        FastRow{"after_timeout", [](const Bytes& r) { return WholeAt(101, r); }, 100, 101,
                ExchangeCycle::NoAnswerMessage(), 2, 3},
        FastRow{"exception", [](const Bytes&) { return WholeAt(3, testing::WithCrc({7, 0xE4, 2})); }, 3, 5,
                ExchangeCycle::LinkUpMessage() + QStringLiteral(u" Нарушение протокола, код: 2"), 1, 2},
        FastRow{"garbage_before",
                [](const Bytes& r) {
                  Bytes noisy{0x55, 0xAA, 0x13};
                  noisy.insert(noisy.end(), r.begin(), r.end());
                  return WholeAt(3, noisy);
                },
                4, 6, ExchangeCycle::CrcMismatchMessage(), 2, 3}),
    [](const ::testing::TestParamInfo<FastRow>& row) { return std::string(row.param.name); });

// ---- Over a network link, and with arrivals reported ----------------------

struct PaceRow {
  const char* name;
  int replyTimeoutMs;  // 0: the serial line
  bool fast, arrivals;
  std::int64_t replyMs;      // the first request's reply comes this late; -1: never
  std::int64_t judgedMs;     // when it is judged, after the write
  std::int64_t nextWriteMs;  // when the next request goes out, after the write
  QString message;
  std::size_t maxSteps;      // Step calls from the write to the judgement
};

class PaceTest : public PacerTest, public ::testing::WithParamInterface<PaceRow> {};

TEST_P(PaceTest, JudgesWhenCompleteOrAtTheLinksTimeoutAndKeepsTheIdlePace) {
  const PaceRow& row = GetParam();
  line.replyTimeoutMs = row.replyTimeoutMs;
  line.arrivals = row.arrivals;
  pacer.SetFastExchange(row.fast);
  line.controller = [&](const Bytes& request) {
    if (line.writeTimes.size() > 1) return Answer(sim, request);
    return row.replyMs < 0 ? Pieces{} : WholeAt(row.replyMs, *sim.HandleRequest(request));
  };
  RunFor(101);  // the first tick sends the first status read
  ASSERT_EQ(line.writeTimes.size(), 1u);
  const std::int64_t sent = line.writeTimes[0];
  RunFor(1500);
  ASSERT_GE(line.writeTimes.size(), 2u);
  ASSERT_FALSE(view.times.empty());
  std::size_t first = 0;
  while (view.times[first] <= sent) ++first;
  EXPECT_EQ(view.times[first] - sent, row.judgedMs * kMs);
  EXPECT_EQ(view.statusHistory[static_cast<int>(first)], row.message);
  EXPECT_EQ(line.writeTimes[1] - sent, row.nextWriteMs * kMs);
  EXPECT_LE(std::count_if(steps.begin(), steps.end(), [&](std::int64_t t) { return t > sent && t <= view.times[first]; }),
            static_cast<std::ptrdiff_t>(row.maxSteps));
  // Once replies come at once the idle traffic is back at its 100 ms pace.
  for (std::size_t i = 3; i < line.writeTimes.size(); ++i) EXPECT_EQ(line.writeTimes[i] - line.writeTimes[i - 1], 100 * kMs);
}

void PrintTo(const PaceRow& row, std::ostream* os) { *os << row.name; }

const QString kUp = ExchangeCycle::LinkUpMessage();
const QString kNone = ExchangeCycle::NoAnswerMessage();
INSTANTIATE_TEST_SUITE_P(
    Links, PaceTest,
    ::testing::Values(PaceRow{"SerialDesign", 0, false, false, 3, 100, 100, kUp, 1},
                      PaceRow{"SerialFastPolled", 0, true, false, 3, 3, 100, kUp, 3},
                      PaceRow{"SerialFastOnArrival", 0, true, true, 3, 3, 100, kUp, 1},
                      PaceRow{"NetworkSlowReply", 1000, false, true, 300, 300, 300, kUp, 1},
                      PaceRow{"NetworkQuickReplyKeepsThePace", 1000, false, true, 3, 3, 100, kUp, 1},
                      PaceRow{"NetworkNoReply", 1000, false, true, -1, 1000, 1000, kNone, 1},
                      PaceRow{"NetworkReplyAfterTheTimeout", 400, true, true, 450, 400, 400, kNone, 1}),
    [](const ::testing::TestParamInfo<PaceRow>& row) { return std::string(row.param.name); });

// A network link that is down: nothing is written, and its message comes at
// the usual 100 ms pace, not after the network time-out.
TEST_F(PacerTest, ClosedNetworkLinkIsToldEveryTick) {
  line.replyTimeoutMs = 1000;
  line.arrivals = true;
  line.Close();
  RunFor(1000);
  EXPECT_TRUE(line.written.empty());
  ASSERT_GE(view.times.size(), 9u);
  for (std::size_t i = 1; i < view.times.size(); ++i) EXPECT_EQ(view.times[i] - view.times[i - 1], 100 * kMs);
}

// Under fast exchange queued work runs back to back (its idle pace is the
// serial rows' of the pace table); switched off with a request under way,
// the exchange goes back to the tick without judging that request missing.
TEST_F(PacerTest, FastExchangeRunsQueuedWorkBackToBackAndSwitchesOffCleanly) {
  const auto expectTickPace = [this](std::size_t from) {
    for (std::size_t i = from + 1; i < line.writeTimes.size(); ++i)
      EXPECT_EQ(line.writeTimes[i] - line.writeTimes[i - 1], 100 * kMs) << i;
  };
  pacer.SetFastExchange(true);
  RunFor(1000);

  Answered answered;
  for (int i = 0; i < 131; ++i) ASSERT_TRUE(cycle.EnqueueRequest(100, {0x01, static_cast<std::uint8_t>(i), 8}, {&answered, i}));
  RunFor(131 * 6);
  // The idle request under way, then 3 ms on the line plus a poll for each.
  EXPECT_EQ(answered.tags.size(), 131u);

  RunFor(300);
  for (const std::size_t n = line.writeTimes.size(); line.writeTimes.size() == n;) RunFor(1);
  RunFor(50);  // a status read judged early, the next one not yet due
  pacer.SetFastExchange(false);
  const std::size_t sent = line.writeTimes.size();
  const std::uint64_t noAnswers = cycle.Counters().noAnswers;
  RunFor(1000);
  EXPECT_EQ(line.writeTimes.size(), sent + 10);
  EXPECT_EQ(cycle.Counters().noAnswers, noAnswers);
  expectTickPace(sent);
}

}  // namespace
}  // namespace zart::link

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "link/exchange_cycle.h"
#include "link/exchange_pacer.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "support/frames.h"

namespace zart::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::int64_t kMs = 1'000'000;

/// The fake port on a fake clock: frames written are timed, and a scripted
/// controller schedules its reply bytes to arrive at given times.
class TimedLine : public testing::FakeSerialPort {
 public:
  explicit TimedLine(std::int64_t& now) : m_now(now) {}

  /// Called with each frame written; returns the reply pieces (arrival
  /// delay after the write, bytes).
  std::function<std::vector<std::pair<std::int64_t, Bytes>>(const Bytes&)> controller;
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

Bytes StatusReply() {
  Bytes body{7, 0x04, 250};
  body.resize(253, 0);
  return testing::WithCrc(body);
}

/// Answers status reads and heartbeats whole, `turnaroundMs` after the request.
std::vector<std::pair<std::int64_t, Bytes>> Answer(const Bytes& request, std::int64_t turnaroundMs) {
  if (request[1] == 0x04) return {{turnaroundMs * kMs, StatusReply()}};
  if (request[1] == 0x10) return {{turnaroundMs * kMs, testing::WithCrc({7, 0x10, 0x01, 0x90, 0x00, 0x02})}};
  return {};
}

class PacerTest : public ::testing::Test {
 protected:
  PacerTest() : line(now), cycle(line, view), pacer(cycle, [this] { return now; }) {
    EXPECT_TRUE(line.Open().ok());
    line.controller = [](const Bytes& request) { return Answer(request, 3); };
    pacer.Start();
  }

  /// Lets the timer fire whenever the pacer asked, for `ms` of fake time.
  void RunFor(std::int64_t ms) {
    const std::int64_t end = now + ms * kMs;
    while (now < end) now += pacer.Step() * kMs;
  }

  std::int64_t now = 5 * kMs;
  TimedLine line;
  testing::FakeLinkView view;
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
    cycle.SetStatusHandler([&](const RxStore&) {
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

}  // namespace
}  // namespace zart::link

#include "fault_injector.h"

#include <gtest/gtest.h>

#include "controller.h"
#include "sim_test_util.h"

namespace zart::sim {
namespace {

using testing::Bytes;
using testing::Framed;

const Bytes kEcho = Framed({7, 6, 0x01, 0x92, 0x12, 0x38});

Bytes statusReply() {
  Controller c(EepromImage::Defaults(0), 7);
  return *c.HandleRequest(Framed({7, 4, 0x01, 0x2C, 0x00, 0x7D}));
}

Bytes joined(const std::vector<OutChunk>& chunks) {
  Bytes out;
  for (const auto& c : chunks) out.insert(out.end(), c.bytes.begin(), c.bytes.end());
  return out;
}

TEST(FaultInjector, NoFaultPassesTheReplyAtOnce) {
  FaultInjector f;
  const auto out = f.Apply(kEcho);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].delayUs, 0);
  EXPECT_EQ(out[0].bytes, kEcho);
}

TEST(FaultInjector, SilentAndDropEvery) {
  FaultInjector f;
  f.Settings().silent = true;
  EXPECT_TRUE(f.Apply(kEcho).empty());
  f.Clear();
  f.Settings().dropEvery = 3;
  std::vector<bool> sent;
  for (int i = 0; i < 7; ++i) sent.push_back(!f.Apply(kEcho).empty());
  EXPECT_EQ(sent, (std::vector<bool>{true, true, false, true, true, false, true}));
  EXPECT_EQ(f.Counts().dropped, 2u);
}

TEST(FaultInjector, CorruptedCrcKeepsTheLength) {
  FaultInjector f;
  f.Settings().badCrcEvery = 2;
  const Bytes first = joined(f.Apply(kEcho));
  const Bytes second = joined(f.Apply(kEcho));
  EXPECT_TRUE(HasGoodCrc(first));
  EXPECT_FALSE(HasGoodCrc(second));
  EXPECT_EQ(second.size(), kEcho.size());
  EXPECT_TRUE(std::equal(kEcho.begin(), kEcho.end() - 2, second.begin()));
}

TEST(FaultInjector, AnswerAsAnotherAddressHasAValidCrc) {
  FaultInjector f;
  f.Settings().answerAs = 9;
  const Bytes out = joined(f.Apply(kEcho));
  EXPECT_EQ(out[0], 9);
  EXPECT_TRUE(HasGoodCrc(out));
}

TEST(FaultInjector, LongReplyPadsOnlyStatusRepliesWithAValidCrc) {
  FaultInjector f;
  f.Settings().longReply = 300;
  const Bytes padded = joined(f.Apply(statusReply()));
  ASSERT_EQ(padded.size(), 300u);
  EXPECT_EQ(padded[2], 250) << "byte count left as it was";
  EXPECT_EQ(padded[255], 0);
  EXPECT_TRUE(HasGoodCrc(padded));
  EXPECT_EQ(joined(f.Apply(kEcho)), kEcho);
}

TEST(FaultInjector, GarbageComesBeforeTheIntactReply) {
  FaultInjector f;
  f.Settings().garbageBefore = 5;
  const Bytes out = joined(f.Apply(kEcho));
  ASSERT_EQ(out.size(), kEcho.size() + 5);
  EXPECT_TRUE(std::equal(kEcho.begin(), kEcho.end(), out.begin() + 5));
}

TEST(FaultInjector, SplitReplyPausesBetweenTheHalves) {
  FaultInjector f;
  f.Settings().splitMs = 150;
  const Bytes reply = statusReply();
  const auto out = f.Apply(reply);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].delayUs, 0);
  EXPECT_EQ(out[1].delayUs, 150000);
  EXPECT_FALSE(out[0].bytes.empty());
  EXPECT_EQ(joined(out), reply);
}

}  // namespace
}  // namespace zart::sim

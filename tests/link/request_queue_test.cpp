#include <gtest/gtest.h>

#include "link/request_queue.h"

namespace zart::link {
namespace {

TEST(RequestQueue, StartsEmptyAtSlotZero) {
  RequestQueue q;
  EXPECT_TRUE(q.QueueIsEmpty());
  EXPECT_EQ(q.WriteIndex(), 0);
  EXPECT_EQ(q.ReadIndex(), 0);
  EXPECT_EQ(q.FreeSlots(), 511);
}

TEST(RequestQueue, StoresPlaceholderFunctionCodeDataAndLastIndex) {
  RequestQueue q;
  ASSERT_TRUE(q.EnqueueRequest(6, {0x01, 0x92, 0x45, 0x69}));
  const RequestSlot& s = q.Head();
  EXPECT_EQ(s.slot_bytes[0], 0);
  EXPECT_EQ(s.slot_bytes[1], 6);
  EXPECT_EQ(s.slot_bytes[5], 0x69);
  EXPECT_EQ(s.last_index, 5);
}

TEST(RequestQueue, BothIndicesWrapAfterSlot511) {
  RequestQueue q;
  for (int i = 0; i < 511; ++i) {
    ASSERT_TRUE(q.EnqueueRequest(4, {0x01}));
    q.AdvanceReadIndex();
  }
  EXPECT_EQ(q.WriteIndex(), 511);
  ASSERT_TRUE(q.EnqueueRequest(4, {0x02}));
  EXPECT_EQ(q.WriteIndex(), 0);
  EXPECT_EQ(q.ReadIndex(), 511);
  EXPECT_EQ(q.Head().slot_bytes[2], 0x02);
  q.AdvanceReadIndex();
  EXPECT_EQ(q.ReadIndex(), 0);
  EXPECT_TRUE(q.QueueIsEmpty());
}

TEST(RequestQueue, RefusesTheRequestThatWouldLoseTheBacklog) {
  RequestQueue q;
  for (int i = 0; i < 511; ++i) ASSERT_TRUE(q.EnqueueRequest(4, {static_cast<std::uint8_t>(i & 0xFF)})) << i;
  EXPECT_EQ(q.PendingCount(), 511);
  EXPECT_FALSE(q.EnqueueRequest(6, {0xEE}));
  // Nothing was overwritten and the backlog is still there, head first.
  EXPECT_EQ(q.PendingCount(), 511);
  EXPECT_EQ(q.Head().slot_bytes[1], 4);
  EXPECT_EQ(q.Head().slot_bytes[2], 0);
  q.AdvanceReadIndex();
  EXPECT_TRUE(q.EnqueueRequest(6, {0xEE}));
}

TEST(RequestQueue, RefusesARequestTooLongForTheFrame) {
  RequestQueue q;
  std::vector<std::uint8_t> data(253, 0x11);  // last_index 254: the longest
  EXPECT_TRUE(q.EnqueueRequest(101, data));
  data.push_back(0x11);
  EXPECT_FALSE(q.EnqueueRequest(101, data));
  EXPECT_EQ(q.PendingCount(), 1);
}

}  // namespace
}  // namespace zart::link

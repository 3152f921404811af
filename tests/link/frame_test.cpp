#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "link/crc.h"
#include "link/frame.h"
#include "link/port_map.h"
#include "link/request_queue.h"
#include "link/rx_store.h"
#include "support/frames.h"

namespace zart::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::StoreOf;

TEST(Crc16Modbus, PublishedCheckValueOverTheBytesUpToLastIndex) {
  const std::string_view digits = "123456789";
  const Bytes bytes(digits.begin(), digits.end());
  EXPECT_EQ(Crc16Modbus(bytes, 8), 0x4B37);
  EXPECT_EQ(Crc16Modbus(bytes, 7), Crc16Modbus(Bytes(digits.begin(), digits.end() - 1), 7));
}

struct FrameCase {
  const char* name;
  int slave;
  Bytes request;  // as queued: byte 0 placeholder, then function code and data
  Bytes wire;
};

void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class BuildFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(BuildFrameTest, MatchesPublishedFrame) {
  const FrameCase& c = GetParam();
  const int lastIndex = static_cast<int>(c.request.size()) - 1;
  EXPECT_EQ(BuildFrame(c.slave, c.request, lastIndex), c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, BuildFrameTest,
    ::testing::Values(
        FrameCase{"status", 7, {0, 0x04, 0x01, 0x2C, 0x00, 0x7D}, {0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78}},
        FrameCase{"command_start", 7, {0, 0x06, 0x01, 0x92, 0x12, 0x38}, {0x07, 0x06, 0x01, 0x92, 0x12, 0x38, 0x24, 0xCF}},
        FrameCase{"heartbeat_1",
                  7,
                  {0, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x00},
                  {0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x00, 0xB8, 0x1B}}),
    [](const ::testing::TestParamInfo<FrameCase>& p) { return std::string(p.param.name); });

TEST(CheckReply, ClassifiesCollectedBytes) {
  const Bytes status{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78};
  Bytes badCrc = status;
  badCrc.back() ^= 0x01;
  const CrcBytes crcOfByte0 = CrcWireBytes(Crc16Modbus(Bytes{0x07}, 0));
  const Bytes threeBytes{0x07, crcOfByte0.low, crcOfByte0.high};

  struct Case {
    const char* name;
    Bytes bytes;
    ReplyOutcome expected;
  };
  const std::vector<Case> cases{
      {"nothing", {}, ReplyOutcome::no_answer},
      {"one byte", {0x07}, ReplyOutcome::no_answer},
      {"two bytes", {0x07, 0x04}, ReplyOutcome::no_answer},
      {"three bytes with the CRC of byte 0", threeBytes, ReplyOutcome::valid},
      {"three bytes, wrong CRC", {0x07, 0x00, 0x00}, ReplyOutcome::crc_mismatch},
      {"good frame", status, ReplyOutcome::valid},
      {"last bit flipped", badCrc, ReplyOutcome::crc_mismatch},
  };
  for (const Case& c : cases) {
    const RxStore rx = StoreOf(c.bytes);
    EXPECT_EQ(CheckReply(rx, static_cast<int>(c.bytes.size())), c.expected) << c.name;
  }
}

TEST(RxStore, ReadsBigEndianRegistersStoresAtMost256AndReadsBeyondAsZero) {
  RxStore rx = StoreOf(Bytes{0xFF, 0xFF, 0x80, 0x00, 0x12, 0x34});
  EXPECT_EQ(rx.ReadU16(0), 65535);
  EXPECT_EQ(rx.ReadS16(0), -1);
  EXPECT_EQ(rx.ReadS16(2), -32768);
  EXPECT_EQ(rx.ReadU16(4), 0x1234);
  EXPECT_EQ(RxStore::RegOffset(124), 251);
  rx.Store(255, 0xAB);
  rx.Store(256, 0xCD);  // beyond the per-exchange limit: dropped
  EXPECT_EQ(rx[255], 0xAB);
  EXPECT_EQ(rx[256], 0);
  EXPECT_EQ(rx[5000], 0);  // a decoder reading past the store gets 0, not a fault
  EXPECT_EQ(rx[-1], 0);
}

TEST(ByteOfValue, SelectsTwosComplementBytes) {
  struct Case {
    std::int32_t v;
    int k;
    int expected;
  };
  const std::vector<Case> cases{
      {0x1238, 1, 0x12}, {0x1238, 0, 0x38}, {-1, 3, 0xFF},         {-21564, 1, 0xAB}, {-21564, 0, 0xC4},
      {0x12345678, 3, 0x12}, {0x12345678, 2, 0x34}, {INT32_MIN, 3, 0x80}, {65535, 1, 0xFF}, {65536, 1, 0x00},
  };
  for (const Case& c : cases) EXPECT_EQ(ByteOfValue(c.v, c.k), c.expected) << c.v << " byte " << c.k;
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

TEST(RequestQueue, RefusesARequestTooLongForTheFrame) {
  RequestQueue q;
  std::vector<std::uint8_t> data(253, 0x11);  // last_index 254: the longest
  EXPECT_TRUE(q.EnqueueRequest(101, data));
  data.push_back(0x11);
  EXPECT_FALSE(q.EnqueueRequest(101, data));
  EXPECT_EQ(q.PendingCount(), 1);
}

#ifndef Q_OS_WIN
TEST(PortMap, DefaultDevicesAndOverrides) {
  PortMap map({{3, QStringLiteral(" /dev/serial/by-id/usb-FTDI-if00-port0 ")}, {5, QStringLiteral("  ")}});
  struct Case {
    int n;
    const char* device;
  };
  const Case cases[] = {{1, "/dev/ttyS0"},    {4, "/dev/ttyS3"},    {3, "/dev/serial/by-id/usb-FTDI-if00-port0"},
                        {5, "/dev/ttyUSB0"},  {12, "/dev/ttyUSB7"}, {13, "/dev/ttyACM0"},
                        {16, "/dev/ttyACM3"}, {17, ""},             {0, ""}};
  for (const Case& c : cases) EXPECT_EQ(map.DevicePath(c.n), QString::fromLatin1(c.device)) << c.n;
}
#else
TEST(PortMap, WindowsNamesEveryPortItself) {
  PortMap map({{3, QStringLiteral("/dev/ttyUSB0")}});
  EXPECT_EQ(map.DevicePath(3), QStringLiteral("COM3"));
  EXPECT_EQ(map.DevicePath(17), QStringLiteral("COM17"));
}
#endif


}  // namespace
}  // namespace zart::link

#include "request_framer.h"

#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace zart::sim {
namespace {

using testing::B;
using testing::Bytes;
using testing::Framed;

const Bytes kStatus = B({0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78});
const Bytes kHeartbeat = B({0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x00, 0xB8, 0x1B});

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct StreamCase {
  const char* name;
  Bytes stream;
  std::vector<Bytes> frames;  // expected, in order
};

class FramerStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(FramerStream, FindsTheFramesWhetherFedWholeOrByteByByte) {
  const StreamCase& c = GetParam();
  RequestFramer whole;
  EXPECT_EQ(whole.Feed(c.stream, 0), c.frames) << c.name;

  RequestFramer single;
  std::vector<Bytes> got;
  for (std::size_t i = 0; i < c.stream.size(); ++i) {
    for (auto& f : single.Feed(std::span<const std::uint8_t>(&c.stream[i], 1), static_cast<std::int64_t>(i) * 100)) {
      got.push_back(f);
    }
  }
  EXPECT_EQ(got, c.frames) << c.name;
}

const Bytes kEepromWrite = Framed({7, 101, 0x01, 0x02, 3, 15, 30, 75});
const Bytes kEepromRead = Framed({7, 100, 0x05, 0x00, 120});

INSTANTIATE_TEST_SUITE_P(
    Streams, FramerStream,
    ::testing::Values(
        StreamCase{"status", kStatus, {kStatus}},
        StreamCase{"heartbeat", kHeartbeat, {kHeartbeat}},
        StreamCase{"eeprom write", kEepromWrite, {kEepromWrite}},
        StreamCase{"back to back", cat({kStatus, kHeartbeat, kEepromRead, kEepromWrite}),
                   {kStatus, kHeartbeat, kEepromRead, kEepromWrite}},
        StreamCase{"garbage first", cat({B({0x55, 0xAA, 0x07, 0x04}), kStatus}), {kStatus}},
        // Noise that looks like the start of a long function-16 frame must not
        // hold up the real request behind it.
        StreamCase{"noise like a long write", cat({B({0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0xF0}), kStatus}), {kStatus}},
        StreamCase{"frame with bad crc then good", cat({B({0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x79}), kStatus}),
                   {kStatus}},
        StreamCase{"frame for another slave is still a frame", B({0x0C, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF1, 0x03}),
                   {B({0x0C, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF1, 0x03})}},
        StreamCase{"half a frame", Bytes(kStatus.begin(), kStatus.begin() + 5), {}}),
    [](const auto& p) {
      std::string n = p.param.name;
      for (char& ch : n) ch = (ch == ' ') ? '_' : ch;
      return n;
    });

TEST(RequestFramer, FrameOfUnknownFunctionEndsAtASilenceGap) {
  RequestFramer f;
  const Bytes odd = Framed({7, 0x11});
  EXPECT_TRUE(f.Feed(odd, 0).empty());
  EXPECT_FALSE(f.Idle(RequestFramer::kFrameGapUs - 1).has_value());
  const auto frame = f.Idle(RequestFramer::kFrameGapUs);
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(*frame, odd);
  EXPECT_EQ(f.Buffered(), 0u);
}

TEST(RequestFramer, StaleBytesAreClearedSoTheNextRequestIsSeen) {
  RequestFramer f;
  EXPECT_TRUE(f.Feed(Bytes(kStatus.begin(), kStatus.begin() + 6), 0).empty());
  ASSERT_TRUE(f.NextDeadlineUs().has_value());
  EXPECT_FALSE(f.Idle(RequestFramer::kFrameGapUs).has_value());
  f.Idle(RequestFramer::kStaleGapUs + 1);
  EXPECT_EQ(f.Buffered(), 0u);
  EXPECT_EQ(f.DiscardedBytes(), 6u);
  EXPECT_FALSE(f.NextDeadlineUs().has_value());
  EXPECT_EQ(f.Feed(kStatus, 100000), std::vector<Bytes>{kStatus});
}

TEST(RequestFramer, EndlessNoiseIsBounded) {
  RequestFramer f;
  Bytes noise(3000, 0x10);
  EXPECT_TRUE(f.Feed(noise, 0).empty());
  EXPECT_LE(f.Buffered(), RequestFramer::kMaxBuffered);
  EXPECT_EQ(f.Feed(kStatus, 1).size(), 1u);
}

}  // namespace
}  // namespace zart::sim

#include "sim_options.h"

#include <gtest/gtest.h>

namespace zart::sim {
namespace {

TEST(SimOptions, ParsesAFullCommandLine) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--link", "/tmp/x", "--address", "12", "--type", "dra", "--eeprom", "e.bin",
                            "--speedup", "60", "--wire-timing", "--parity", "N", "--turnaround", "5",
                            "--drop-every", "3", "--split-reply", "150", "--answer-as", "0x0C", "--long-reply",
                            "300", "--garbage-before", "4", "--fault-bad-crc", "--verbose"},
                           o, error))
      << error;
  EXPECT_EQ(o.linkPath, "/tmp/x");
  EXPECT_EQ(o.address, 12);
  EXPECT_TRUE(o.addressGiven);
  EXPECT_EQ(o.objectType, 1);
  EXPECT_DOUBLE_EQ(o.speedup, 60.0);
  EXPECT_TRUE(o.wireTiming);
  EXPECT_EQ(o.parity, 'N');
  EXPECT_EQ(o.turnaroundMs, 5);
  EXPECT_EQ(o.faults.dropEvery, 3);
  EXPECT_EQ(o.faults.splitMs, 150);
  EXPECT_EQ(o.faults.answerAs, 12);
  EXPECT_EQ(o.faults.longReply, 300);
  EXPECT_EQ(o.faults.garbageBefore, 4);
  EXPECT_TRUE(o.faults.badCrc);
  EXPECT_FALSE(o.faults.silent);
}

TEST(SimOptions, RejectsBadInput) {
  const std::vector<std::vector<std::string>> bad = {
      {"--address", "256"}, {"--address", "7x"}, {"--address"}, {"--type", "boat"}, {"--speedup", "0"},
      {"--parity", "X"},    {"--drop-every", "-1"}, {"--bogus"}};
  for (const auto& args : bad) {
    SimOptions o;
    std::string error;
    EXPECT_FALSE(ParseOptions(args, o, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace zart::sim

#include "sim_options.h"

#include <gtest/gtest.h>

namespace zart::sim {
namespace {

TEST(SimOptions, NumbersMayBeHexAndFaultsStartFromTheCommandLine) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--address", "12", "--answer-as", "0x0C", "--parity", "n", "--split-reply", "150",
                            "--fault-bad-crc"},
                           o, error))
      << error;
  EXPECT_TRUE(o.addressGiven);
  EXPECT_FALSE(o.typeGiven);
  EXPECT_EQ(o.faults.answerAs, 12);
  EXPECT_EQ(o.parity, 'N');
  EXPECT_EQ(o.faults.splitMs, 150);
  EXPECT_TRUE(o.faults.badCrc);
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

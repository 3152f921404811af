#include "control_interpreter.h"

#include <gtest/gtest.h>

namespace zart::sim {
namespace {

class ControlTest : public ::testing::Test {
 protected:
  Controller controller{EepromImage::Defaults(0), 7};
  FaultInjector faults;
  TrafficCounts traffic;
  std::uint64_t discarded = 0;
  ControlInterpreter control{controller, faults, traffic, discarded};
};

struct LineCase {
  const char* line;
  const char* answer;
};

class ControlAnswers : public ControlTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ControlAnswers, OneLinePerCommand) { EXPECT_EQ(control.Execute(GetParam().line).text, GetParam().answer); }

INSTANTIATE_TEST_SUITE_P(
    Lines, ControlAnswers,
    ::testing::Values(LineCase{"block on", "ok block on"}, LineCase{"  block   off ", "ok block off"},
                      LineCase{"block maybe", "error usage: block on|off"},
                      LineCase{"fault silent on", "ok fault silent on"},
                      LineCase{"fault drop-every 4", "ok fault drop-every 4"},
                      LineCase{"fault split 150", "ok fault split 150"},
                      LineCase{"fault long off", "ok fault long off"},
                      LineCase{"fault answer-as 300", "error usage: fault answer-as ADDR|off"},
                      LineCase{"fault garbage -1", "error usage: fault garbage N|off"},
                      LineCase{"fault wobble on", "error unknown fault 'wobble'"},
                      LineCase{"dump 258 3", "ok dump 258: 0F 1E 4B"},
                      LineCase{"dump 0x117 1", "ok dump 279: 07"},
                      LineCase{"dump 4095 2", "error usage: dump ADDR COUNT (within 0..4095)"},
                      LineCase{"frobnicate", "error unknown command 'frobnicate'"}, LineCase{"", ""}));

TEST_F(ControlTest, CommandsReachTheControllerAndTheFaults) {
  control.Execute("block on");
  EXPECT_TRUE(controller.Blocked());
  control.Execute("fault bad-crc on");
  control.Execute("fault answer-as 12");
  control.Execute("fault garbage 3");
  EXPECT_TRUE(faults.Settings().badCrc);
  EXPECT_EQ(faults.Settings().answerAs, 12);
  EXPECT_EQ(faults.Settings().garbageBefore, 3);
  EXPECT_EQ(control.Execute("fault none").text, "ok fault none");
  EXPECT_FALSE(faults.Settings().Any());
}

}  // namespace
}  // namespace zart::sim

// The worn-cell fault: a write echoes correctly but one byte is stored wrong.
#include <gtest/gtest.h>

#include "control_interpreter.h"
#include "fault_injector.h"
#include "sim_test_util.h"

namespace zart::sim {
namespace {

using testing::Bytes;
using testing::Framed;

struct StoredCase {
  const char* what;
  Bytes request;
  int faultAt;        // -1: fault off
  int probe;          // EEPROM address looked at afterwards
  int expected;       // its value then
  bool struck;
};

class StoredByte : public ::testing::TestWithParam<StoredCase> {};

TEST_P(StoredByte, OnlyAcceptedWritesCoveringTheByteAreStoredWrong) {
  const StoredCase& c = GetParam();
  Controller controller(EepromImage::Defaults(0), 7);
  FaultInjector faults;
  if (c.faultAt >= 0) faults.Settings().corruptByte = c.faultAt;
  const auto reply = controller.HandleRequest(c.request);
  ASSERT_TRUE(reply.has_value());
  const Bytes echo = *reply;
  EXPECT_EQ(faults.CorruptStoredByte(c.request, controller.Eeprom()), c.struck) << c.what;
  EXPECT_EQ(controller.Eeprom().At(c.probe), c.expected) << c.what;
  EXPECT_EQ(faults.Counts().storedWrong, c.struck ? 1u : 0u) << c.what;
  // The echo was built before the fault struck: it shows what was written.
  EXPECT_EQ(echo, *reply) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredByte,
    ::testing::Values(
        StoredCase{"three bytes over it", Framed({7, 101, 0x01, 0x02, 3, 10, 20, 30}), 259, 259, 20 ^ 1, true},
        StoredCase{"first byte of a block", Framed({7, 101, 0x01, 0x02, 2, 10, 20}), 258, 258, 10 ^ 1, true},
        StoredCase{"write beside it", Framed({7, 101, 0x01, 0x02, 1, 10}), 259, 258, 10, false},
        StoredCase{"fault off", Framed({7, 101, 0x01, 0x02, 1, 10}), -1, 258, 10, false},
        StoredCase{"a read never corrupts", Framed({7, 100, 0x01, 0x02, 1}), 258, 258, 0x0F, false},
        StoredCase{"refused write (outside the EEPROM)", Framed({7, 101, 0x00, 0x10, 1, 10}), 16, 16, 0xFF,
                   false}));

TEST(StoredByteControl, SwitchedByControlLinesAndClearedWithTheOthers) {
  Controller controller(EepromImage::Defaults(0), 7);
  FaultInjector faults;
  TrafficCounts traffic;
  std::uint64_t discarded = 0;
  ControlInterpreter control(controller, faults, traffic, discarded);
  EXPECT_EQ(control.Execute("fault corrupt-byte 0x200").text, "ok fault corrupt-byte 512");
  EXPECT_EQ(faults.Settings().corruptByte, 512);
  EXPECT_TRUE(faults.Settings().Any());
  EXPECT_EQ(control.Execute("fault corrupt-byte 4096").text, "error usage: fault corrupt-byte ADDR|off");
  control.Execute("fault none");
  EXPECT_FALSE(faults.Settings().corruptByte.has_value());
}

}  // namespace
}  // namespace zart::sim

#include "controller.h"

#include <gtest/gtest.h>

#include "sim_test_util.h"

namespace zart::sim {
namespace {

using testing::B;
using testing::Bytes;
using testing::Framed;
using testing::Hex;
using namespace std::chrono_literals;

const Bytes kStatusRequest = B({0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78});

int reg(const Bytes& reply, int r) { return reply[2 * (r - 300) + 3] * 256 + reply[2 * (r - 300) + 4]; }

Controller makeController(int type = 0) { return Controller(EepromImage::Defaults(type), 7); }

Bytes status(Controller& c) {
  auto r = c.HandleRequest(kStatusRequest);
  return r ? *r : Bytes{};
}

void command(Controller& c, int code) {
  ASSERT_TRUE(c.HandleRequest(Framed({7, 6, 0x01, 0x92, code >> 8, code & 0xFF})).has_value());
}

void runFor(Controller& c, std::chrono::milliseconds total) {
  for (auto t = 0ms; t < total; t += 100ms) c.Advance(100ms);
}

TEST(Controller, StatusReplyHasTheFullBlockAndAGoodCrc) {
  Controller c = makeController();
  const Bytes r = status(c);
  ASSERT_EQ(r.size(), 255u);
  EXPECT_EQ(Hex(Bytes(r.begin(), r.begin() + 3)), "07 04 FA");
  EXPECT_TRUE(HasGoodCrc(r));
  EXPECT_EQ(reg(r, 300), 0x0203);
  EXPECT_EQ(reg(r, 301), 0x0107);
  EXPECT_EQ(reg(r, 302), 0);
  EXPECT_EQ(reg(r, 303), 0);
  EXPECT_EQ(reg(r, 395) * 65536 + reg(r, 396), 123456);
  EXPECT_GE(reg(r, 305), 240);
  EXPECT_LE(reg(r, 305), 244);
  // ДГУ at rest: "Готов", "Авт. зап." and "Двиг. ост."
  EXPECT_EQ(reg(r, 392), (1 << 3) | (1 << 6) | (1 << 10));
}

struct SilentCase {
  const char* name;
  Bytes request;
};

class ControllerStaysSilent : public ::testing::TestWithParam<SilentCase> {};

TEST_P(ControllerStaysSilent, ForFramesItMustNotAnswer) {
  Controller c = makeController();
  EXPECT_FALSE(c.HandleRequest(GetParam().request).has_value()) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ControllerStaysSilent,
    ::testing::Values(SilentCase{"other slave", B({0x0C, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF1, 0x03})},
                      SilentCase{"bad crc", B({0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x79})},
                      SilentCase{"crc bytes swapped", B({0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0x78, 0xF0})},
                      SilentCase{"too short", B({0x07, 0x04, 0x01})},
                      SilentCase{"empty", Bytes{}}),
    [](const auto& p) {
      std::string n = p.param.name;
      for (char& ch : n) ch = (ch == ' ') ? '_' : ch;
      return n;
    });

struct ReplyCase {
  const char* name;
  Bytes request;
  const char* reply;  // whole expected reply, CRC included
};

class ControllerReplies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ControllerReplies, WithTheExactFrame) {
  Controller c = makeController();
  const auto r = c.HandleRequest(GetParam().request);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(Hex(*r), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ControllerReplies,
    ::testing::Values(
        ReplyCase{"StartCommandEcho", B({0x07, 0x06, 0x01, 0x92, 0x12, 0x38, 0x24, 0xCF}),
                  "07 06 01 92 12 38 24 CF"},
        ReplyCase{"HeartbeatReply", B({0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x00, 0xB8, 0x1B}),
                  "07 10 01 90 00 02 40 7F"},
        ReplyCase{"EepromReadStartSpeed", B({0x07, 0x64, 0x01, 0x02, 0x01, 0x1F, 0x90}), "07 64 01 02 01 0F 91 CC"},
        ReplyCase{"StatusBelowBlock", Framed({7, 4, 0x01, 0x2B, 0x00, 0x7D}), "07 84 02 22 C0"},
        ReplyCase{"StatusPastBlock", Framed({7, 4, 0x01, 0x2C, 0x00, 0x7E}), "07 84 02 22 C0"},
        ReplyCase{"StatusZeroCount", Framed({7, 4, 0x01, 0x2C, 0x00, 0x00}), "07 84 02 22 C0"},
        ReplyCase{"UnknownCommandCode", Framed({7, 6, 0x01, 0x92, 0x12, 0x34}), "07 86 03 E2 60"},
        ReplyCase{"CommandToOtherRegister", Framed({7, 6, 0x01, 0x91, 0x12, 0x38}), "07 86 03 E2 60"},
        ReplyCase{"HeartbeatToOtherRegisters", Framed({7, 16, 0x01, 0x91, 0x00, 0x02, 0x04, 0, 1, 0, 0}),
                  "07 90 02 2D C0"},
        ReplyCase{"EepromReadBelow256", Framed({7, 100, 0x00, 0xFF, 0x01}), "07 E4 02 0A C0"},
        ReplyCase{"EepromReadPastEnd", Framed({7, 100, 0x0F, 0xFA, 0x0A}), "07 E4 02 0A C0"},
        ReplyCase{"EepromReadTooMany", Framed({7, 100, 0x01, 0x00, 121}), "07 E4 03 CB 00"},
        ReplyCase{"EepromWritePastEnd", Framed({7, 101, 0x0F, 0xFF, 0x02, 1, 2}), "07 E5 02 0B 50"},
        ReplyCase{"ReadHoldingRegistersUnknown", Framed({7, 3, 0x01, 0x90, 0x00, 0x02}), "07 83 01 60 F1"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Controller, UnknownFunctionGivesExceptionOne) {
  Controller c = makeController();
  const auto r = c.HandleRequest(Framed({7, 0x11}));
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(Hex(Bytes(r->begin(), r->begin() + 3)), "07 91 01");
  EXPECT_TRUE(HasGoodCrc(*r));
}

TEST(Controller, HeartbeatIsRemembered) {
  Controller c = makeController();
  EXPECT_EQ(c.LastTransaction(), -1);
  ASSERT_TRUE(c.HandleRequest(Framed({7, 16, 0x01, 0x90, 0, 2, 4, 0xFF, 0xFE, 0, 1})).has_value());
  EXPECT_EQ(c.LastTransaction(), 65534);
  EXPECT_EQ(c.LastProtectionFlag(), 1);
}

TEST(Controller, EepromWriteIsEchoedAndReadBack) {
  Controller c = makeController();
  // Name of channel 1 ("Т ОЖ" in Windows-1251 is D2 20 CE C6) replaced by "AB".
  const Bytes write = Framed({7, 101, 0x05, 0x00, 4, 'A', 'B', 0, 0});
  const auto echo = c.HandleRequest(write);
  ASSERT_TRUE(echo.has_value());
  EXPECT_EQ(*echo, write);
  const auto read = c.HandleRequest(Framed({7, 100, 0x05, 0x00, 6}));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(Hex(Bytes(read->begin(), read->end() - 2)), "07 64 05 00 06 41 42 00 00 00 00");
  EXPECT_TRUE(HasGoodCrc(*read));
}

TEST(Controller, ReadOfTheLastEepromBytesAndOfNothing) {
  Controller c = makeController();
  const auto last = c.HandleRequest(Framed({7, 100, 0x0F, 0xF6, 10}));  // 4086..4095, erased
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->size(), 17u);
  EXPECT_EQ((*last)[14], 0xFF);
  const auto none = c.HandleRequest(Framed({7, 100, 0x01, 0x00, 0}));
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(Hex(Bytes(none->begin(), none->end() - 2)), "07 64 01 00 00");
}

TEST(Controller, WriteCoveringTheAddressByteMovesTheControllerAfterReplying) {
  Controller c = makeController();
  // Slots 20..23: bytes 276..279, the last one the slave address.
  const auto r = c.HandleRequest(Framed({7, 101, 0x01, 0x14, 4, 3, 10, 25, 12}));
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ((*r)[0], 7) << "the reply still comes from the old address";
  EXPECT_EQ(c.Address(), 12);
  EXPECT_FALSE(c.HandleRequest(kStatusRequest).has_value());
  EXPECT_TRUE(c.HandleRequest(B({0x0C, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF1, 0x03})).has_value());
}

TEST(Controller, WriteNextToTheAddressByteKeepsTheAddress) {
  Controller c = makeController();
  ASSERT_TRUE(c.HandleRequest(Framed({7, 101, 0x01, 0x16, 1, 25})).has_value());  // 278 only
  ASSERT_TRUE(c.HandleRequest(Framed({7, 101, 0x01, 0x18, 1, 5})).has_value());   // 280 only
  EXPECT_EQ(c.Address(), 7);
}

TEST(Controller, EngineRunsUpAfterStartAndStopsAfterStop) {
  Controller c = makeController();
  command(c, Controller::kCmdStart);
  c.Advance(1000ms);
  const int early = reg(status(c), 303);
  EXPECT_GT(early, 0);
  EXPECT_LT(early, 1500);
  runFor(c, 5s);
  Bytes r = status(c);
  EXPECT_EQ(reg(r, 303), 1500);  // working speed parameter: 75 x 20
  EXPECT_EQ(reg(r, 304), 0) << "no propeller shaft on a generator set";
  EXPECT_EQ(reg(r, 392), 1 << 2) << "only \"Работа\"";
  EXPECT_GE(reg(r, 305), 260);
  EXPECT_NE(reg(r, 397) & 0x0002, 0);

  command(c, Controller::kCmdStop);
  runFor(c, 5s);
  r = status(c);
  EXPECT_EQ(reg(r, 303), 0);
  EXPECT_EQ(reg(r, 392), (1 << 3) | (1 << 6) | (1 << 10));
}

TEST(Controller, RunningTimeCountsUpAndServiceTimeDown) {
  Controller c = makeController();
  const int service = c.ServiceMinutes();
  c.Advance(10min);  // stopped: nothing counts
  EXPECT_EQ(c.RunningMinutes(), 123456u);
  command(c, Controller::kCmdStart);
  c.Advance(std::chrono::milliseconds(2 * 60000 + 59999));
  EXPECT_EQ(c.RunningMinutes(), 123458u);
  c.Advance(1ms);
  EXPECT_EQ(c.RunningMinutes(), 123459u);
  EXPECT_EQ(c.ServiceMinutes(), service - 3);
}

TEST(Controller, PropulsionUnitShowsShaftSpeedAndItsLamps) {
  Controller c = makeController(1);
  command(c, Controller::kCmdStart);
  runFor(c, 5s);
  const Bytes r = status(c);
  EXPECT_EQ(reg(r, 302), 1);
  EXPECT_EQ(reg(r, 304), 500);
  EXPECT_EQ(reg(r, 392), (1 << 2) | (1 << 8));
}

TEST(Controller, BlockedControllerEchoesCommandsButIgnoresThem) {
  Controller c = makeController();
  c.SetBlocked(true);
  command(c, Controller::kCmdStart);
  runFor(c, 3s);
  const Bytes r = status(c);
  EXPECT_EQ(reg(r, 300), 0x8203);
  EXPECT_EQ(reg(r, 303), 0);
  EXPECT_NE(reg(r, 392) & (1 << 4), 0) << "\"Пост\" while control is local";
}

TEST(Controller, AlarmStopsTheEngineAndNeedsAcknowledgingBeforeAStart) {
  Controller c = makeController();
  command(c, Controller::kCmdStart);
  runFor(c, 4s);
  c.RaiseAlarm();
  runFor(c, 5s);
  Bytes r = status(c);
  EXPECT_EQ(reg(r, 303), 0);
  EXPECT_EQ(reg(r, 392) & 0x0F, 1 << 0);
  EXPECT_EQ(reg(r, 423), 1);
  command(c, Controller::kCmdStart);
  EXPECT_FALSE(c.Running());
  command(c, Controller::kCmdAcknowledge);
  r = status(c);
  EXPECT_EQ(reg(r, 392) & 0x0F, 1 << 3);
  EXPECT_EQ(reg(r, 423), 0);
  command(c, Controller::kCmdStart);
  EXPECT_TRUE(c.Running());
}

TEST(Controller, ProtectionOffCommandToggles) {
  Controller c = makeController();
  command(c, Controller::kCmdProtectionOff);
  EXPECT_NE(reg(status(c), 392) & (1 << 5), 0);
  command(c, Controller::kCmdProtectionOff);
  EXPECT_EQ(reg(status(c), 392) & (1 << 5), 0);
}

}  // namespace
}  // namespace zart::sim

// The simulated controller's wire behaviour that the other tests rely on:
// exact replies and silences, the address move, the engine model, injected
// faults, request framing, control lines and the process on its pty.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include <QCoreApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "control_interpreter.h"
#include "controller.h"
#include "eeprom_image.h"
#include "fault_injector.h"
#include "request_framer.h"
#include "sim_options.h"
#include "support/sim_process.h"

namespace zart::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

Bytes Framed(std::initializer_list<int> v) {
  Bytes out;
  for (int x : v) out.push_back(static_cast<std::uint8_t>(x));
  AppendCrc(out);
  return out;
}

std::string Hex(const Bytes& b) {
  std::string s;
  for (std::uint8_t x : b) s += (s.empty() ? "" : " ") + std::string{"0123456789ABCDEF"[x >> 4], "0123456789ABCDEF"[x & 15]};
  return s;
}

const Bytes kStatus = Framed({7, 4, 0x01, 0x2C, 0x00, 0x7D});

int Reg(const Bytes& reply, int r) { return reply[2 * (r - 300) + 3] * 256 + reply[2 * (r - 300) + 4]; }

struct ReplyCase {
  const char* name;
  Bytes request;
  const char* reply;  // the whole reply with its CRC; "" for silence
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class ControllerReplies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ControllerReplies, ExactFrameOrSilence) {
  Controller c(EepromImage::Defaults(0), 7);
  const auto r = c.HandleRequest(GetParam().request);
  EXPECT_EQ(r ? Hex(*r) : std::string(), GetParam().reply);
}

Bytes Corrupt(Bytes b) {
  b.back() ^= 1;
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ControllerReplies,
    ::testing::Values(
        ReplyCase{"OtherSlave", Framed({12, 4, 0x01, 0x2C, 0x00, 0x7D}), ""},
        ReplyCase{"BadCrc", Corrupt(kStatus), ""},
        ReplyCase{"TooShort", {7, 4, 1}, ""},
        ReplyCase{"Empty", {}, ""},
        ReplyCase{"StartCommandEcho", Framed({7, 6, 0x01, 0x92, 0x12, 0x38}), "07 06 01 92 12 38 24 CF"},
        ReplyCase{"HeartbeatReply", Framed({7, 16, 0x01, 0x90, 0, 2, 4, 0, 1, 0, 0}), "07 10 01 90 00 02 40 7F"},
        ReplyCase{"EepromReadStartSpeed", Framed({7, 100, 0x01, 0x02, 1}), "07 64 01 02 01 0F 91 CC"},
        ReplyCase{"EepromReadOfNothing", Framed({7, 100, 0x01, 0x00, 0}), "07 64 01 00 00 DF 30"},
        ReplyCase{"StatusBelowBlock", Framed({7, 4, 0x01, 0x2B, 0x00, 0x7D}), "07 84 02 22 C0"},
        ReplyCase{"StatusPastBlock", Framed({7, 4, 0x01, 0x2C, 0x00, 0x7E}), "07 84 02 22 C0"},
        ReplyCase{"StatusOfNoRegisters", Framed({7, 4, 0x01, 0x2C, 0x00, 0x00}), "07 84 02 22 C0"},
        ReplyCase{"UnknownCommandCode", Framed({7, 6, 0x01, 0x92, 0x12, 0x34}), "07 86 03 E2 60"},
        ReplyCase{"CommandToOtherRegister", Framed({7, 6, 0x01, 0x91, 0x12, 0x38}), "07 86 03 E2 60"},
        ReplyCase{"HeartbeatToOtherRegisters", Framed({7, 16, 0x01, 0x91, 0, 2, 4, 0, 1, 0, 0}), "07 90 02 2D C0"},
        ReplyCase{"EepromReadBelow256", Framed({7, 100, 0x00, 0xFF, 1}), "07 E4 02 0A C0"},
        ReplyCase{"EepromReadPastEnd", Framed({7, 100, 0x0F, 0xFA, 10}), "07 E4 02 0A C0"},
        ReplyCase{"EepromReadTooMany", Framed({7, 100, 0x01, 0x00, 121}), "07 E4 03 CB 00"},
        ReplyCase{"EepromWritePastEnd", Framed({7, 101, 0x0F, 0xFF, 2, 1, 2}), "07 E5 02 0B 50"},
        ReplyCase{"UnknownFunction", Framed({7, 3, 0x01, 0x90, 0x00, 0x02}), "07 83 01 60 F1"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Controller, WriteIsEchoedReadBackAndTheAddressMovesAfterTheReply) {
  Controller c(EepromImage::Defaults(0), 7);
  const Bytes write = Framed({7, 101, 0x05, 0x00, 4, 'A', 'B', 0, 0});
  EXPECT_EQ(c.HandleRequest(write), write);
  const auto read = c.HandleRequest(Framed({7, 100, 0x05, 0x00, 6}));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(Hex(Bytes(read->begin(), read->end() - 2)), "07 64 05 00 06 41 42 00 00 00 00");
  ASSERT_TRUE(c.HandleRequest(Framed({7, 101, 0x01, 0x18, 1, 5})).has_value());  // byte 280 only
  EXPECT_EQ(c.Address(), 7);
  const auto moved = c.HandleRequest(Framed({7, 101, 0x01, 0x14, 4, 3, 10, 25, 12}));  // 276..279
  ASSERT_TRUE(moved.has_value());
  EXPECT_EQ((*moved)[0], 7) << "the reply still comes from the old address";
  EXPECT_FALSE(c.HandleRequest(kStatus).has_value());
  EXPECT_TRUE(c.HandleRequest(Framed({12, 4, 0x01, 0x2C, 0x00, 0x7D})).has_value());
}

TEST(Controller, EngineModelFollowsTheCommands) {
  Controller c(EepromImage::Defaults(0), 7);
  const auto command = [&c](int code) { ASSERT_TRUE(c.HandleRequest(Framed({7, 6, 1, 0x92, code >> 8, code & 0xFF}))); };
  const auto status = [&c] { return *c.HandleRequest(kStatus); };
  Bytes r = status();
  ASSERT_EQ(r.size(), 255u);
  EXPECT_EQ(Reg(r, 300), 0x0203);
  EXPECT_EQ(Reg(r, 392), (1 << 3) | (1 << 6) | (1 << 10)) << "ready, auto start, engine stopped";
  command(Controller::kCmdStart);
  c.Advance(5s);
  r = status();
  EXPECT_EQ(Reg(r, 303), 1500);
  EXPECT_EQ(Reg(r, 392), 1 << 2) << "running only";
  c.Advance(std::chrono::milliseconds(60000));
  EXPECT_EQ(c.RunningMinutes(), 123457u);
  EXPECT_EQ(c.ServiceMinutes(), 150 * 60 - 1);
  c.RaiseAlarm();
  c.Advance(5s);
  EXPECT_EQ(Reg(status(), 303), 0);
  command(Controller::kCmdStart);
  EXPECT_FALSE(c.Running()) << "an alarm needs acknowledging first";
  command(Controller::kCmdAcknowledge);
  command(Controller::kCmdProtectionOff);
  EXPECT_EQ(Reg(status(), 392), (1 << 3) | (1 << 5) | (1 << 6) | (1 << 10));
  c.SetBlocked(true);
  command(Controller::kCmdStart);
  EXPECT_FALSE(c.Running()) << "blocked: echoed, not carried out";
  EXPECT_EQ(Reg(status(), 300), 0x8203);

  Controller dra(EepromImage::Defaults(1), 7);
  ASSERT_TRUE(dra.HandleRequest(Framed({7, 6, 1, 0x92, 0x12, 0x38})));
  dra.Advance(5s);
  r = *dra.HandleRequest(kStatus);
  EXPECT_EQ(Reg(r, 302), 1);
  EXPECT_EQ(Reg(r, 304), 500);
}

Bytes Joined(const std::vector<OutChunk>& chunks) {
  Bytes out;
  for (const auto& c : chunks) out.insert(out.end(), c.bytes.begin(), c.bytes.end());
  return out;
}

TEST(FaultInjector, EachFaultShapesTheReplyAsTheLinkWillSeeIt) {
  const Bytes echo = Framed({7, 6, 0x01, 0x92, 0x12, 0x38});
  const Bytes status = *Controller(EepromImage::Defaults(0), 7).HandleRequest(kStatus);
  FaultInjector f;
  EXPECT_EQ(Joined(f.Apply(echo)), echo);
  f.Settings().silent = true;
  EXPECT_TRUE(f.Apply(echo).empty());
  f.Clear();
  f.Settings().dropEvery = 2;
  EXPECT_FALSE(f.Apply(echo).empty());
  EXPECT_TRUE(f.Apply(echo).empty());
  f.Clear();
  f.Settings().badCrcEvery = 1;
  const Bytes bad = Joined(f.Apply(echo));
  EXPECT_FALSE(HasGoodCrc(bad));
  EXPECT_EQ(bad.size(), echo.size());
  f.Clear();
  f.Settings().answerAs = 9;
  const Bytes other = Joined(f.Apply(echo));
  EXPECT_EQ(other[0], 9);
  EXPECT_TRUE(HasGoodCrc(other));
  f.Clear();
  f.Settings().longReply = 300;
  const Bytes padded = Joined(f.Apply(status));
  EXPECT_EQ(padded.size(), 300u);
  EXPECT_TRUE(HasGoodCrc(padded));
  EXPECT_EQ(Joined(f.Apply(echo)), echo) << "only status replies are padded";
  f.Clear();
  f.Settings().garbageBefore = 5;
  const Bytes noisy = Joined(f.Apply(echo));
  EXPECT_TRUE(std::equal(echo.begin(), echo.end(), noisy.begin() + 5));
  f.Clear();
  f.Settings().splitMs = 150;
  const auto halves = f.Apply(status);
  ASSERT_EQ(halves.size(), 2u);
  EXPECT_EQ(halves[1].delayUs, 150000);
  EXPECT_EQ(Joined(halves), status);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct StreamCase {
  const char* name;
  Bytes stream;
  std::vector<Bytes> frames;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class FramerStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(FramerStream, FindsTheFramesWhetherFedWholeOrByteByByte) {
  const StreamCase& c = GetParam();
  RequestFramer whole;
  EXPECT_EQ(whole.Feed(c.stream, 0), c.frames);
  RequestFramer single;
  std::vector<Bytes> got;
  for (std::size_t i = 0; i < c.stream.size(); ++i)
    for (auto& f : single.Feed(std::span(&c.stream[i], 1), static_cast<std::int64_t>(i) * 100)) got.push_back(f);
  EXPECT_EQ(got, c.frames);
}

const Bytes kHeartbeat = Framed({7, 16, 0x01, 0x90, 0, 2, 4, 0, 1, 0, 0});
const Bytes kWrite = Framed({7, 101, 0x01, 0x02, 3, 15, 30, 75});
const Bytes kRead = Framed({7, 100, 0x05, 0x00, 120});

INSTANTIATE_TEST_SUITE_P(
    Streams, FramerStream,
    ::testing::Values(StreamCase{"BackToBack", Cat({kStatus, kHeartbeat, kRead, kWrite}), {kStatus, kHeartbeat, kRead, kWrite}},
                      StreamCase{"GarbageFirst", Cat({{0x55, 0xAA, 0x07, 0x04}, kStatus}), {kStatus}},
                      // Noise like the start of a long write must not hold up the request behind it.
                      StreamCase{"NoiseLikeALongWrite", Cat({{7, 16, 1, 0x90, 0, 2, 0xF0}, kStatus}), {kStatus}},
                      StreamCase{"BadCrcThenGood", Cat({Corrupt(kStatus), kStatus}), {kStatus}},
                      StreamCase{"HalfAFrame", Bytes(kStatus.begin(), kStatus.begin() + 5), {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(RequestFramer, SilenceEndsOddFramesAndClearsStaleBytes) {
  RequestFramer f;
  const Bytes odd = Framed({7, 0x11});
  EXPECT_TRUE(f.Feed(odd, 0).empty());
  EXPECT_FALSE(f.Idle(RequestFramer::kFrameGapUs - 1).has_value());
  EXPECT_EQ(f.Idle(RequestFramer::kFrameGapUs), odd);
  EXPECT_TRUE(f.Feed(Bytes(kStatus.begin(), kStatus.begin() + 6), 0).empty());
  EXPECT_EQ(f.NextDeadlineUs(), RequestFramer::kFrameGapUs);
  f.Idle(RequestFramer::kFrameGapUs);
  EXPECT_EQ(f.NextDeadlineUs(), RequestFramer::kStaleGapUs + 1);
  f.Idle(RequestFramer::kStaleGapUs + 1);
  EXPECT_FALSE(f.NextDeadlineUs().has_value());
  EXPECT_EQ(f.Buffered(), 0u);
  EXPECT_EQ(f.Feed(Bytes(3000, 0x10), 1).size(), 0u);
  EXPECT_LE(f.Buffered(), RequestFramer::kMaxBuffered);
}

TEST(ControlInterpreter, OneAnswerLinePerCommand) {
  Controller controller(EepromImage::Defaults(0), 7);
  FaultInjector faults;
  TrafficCounts traffic;
  std::uint64_t discarded = 0;
  ControlInterpreter control(controller, faults, traffic, discarded);
  const std::pair<const char*, const char*> rows[] = {
      {"  block   on ", "ok block on"}, {"block maybe", "error usage: block on|off"},
      {"fault split 150", "ok fault split 150"}, {"fault answer-as 300", "error usage: fault answer-as ADDR|off"},
      {"fault drop-every 4", "ok fault drop-every 4"}, {"fault long off", "ok fault long off"},
      {"fault garbage -1", "error usage: fault garbage N|off"}, {"fault wobble on", "error unknown fault 'wobble'"},
      {"dump 0x117 1", "ok dump 279: 07"}, {"dump 4095 2", "error usage: dump ADDR COUNT (within 0..4095)"},
      {"frobnicate", "error unknown command 'frobnicate'"}, {"", ""},
      {"fault corrupt-byte 4096", "error usage: fault corrupt-byte ADDR|off"},
      {"fault corrupt-byte 0x200", "ok fault corrupt-byte 512"}};
  for (const auto& [line, answer] : rows) EXPECT_EQ(control.Execute(line).text, answer) << line;
  EXPECT_TRUE(controller.Blocked());
  EXPECT_EQ(faults.Settings().splitMs, 150);
  EXPECT_EQ(faults.Settings().corruptByte, 512);
  EXPECT_EQ(control.Execute("fault none").text, "ok fault none");
  EXPECT_FALSE(faults.Settings().Any());
}

TEST(SimOptions, ParsesNumbersAndRefusesBadInput) {
  SimOptions o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--address", "12", "--answer-as", "0x0C", "--parity", "n", "--fault-bad-crc", "--seed", "5",
                            "--fault-silent", "--drop-every", "3"},
                           o, error));
  EXPECT_EQ(o.faults.answerAs, 12);
  EXPECT_EQ(o.parity, 'N');
  EXPECT_TRUE(o.faults.badCrc);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--address", "256"}, {"--address", "7x"}, {"--address"}, {"--type", "boat"}, {"--speedup", "0"},
           {"--parity", "X"}, {"--drop-every", "-1"}, {"--bogus"}})
    EXPECT_FALSE(ParseOptions(args, o, error)) << args[0];
}

TEST(EepromImage, DefaultsAndTexts) {
  const EepromImage dgu = EepromImage::Defaults(0);
  EXPECT_EQ(dgu.At(258), 15);
  EXPECT_EQ(dgu.At(279), 7);
  EXPECT_EQ(EepromImage::Defaults(1).At(257), 1);
  EXPECT_EQ(dgu.At(300), 0xFF) << "bytes of no parameter stay erased";
  EepromImage img;
  img.SetText(300, u"Ёжик", 3);
  EXPECT_EQ(img.At(300), 0xA8);
  EXPECT_EQ(img.At(303), 0xFF) << "nothing past the slot";
  EXPECT_EQ(ToWindows1251(u'ё'), 0xB8);
  EXPECT_EQ(ToWindows1251(u'°'), 0xB0);
  EXPECT_EQ(ToWindows1251(u'€'), '?');
  std::string error;  // saving and loading run in the process tests below
  EXPECT_FALSE(img.Load("/nonexistent/zart-sim-image", error));
}

/// The pty opened raw, as the tool's serial port does.
int OpenRaw(const QString& path) {
  const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios tio{};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

/// Sends `request` and collects what comes back within `ms` (or `expected` bytes).
Bytes Exchange(int fd, const Bytes& request, int ms, std::size_t expected = 0) {
  if (::write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return {};
  Bytes got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline && (expected == 0 || got.size() < expected)) {
    pollfd p{fd, POLLIN, 0};
    std::uint8_t buf[512];
    if (::poll(&p, 1, 10) > 0) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0) got.insert(got.end(), buf, buf + n);
    }
  }
  return got;
}

TEST(SimProcess, PtyUnplugReplugAndNoStaleReplyForTheNextOpener) {
  testing::SimProcess sim(QStringLiteral(ZART_SIM_PATH));
  ASSERT_TRUE(sim.Start({QStringLiteral("--split-reply"), QStringLiteral("100")}));
  int fd = OpenRaw(sim.LinkPath());
  ASSERT_GE(fd, 0);
  const Bytes half = Exchange(fd, kStatus, 50);  // close while the rest is on its way
  EXPECT_LT(half.size(), 255u);
  ::close(fd);
  EXPECT_EQ(sim.Command(QStringLiteral("fault none")), QStringLiteral("ok fault none"));
  fd = OpenRaw(sim.LinkPath());
  const Bytes reply = Exchange(fd, kStatus, 2000, 255);
  EXPECT_EQ(reply.size(), 255u);
  EXPECT_TRUE(HasGoodCrc(reply)) << "only the new reply, nothing left over";

  EXPECT_EQ(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
  struct stat st{};
  EXPECT_NE(::lstat(sim.LinkPath().toLocal8Bit().constData(), &st), 0) << "link removed while unplugged";
  ::close(fd);
  EXPECT_TRUE(sim.Command(QStringLiteral("replug")).startsWith(QStringLiteral("ok replug /dev/")));
  fd = OpenRaw(sim.LinkPath());
  EXPECT_EQ(Exchange(fd, kStatus, 2000, 255).size(), 255u);
  ::close(fd);
  EXPECT_TRUE(sim.Command(QStringLiteral("stats")).startsWith(QStringLiteral("ok stats requests=3")));
  sim.Stop();
  EXPECT_EQ(sim.Process().exitCode(), 0);
  EXPECT_NE(::lstat(sim.LinkPath().toLocal8Bit().constData(), &st), 0) << "link removed on exit";
}

TEST(SimProcess, EepromSavedOnTerminationAndControlFifo) {
  const QString image = QString::fromStdString(::testing::TempDir()) + QStringLiteral("zart_sim_%1.bin").arg(::getpid());
  const QString fifo = image + QStringLiteral(".ctl");
  QFile::remove(image);
  {
    testing::SimProcess sim(QStringLiteral(ZART_SIM_PATH));
    ASSERT_TRUE(sim.Start({QStringLiteral("--eeprom"), image}));
    const int fd = OpenRaw(sim.LinkPath());
    const Bytes write = Framed({7, 101, 0x05, 0x00, 2, 0x41, 0x42});
    EXPECT_EQ(Exchange(fd, write, 2000, write.size()), write);
    ::close(fd);
    sim.Process().terminate();
    ASSERT_TRUE(sim.Process().waitForFinished(3000));
    EXPECT_EQ(sim.Process().exitCode(), 0);
  }
  testing::SimProcess again(QStringLiteral(ZART_SIM_PATH));
  ASSERT_TRUE(again.Start({QStringLiteral("--eeprom"), image, QStringLiteral("--control"), fifo}));
  EXPECT_EQ(again.Command(QStringLiteral("dump 1280 3")), QStringLiteral("ok dump 1280: 41 42 CE"));
  QFile control(fifo);
  ASSERT_TRUE(control.open(QIODevice::WriteOnly));
  control.write("block on\n");
  control.flush();
  EXPECT_EQ(again.ReadLine(3000).trimmed(), QStringLiteral("ok block on"));
  const int fd = OpenRaw(again.LinkPath());
  const Bytes reply = Exchange(fd, kStatus, 2000, 255);
  ::close(fd);
  ASSERT_EQ(reply.size(), 255u);
  EXPECT_EQ(reply[3], 0x82) << "blocked flag in bit 15 of register 300";
  control.close();
  again.Stop();
  EXPECT_FALSE(QFile::exists(fifo)) << "FIFO removed on exit";

  QFile shortImage(image);
  ASSERT_TRUE(shortImage.open(QIODevice::WriteOnly | QIODevice::Truncate));
  shortImage.write("short");
  shortImage.close();
  testing::SimProcess refused(QStringLiteral(ZART_SIM_PATH));
  EXPECT_FALSE(refused.Start({QStringLiteral("--eeprom"), image}, 2000));
  refused.Process().waitForFinished(3000);
  EXPECT_EQ(refused.Process().exitCode(), 2);
  EXPECT_EQ(QFileInfo(image).size(), 5) << "the file is left alone";
  QFile::remove(image);

  QProcess bare;  // without --link the device path is all there is
  bare.start(QStringLiteral(ZART_SIM_PATH), QStringList());
  ASSERT_TRUE(bare.waitForReadyRead(5000));
  EXPECT_TRUE(bare.readLine().startsWith("/dev/"));
  bare.write("quit\n");
  EXPECT_TRUE(bare.waitForFinished(3000));
}

// The worn-cell fault: a write echoes correctly but one byte is stored wrong.
struct StoredCase {
  const char* what;
  Bytes request;
  int faultAt;        // -1: fault off
  int probe;          // EEPROM address looked at afterwards
  int expected;       // its value then
  bool struck;
};

void PrintTo(const StoredCase& c, std::ostream* os) { *os << c.what; }

class StoredByte : public ::testing::TestWithParam<StoredCase> {};

TEST_P(StoredByte, OnlyAcceptedWritesCoveringTheByteAreStoredWrong) {
  const StoredCase& c = GetParam();
  Controller controller(EepromImage::Defaults(0), 7);
  FaultInjector faults;
  if (c.faultAt >= 0) faults.Settings().corruptByte = c.faultAt;
  ASSERT_TRUE(controller.HandleRequest(c.request).has_value());
  EXPECT_EQ(faults.CorruptStoredByte(c.request, controller.Eeprom()), c.struck);
  EXPECT_EQ(controller.Eeprom().At(c.probe), c.expected);
  EXPECT_EQ(faults.Counts().storedWrong, c.struck ? 1u : 0u);
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

}  // namespace
}  // namespace zart::sim

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// The simulated controller's wire behaviour that the other tests rely on:
// exact replies and silences, the address move, the engine model, injected
// faults, request framing and the process on its pty. Its control lines and
// options are exercised by the end-to-end tests, which fail on any answer
// other than "ok".

#include <chrono>
#include <string>

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QUrl>
#include <gtest/gtest.h>

#include "controller.h"
#include "eeprom_image.h"
#include "fault_injector.h"
#include "request_framer.h"
#include "support/frames.h"
#include "support/sim_process.h"

namespace zart::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;
using testing::ToHex;

Bytes Framed(std::initializer_list<int> v) {
  Bytes out;
  for (int x : v) out.push_back(static_cast<std::uint8_t>(x));
  AppendCrc(out);
  return out;
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
  EXPECT_EQ(r ? ToHex(*r) : std::string(), GetParam().reply);
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
        ReplyCase{"StartCommandEcho", Framed({7, 6, 0x01, 0x92, 0x12, 0x38}), "07 06 01 92 12 38 24 CF"},
        ReplyCase{"HeartbeatReply", Framed({7, 16, 0x01, 0x90, 0, 2, 4, 0, 1, 0, 0}), "07 10 01 90 00 02 40 7F"},
        ReplyCase{"EepromReadStartSpeed", Framed({7, 100, 0x01, 0x02, 1}), "07 64 01 02 01 0F 91 CC"},
        ReplyCase{"StatusPastBlock", Framed({7, 4, 0x01, 0x2C, 0x00, 0x7E}), "07 84 02 22 C0"},
        ReplyCase{"UnknownCommandCode", Framed({7, 6, 0x01, 0x92, 0x12, 0x34}), "07 86 03 E2 60"},
        ReplyCase{"HeartbeatToOtherRegisters", Framed({7, 16, 0x01, 0x91, 0, 2, 4, 0, 1, 0, 0}), "07 90 02 2D C0"},
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
  EXPECT_EQ(ToHex(Bytes(read->begin(), read->end() - 2)), "07 64 05 00 06 41 42 00 00 00 00");
  ASSERT_TRUE(c.HandleRequest(Framed({7, 101, 0x01, 0x18, 1, 5})).has_value());  // byte 280 only
  EXPECT_EQ(c.Address(), 7);
  const auto moved = c.HandleRequest(Framed({7, 101, 0x01, 0x14, 4, 3, 10, 25, 12}));  // 276..279
  ASSERT_TRUE(moved.has_value());
  EXPECT_EQ((*moved)[0], 7) << "the reply still comes from the old address";
  EXPECT_FALSE(c.HandleRequest(kStatus).has_value());
  EXPECT_TRUE(c.HandleRequest(Framed({12, 4, 0x01, 0x2C, 0x00, 0x7D})).has_value());
}

// What the live display and the commands of the other tests rest on: a
// start raises the speed, a blocked controller echoes and does nothing.
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
  command(Controller::kCmdStop);
  c.SetBlocked(true);
  command(Controller::kCmdStart);
  EXPECT_FALSE(c.Running()) << "blocked: echoed, not carried out";
  EXPECT_EQ(Reg(status(), 300), 0x8203);
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
  f.Clear();
  f.Settings().dropEvery = 2;
  EXPECT_FALSE(f.Apply(echo).empty());
  EXPECT_TRUE(f.Apply(echo).empty());
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

TEST(EepromImage, DefaultsOfTheTypeAndAddressAndErasedBytes) {
  const EepromImage dgu = EepromImage::Defaults(0);
  EXPECT_EQ(dgu.At(258), 15);
  EXPECT_EQ(dgu.At(279), 7);
  EXPECT_EQ(EepromImage::Defaults(1).At(257), 1);
  EXPECT_EQ(dgu.At(300), 0xFF) << "bytes of no parameter stay erased";
  EXPECT_EQ(ToWindows1251(u'ё'), 0xB8);
}

// The process as the end-to-end tests drive it: the device path first, the
// link gone while unplugged and on exit, a new device on replug.
TEST(SimProcess, UnplugRemovesTheLinkAndReplugMakesANewDevice) {
  testing::SimProcess sim(QStringLiteral(ZART_SIM_PATH));
  ASSERT_TRUE(sim.Start());
  EXPECT_TRUE(sim.Device().startsWith(QStringLiteral("/dev/")));
  EXPECT_EQ(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
  EXPECT_FALSE(QFileInfo(sim.LinkPath()).isSymLink()) << "link removed while unplugged";
  EXPECT_TRUE(sim.Command(QStringLiteral("replug")).startsWith(QStringLiteral("ok replug /dev/")));
  EXPECT_TRUE(QFileInfo(sim.LinkPath()).isSymLink());
  sim.Stop();
  EXPECT_EQ(sim.Process().exitCode(), 0);
  EXPECT_FALSE(QFileInfo(sim.LinkPath()).isSymLink()) << "link removed on exit";
}

// The simulator as an Ethernet gateway: each framing over TCP, one client at
// a time, and unplug/replug as the gateway going away and coming back.
QByteArray FromHex(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }

/// Reads until `n` bytes came, the peer left or `ms` passed.
QByteArray ReadSome(QTcpSocket& s, int n, int ms = 2000) {
  QByteArray out;
  for (const QDeadlineTimer deadline(ms); out.size() < n && !deadline.hasExpired();) {
    if (s.bytesAvailable() == 0 && !s.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
      if (s.state() != QAbstractSocket::ConnectedState) break;
    }
    out += s.readAll();
  }
  return out;
}

bool Connect(QTcpSocket& s, const QString& url) {
  s.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(QUrl(url).port()));
  return s.waitForConnected(2000);
}

TEST(SimOverTcp, AnswersOneClientAndGoesAwayOnUnplug) {
  const struct {
    QStringList args;
    const char *scheme, *request, *replyHead;  // the reply's first bytes
    int replyLength;
  } cases[] = {{{}, "rtuovertcp://", "07 04 01 2C 00 7D F0 78", "07 04 FA", 255},
               {{QStringLiteral("--mbap")}, "tcp://", "12 34 00 00 00 06 07 04 01 2C 00 7D", "12 34 00 00 00 FD 07 04 FA", 7 + 252}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scheme);
    testing::SimProcess sim(QStringLiteral(ZART_SIM_PATH));
    const QString url = sim.StartTcp(c.args);
    ASSERT_TRUE(url.startsWith(QString::fromLatin1(c.scheme) + QStringLiteral("127.0.0.1:"))) << url.toStdString();
    const auto ask = [&](QTcpSocket& s) {
      s.write(FromHex(c.request));
      const QByteArray reply = ReadSome(s, c.replyLength);
      EXPECT_EQ(reply.size(), c.replyLength);
      EXPECT_TRUE(reply.startsWith(FromHex(c.replyHead))) << reply.toHex(' ').left(40).toStdString();
    };
    QTcpSocket first, second, refused, again;
    ASSERT_TRUE(Connect(first, url));
    ask(first);
    ASSERT_TRUE(Connect(second, url));  // accepted and closed at once
    EXPECT_TRUE(ReadSome(second, 1).isEmpty());
    EXPECT_EQ(second.state(), QAbstractSocket::UnconnectedState);
    ask(first);  // the first is served still

    EXPECT_EQ(sim.Command(QStringLiteral("unplug")), QStringLiteral("ok unplug"));
    EXPECT_TRUE(ReadSome(first, 1).isEmpty());
    EXPECT_EQ(first.state(), QAbstractSocket::UnconnectedState);
    EXPECT_FALSE(Connect(refused, url));
    EXPECT_EQ(sim.Command(QStringLiteral("replug")), QStringLiteral("ok replug ") + url) << "the same port";
    ASSERT_TRUE(Connect(again, url));
    ask(again);
  }
}

TEST(SimOverTcp, MbpollReadsTheStatusBlockOverModbusTcp) {
  const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
  if (mbpoll.isEmpty()) GTEST_SKIP() << "mbpoll is not installed (apt-get install mbpoll)";
  testing::SimProcess sim(QStringLiteral(ZART_SIM_PATH));
  const QString url = sim.StartTcp({QStringLiteral("--mbap")});
  ASSERT_FALSE(url.isEmpty());
  QProcess p;
  p.start(mbpoll, QStringLiteral("-m tcp -a 7 -t 3 -0 -r 300 -c 125 -1 -o 2 -p %1 127.0.0.1").arg(QUrl(url).port()).split(u' '));
  ASSERT_TRUE(p.waitForFinished(10000));
  const QString out = QString::fromUtf8(p.readAllStandardOutput());
  EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
  // One line a register, "[300]: \t515"; 300 holds the versions 2 and 3,
  // 302 the object type ДГУ.
  EXPECT_EQ(out.count(QRegularExpression(QStringLiteral(R"(^\[\d+\]:\s+\d+)"), QRegularExpression::MultilineOption)), 125);
  EXPECT_TRUE(out.contains(QStringLiteral("\n[300]: \t515\n")) && out.contains(QStringLiteral("\n[302]: \t0\n"))) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("\n[424]: "))) << "the last register of the block";
}

// The worn-cell fault: a write echoes correctly but one byte is stored wrong.
struct StoredCase {
  const char* what;
  Bytes request;
  int faultAt;        // the worn cell
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
  faults.Settings().corruptByte = c.faultAt;
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
        StoredCase{"a read never corrupts", Framed({7, 100, 0x01, 0x02, 1}), 258, 258, 0x0F, false},
        StoredCase{"refused write (outside the EEPROM)", Framed({7, 101, 0x00, 0x10, 1, 10}), 16, 16, 0xFF,
                   false}));

}  // namespace
}  // namespace zart::sim

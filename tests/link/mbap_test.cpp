// Modbus TCP framing, gateway addresses and the reconnection pauses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link_address.h"
#include "link/link_reconnector.h"
#include "link/mbap_deframer.h"
#include "link/mbap_frame.h"
#include "support/fake_serial_port.h"
#include "support/frames.h"

namespace zart::link {
namespace {

using testing::FromHex;
using testing::ToHex;

TEST(Mbap, PublishedFramesBothWays) {
  // The exchanges of the Modbus application protocol's examples, with slave
  // 0x11 of the serial line's, then the controller's status read with a
  // transaction id whose high byte must go first: the request as the
  // exchange builds it and as it leaves, the reply as it comes and as the
  // exchange gets it.
  const struct {
    std::uint16_t transaction;
    const char *rtuRequest, *mbapRequest, *mbapReply, *rtuReply;
  } cases[] = {
      {0x0001, "11 03 00 6B 00 03 76 87", "00 01 00 00 00 06 11 03 00 6B 00 03", "00 01 00 00 00 09 11 03 06 02 2B 00 00 00 64",
       "11 03 06 02 2B 00 00 00 64 C8 BA"},
      {0x0001, "11 04 00 08 00 01 B2 98", "00 01 00 00 00 06 11 04 00 08 00 01", "00 01 00 00 00 05 11 04 02 00 0A",
       "11 04 02 00 0A F8 F4"},
      {0xABCD, "07 04 01 2C 00 7D F0 78", "AB CD 00 00 00 06 07 04 01 2C 00 7D", "AB CD 00 00 00 03 07 84 02", "07 84 02 22 C0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rtuRequest);
    EXPECT_EQ(ToHex(MbapFromRtu(c.transaction, FromHex(c.rtuRequest))), c.mbapRequest);
    MbapDeframer deframer;
    const auto reply = FromHex(c.mbapReply);
    ASSERT_EQ(deframer.Feed(reply), reply.size());
    const auto frame = deframer.Frame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->transaction, c.transaction);
    std::vector<std::uint8_t> rtu{0xAA};  // appended after what is there
    AppendRtuFromMbap(*frame, rtu);
    EXPECT_EQ(ToHex(rtu), std::string("AA ") + c.rtuReply);
  }
}

TEST(MbapFromRtu, RefusesWhatHasNoPduOrTooLongAOne) {
  EXPECT_TRUE(MbapFromRtu(1, FromHex("07 04 F0")).empty());
  std::vector<std::uint8_t> longest(3 + kMbapMaxPdu, 0x04);
  EXPECT_EQ(MbapFromRtu(1, longest).size(), static_cast<std::size_t>(kMbapMaxAdu));
  longest.push_back(0);
  EXPECT_TRUE(MbapFromRtu(1, longest).empty());
}

/// Feeds `bytes` in pieces of `piece`; the frames as "tid unit | pdu".
std::vector<std::string> deframe(MbapDeframer& d, std::span<const std::uint8_t> bytes, std::size_t piece) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    for (auto part = bytes.subspan(at, std::min(piece, bytes.size() - at)); !part.empty();) {
      part = part.subspan(d.Feed(part));
      if (auto f = d.Frame()) {
        const std::uint8_t head[] = {static_cast<std::uint8_t>(f->transaction >> 8), static_cast<std::uint8_t>(f->transaction), f->unit};
        out.push_back(ToHex(head) + " | " + ToHex(f->pdu));
      }
    }
  }
  return out;
}

TEST(MbapDeframer, WholeFramesOnlyWhateverTheChunksAndNoiseSkipped) {
  const std::string reply = "00 01 00 00 00 05 11 04 02 00 0A ", frame = "00 01 11 | 04 02 00 0A";
  const struct {
    const char* name;
    std::string stream;  // blanks optional
    std::vector<std::string> frames;
    std::uint64_t dropped;
    int buffered;  // bytes of an unfinished frame held at the end
  } cases[] = {
      {"two back to back", reply + "00 02 00 00 00 03 07 84 02", {frame, "00 02 07 | 84 02"}, 0, 0},
      {"garbage before", "FF 13 37 " + reply, {frame}, 3, 0},
      {"wrong protocol id", "00 01 00 01 00 05 11 04 02 00 0A " + reply, {frame}, 11, 0},
      {"huge length", "00 01 00 00 FF FF 11 " + reply, {frame}, 7, 0},
      {"length past the largest frame", "00 01 00 00 00 FF 11 " + reply, {frame}, 7, 0},
      {"length without a function code", "00 01 00 00 00 01 11 " + reply, {frame}, 7, 0},
      {"largest frame", "00 07 00 00 00 FE 07 04" + std::string(504, '0'), {"00 07 07 | 04 " + ToHex(std::vector<std::uint8_t>(252))}, 0, 0},
      {"cut short", "00 01 00 00 00 05 11 04", {}, 0, 8},
  };
  for (const auto& c : cases) {
    const auto bytes = FromHex(c.stream);
    for (const std::size_t piece : {bytes.size(), std::size_t{1}, std::size_t{5}}) {
      SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
      MbapDeframer d;
      EXPECT_EQ(deframe(d, bytes, piece), c.frames);
      EXPECT_EQ(d.DroppedBytes(), c.dropped);
      EXPECT_EQ(d.Buffered(), c.buffered);
    }
  }
  MbapDeframer d;  // a reset drops the partial frame; the next starts clean
  d.Feed(FromHex("00 01 00 00 00 05 11 04"));
  d.Reset();
  EXPECT_EQ(deframe(d, FromHex(reply), 100), std::vector<std::string>{frame});
  EXPECT_EQ(d.DroppedBytes(), 8u);
}

TEST(LinkAddress, ParsesBothFormsAndSaysWhatIsWrongInRussian) {
  // For a good address the name it gets, for a bad one a piece of the message.
  const struct {
    const char* text;
    bool ok;
    const char* expect;
  } cases[] = {
      {"rtuovertcp://192.168.10.20:4001", true, "192.168.10.20:4001"},
      {"  TCP://gw-1.local/  ", true, "gw-1.local:502"},
      {"tcp://[fe80::1%eth0]:1502", true, "[fe80::1%eth0]:1502"},
      {"rtuovertcp://шлюз.судно:4001", true, "шлюз.судно:4001"},
      {"", false, "не задан"},
      {"192.168.10.20:4001", false, "должен начинаться с rtuovertcp:// или tcp://"},
      {"udp://gw:4001", false, "Неизвестный вид связи «udp»"},
      {"tcp://:502", false, "не задан адрес шлюза"},
      {"tcp://gw:65536", false, "Неверный порт «65536»: ожидается число от 1 до 65535"},
      {"tcp://fe80::1:502", false, "в скобках"},
      {"tcp://[fe80::1:502", false, "нет закрывающей скобки"},
      {"tcp://gw one:502", false, "Недопустимый символ « »"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    QString error;
    const auto a = LinkAddress::Parse(QString::fromUtf8(c.text), &error);
    ASSERT_EQ(a.has_value(), c.ok) << error.toStdString();
    if (!c.ok) {
      EXPECT_TRUE(error.contains(QString::fromUtf8(c.expect))) << error.toStdString();
      continue;
    }
    EXPECT_EQ(a->Name().toStdString(), c.expect);
    EXPECT_EQ(LinkAddress::Parse(a->ToUrl()), a);
  }
  EXPECT_EQ(LinkAddress::Parse(QStringLiteral(u"tcp://gw"))->mode, NetMode::modbus_tcp);
  EXPECT_EQ(LinkAddress::Parse(QStringLiteral(u"RtuOverTcp://gw:1"))->mode, NetMode::rtu_over_tcp);
}

TEST(LinkReconnector, PausesDoubleUpToFiveSecondsAndStartAfreshOnceTheLinkIsUp) {
  std::int64_t now = 0;
  testing::FakeSerialPort port;  // an open that fails leaves it lost
  LinkReconnector reconnector(port, [&now] { return now; });
  const auto run = [&](std::int64_t ms) {  // the times of the attempts within `ms`
    std::vector<std::int64_t> at;
    for (const std::int64_t start = now; now < start + ms; now += LinkReconnector::kPollMs) {
      const int before = reconnector.Attempts();
      reconnector.Poll();
      if (reconnector.Attempts() != before) at.push_back(now - start);
    }
    return at;
  };
  EXPECT_TRUE(run(2000).empty()) << "never opened: left alone";
  ASSERT_TRUE(port.Open().ok());
  port.Vanish();  // the connection drops, and the gateway stays away
  port.openable = {};
  EXPECT_EQ(run(30000), (std::vector<std::int64_t>{500, 1600, 3700, 7800, 12900, 18000, 23100, 28200}));
  port.openable = {1};
  EXPECT_EQ(run(6000), std::vector<std::int64_t>{3300}) << "28300 + 5000";
  EXPECT_TRUE(port.IsOpen());
  port.Vanish();
  EXPECT_EQ(run(1000), std::vector<std::int64_t>{500}) << "the link was up: short pause again";
  port.Vanish();
  reconnector.SetEnabled(false);  // the user is choosing the link
  EXPECT_TRUE(run(10000).empty());
  reconnector.SetEnabled(true);
  EXPECT_EQ(run(1000), std::vector<std::int64_t>{500});
}

}  // namespace
}  // namespace zart::link

// Modbus TCP framing, gateway addresses and the reconnection pauses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/link_address.h"
#include "link/link_reconnector.h"
#include "link/mbap_deframer.h"
#include "link/mbap_frame.h"
#include "link/port.h"

namespace zart::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(std::string_view text) {
  Bytes out;
  int nibbles = 0, value = 0;
  for (char c : text) {
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) continue;
    value = value * 16 + d;
    if (++nibbles == 2) {
      out.push_back(static_cast<std::uint8_t>(value));
      nibbles = value = 0;
    }
  }
  return out;
}

std::string hexOf(std::span<const std::uint8_t> b) {
  std::string s;
  for (std::uint8_t x : b) s += (s.empty() ? "" : " ") + std::string{"0123456789ABCDEF"[x >> 4], "0123456789ABCDEF"[x & 15]};
  return s;
}

// The exchanges of the Modbus application protocol's examples, with slave
// 0x11 of the serial line's examples and transaction 1 of the TCP guide's:
// the request both ways, then the reply both ways.
struct ConversionCase {
  const char* name;
  std::uint16_t transaction;
  const char* rtuRequest;
  const char* mbapRequest;
  const char* mbapReply;
  const char* rtuReply;
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

class MbapConversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(MbapConversion, PublishedFramesBothWays) {
  const ConversionCase& c = GetParam();
  EXPECT_EQ(hexOf(MbapFromRtu(c.transaction, hex(c.rtuRequest))), c.mbapRequest);

  MbapDeframer deframer;
  const Bytes reply = hex(c.mbapReply);
  ASSERT_EQ(deframer.Feed(reply), reply.size());
  const auto frame = deframer.Frame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->transaction, c.transaction);
  Bytes rtu{0xAA};  // appended after what is there
  AppendRtuFromMbap(*frame, rtu);
  EXPECT_EQ(hexOf(rtu), std::string("AA ") + c.rtuReply);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, MbapConversion,
    ::testing::Values(
        ConversionCase{"read_holding_registers", 0x0001, "11 03 00 6B 00 03 76 87", "00 01 00 00 00 06 11 03 00 6B 00 03",
                       "00 01 00 00 00 09 11 03 06 02 2B 00 00 00 64", "11 03 06 02 2B 00 00 00 64 C8 BA"},
        ConversionCase{"read_input_registers", 0x0001, "11 04 00 08 00 01 B2 98", "00 01 00 00 00 06 11 04 00 08 00 01",
                       "00 01 00 00 00 05 11 04 02 00 0A", "11 04 02 00 0A F8 F4"},
        // The controller's status read; the id's high byte goes first.
        ConversionCase{"status_high_transaction", 0xABCD, "07 04 01 2C 00 7D F0 78", "AB CD 00 00 00 06 07 04 01 2C 00 7D",
                       "AB CD 00 00 00 03 07 84 02", "07 84 02 22 C0"}),
    [](const ::testing::TestParamInfo<ConversionCase>& p) { return std::string(p.param.name); });

TEST(MbapFromRtu, RefusesWhatHasNoPduOrTooLongAOne) {
  EXPECT_TRUE(MbapFromRtu(1, hex("07 04 F0")).empty());
  Bytes longest(3 + kMbapMaxPdu, 0x04);
  EXPECT_EQ(MbapFromRtu(1, longest).size(), static_cast<std::size_t>(kMbapMaxAdu));
  longest.push_back(0);
  EXPECT_TRUE(MbapFromRtu(1, longest).empty());
}

// What the de-framer makes of a stream, fed whole and one byte at a time.
struct StreamCase {
  const char* name;
  std::string stream;
  std::vector<std::string> frames;  // "tid:unit pdu"
  std::uint64_t dropped;
  int buffered;  // bytes of an unfinished frame held at the end
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

std::string frameText(const MbapFrame& f) {
  char head[16];
  std::snprintf(head, sizeof head, "%04X:%02X ", f.transaction, f.unit);
  return head + hexOf(f.pdu);
}

std::vector<std::string> deframe(MbapDeframer& d, std::span<const std::uint8_t> bytes, std::size_t piece) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    auto part = bytes.subspan(at, std::min(piece, bytes.size() - at));
    while (!part.empty()) {
      part = part.subspan(d.Feed(part));
      if (auto f = d.Frame()) out.push_back(frameText(*f));
    }
  }
  return out;
}

class MbapStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(MbapStream, WholeFramesOnlyWhateverTheChunks) {
  const StreamCase& c = GetParam();
  const Bytes bytes = hex(c.stream);
  for (std::size_t piece : {bytes.size() + 1, std::size_t{1}, std::size_t{5}}) {
    SCOPED_TRACE(piece);
    MbapDeframer d;
    EXPECT_EQ(deframe(d, bytes, piece), c.frames);
    EXPECT_EQ(d.DroppedBytes(), c.dropped);
    EXPECT_EQ(d.Buffered(), c.buffered);
  }
}

std::string zeros(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += " 00";
  return s;
}

const std::string kReply = "00 01 00 00 00 05 11 04 02 00 0A ";
const std::string kReplyFrame = "0001:11 04 02 00 0A";

INSTANTIATE_TEST_SUITE_P(
    Streams, MbapStream,
    ::testing::Values(
        StreamCase{"one", kReply, {kReplyFrame}, 0, 0},
        StreamCase{"two_back_to_back", kReply + "00 02 00 00 00 03 07 84 02", {kReplyFrame, "0002:07 84 02"}, 0, 0},
        StreamCase{"garbage_before", "FF 13 37 " + kReply, {kReplyFrame}, 3, 0},
        StreamCase{"wrong_protocol_id", "00 01 00 01 00 05 11 04 02 00 0A " + kReply, {kReplyFrame}, 11, 0},
        StreamCase{"huge_length", "00 01 00 00 FF FF 11 " + kReply, {kReplyFrame}, 7, 0},
        StreamCase{"length_beyond_the_largest_frame", "00 01 00 00 00 FF 11 " + kReply, {kReplyFrame}, 7, 0},
        StreamCase{"length_without_a_function_code", "00 01 00 00 00 01 11 " + kReply, {kReplyFrame}, 7, 0},
        StreamCase{"largest_frame", "00 07 00 00 00 FE 07 04" + zeros(252), {"0007:07 04" + zeros(252)}, 0, 0},
        StreamCase{"cut_short", "00 01 00 00 00 05 11 04", {}, 0, 8},
        StreamCase{"header_alone", "00 01 00 00", {}, 0, 4}),
    [](const ::testing::TestParamInfo<StreamCase>& p) { return std::string(p.param.name); });

TEST(MbapDeframer, ResetDropsAPartialFrameAndStartsAtABoundary) {
  MbapDeframer d;
  const Bytes cut = hex("00 01 00 00 00 05 11 04");
  d.Feed(cut);
  d.Reset();
  EXPECT_EQ(d.DroppedBytes(), 8u);
  EXPECT_EQ(deframe(d, hex(kReply), 100), std::vector<std::string>{kReplyFrame});
}

// Gateway addresses as users write them; `expect` is the name for a good
// one, or a piece of the message for a bad one.
struct AddressCase {
  const char* text;
  bool ok;
  NetMode mode;
  const char* expect;
};

TEST(LinkAddress, ParsesBothFormsAndSaysWhatIsWrongInRussian) {
  const NetMode rtu = NetMode::rtu_over_tcp, tcp = NetMode::modbus_tcp;
  const std::vector<AddressCase> cases{
      {"rtuovertcp://192.168.10.20:4001", true, rtu, "192.168.10.20:4001"},
      {"  TCP://gw-1.local  ", true, tcp, "gw-1.local:502"},
      {"tcp://192.168.10.20:1502/", true, tcp, "192.168.10.20:1502"},
      {"tcp://[fe80::1%eth0]:502", true, tcp, "[fe80::1%eth0]:502"},
      {"rtuovertcp://шлюз.судно:4001", true, rtu, "шлюз.судно:4001"},
      {"", false, rtu, "не задан"},
      {"192.168.10.20:4001", false, rtu, "должен начинаться с rtuovertcp:// или tcp://"},
      {"udp://gw:4001", false, rtu, "Неизвестный вид связи «udp»"},
      {"rtuovertcp://192.168.10.20", false, rtu, "не задан порт"},
      {"tcp://:502", false, rtu, "не задан адрес шлюза"},
      {"tcp://gw:0", false, rtu, "Неверный порт «0»"},
      {"tcp://gw:65536", false, rtu, "от 1 до 65535"},
      {"tcp://gw:50a", false, rtu, "Неверный порт «50a»"},
      {"tcp://gw:", false, rtu, "Неверный порт «»"},
      {"tcp://fe80::1:502", false, rtu, "в скобках"},
      {"tcp://[fe80::1:502", false, rtu, "нет закрывающей скобки"},
      {"tcp://[fe80::1]502", false, rtu, "Лишние символы «502»"},
      {"tcp://[gw]:502", false, rtu, "Неверный адрес IPv6"},
      {"tcp://gw/modbus:502", false, rtu, "Недопустимый символ «/»"},
      {"tcp://gw one:502", false, rtu, "Недопустимый символ « »"},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.text);
    QString error;
    const auto a = LinkAddress::Parse(QString::fromUtf8(c.text), &error);
    ASSERT_EQ(a.has_value(), c.ok) << error.toStdString();
    if (c.ok) {
      EXPECT_EQ(a->mode, c.mode);
      EXPECT_EQ(a->Name().toStdString(), c.expect);
      EXPECT_EQ(LinkAddress::Parse(a->ToUrl()), a);
    } else {
      EXPECT_TRUE(error.contains(QString::fromUtf8(c.expect))) << error.toStdString();
    }
  }
}

/// A network link whose attempts the test ends: Open starts one (neither
/// open nor lost), then the test makes it connect or fail.
class FakeNetPort : public Port {
 public:
  bool open = false;
  bool lost = false;
  bool connecting = false;
  int opens = 0;

  OpenResult Open() override {
    ++opens;
    connecting = true;
    lost = false;
    return {};
  }
  void Close() override { open = lost = connecting = false; }
  bool IsOpen() const override { return open; }
  int BytesWaiting() override { return 0; }
  int ReadByte() override { return -1; }
  void Write(std::span<const std::uint8_t>) override {}
  bool DeviceLost() const override { return lost; }
  QString LinkName() const override { return QStringLiteral(u"127.0.0.1:4001"); }

  void Fail() { connecting = open = false, lost = true; }
  void Connect() { connecting = false, open = true; }
};

class LinkReconnectorTest : public ::testing::Test {
 protected:
  /// Polls every 100 ms of fake time until `ms` have passed; returns the
  /// times at which attempts were made, failing each at once.
  std::vector<std::int64_t> run(std::int64_t ms) {
    std::vector<std::int64_t> at;
    for (const std::int64_t end = now + ms; now < end; now += LinkReconnector::kPollMs) {
      const int before = port.opens;
      reconnector.Poll();
      if (port.opens != before) {
        at.push_back(now - start);
        port.Fail();
      }
    }
    return at;
  }

  std::int64_t now = 1000;
  std::int64_t start = 0;
  FakeNetPort port;
  LinkReconnector reconnector{port, [this] { return now; }};
};

TEST_F(LinkReconnectorTest, PausesDoubleUpToFiveSecondsAndStartAfreshOnceUp) {
  EXPECT_TRUE(run(2000).empty());  // a link never opened or closed by the user stays alone

  port.lost = true;  // the connection drops
  start = now;
  EXPECT_EQ(run(30000), (std::vector<std::int64_t>{500, 1600, 3700, 7800, 12900, 18000, 23100, 28200}));

  // An attempt that connects: the next loss starts with the short pause.
  while (!port.connecting) {
    now += LinkReconnector::kPollMs;
    reconnector.Poll();
  }
  port.Connect();
  reconnector.Poll();
  port.Fail();
  start = now;
  EXPECT_EQ(run(1000), std::vector<std::int64_t>{500});
}

TEST_F(LinkReconnectorTest, LeavesAnAttemptUnderWayAloneAndStandsAsideWhileDisabled) {
  port.lost = true;
  reconnector.SetEnabled(false);
  EXPECT_TRUE(run(10000).empty());
  reconnector.SetEnabled(true);
  now += 500;
  reconnector.Poll();  // notices the loss
  now += 500;
  reconnector.Poll();
  EXPECT_EQ(port.opens, 1);
  for (int i = 0; i < 100; ++i, now += 100) reconnector.Poll();  // still connecting: no new attempt
  EXPECT_EQ(port.opens, 1);
}

}  // namespace
}  // namespace zart::link

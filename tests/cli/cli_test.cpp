// The command line's own logic: the options, the answers it gives in place
// of message boxes, what it prints of a status reply, and the controller
// scan over the exchange and its pacer on a fake clock.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <utility>

#include <QJsonArray>

#include "cli/cli_options.h"
#include "cli/cli_prompter.h"
#include "cli/status_capture.h"
#include "controller.h"
#include "link/exchange_cycle.h"
#include "link/exchange_pacer.h"
#include "monitor/controller_scan.h"
#include "monitor/status_decoder.h"
#include "params/param_backup.h"
#include "params/param_session.h"
#include "support/fake_link_view.h"
#include "support/fake_serial_port.h"
#include "support/frames.h"

namespace zart::cli {
namespace {

// ---- Options ----------------------------------------------------------------

struct ParseRow {
  const char* name;
  QStringList args;
  Command command;
  const char16_t* error;  // part of the message when refused; null: accepted
  std::function<void(const CliOptions&)> check = {};
};

void PrintTo(const ParseRow& r, std::ostream* os) { *os << r.name; }

class Parse : public ::testing::TestWithParam<ParseRow> {};

TEST_P(Parse, Row) {
  const ParseRow& row = GetParam();
  const ParseResult r = ParseCommandLine(row.args);
  if (row.error != nullptr) {
    ASSERT_FALSE(r.ok());
    EXPECT_TRUE(r.error.contains(QString::fromUtf16(row.error))) << r.error.toStdString();
    return;
  }
  ASSERT_TRUE(r.ok()) << r.error.toStdString();
  EXPECT_EQ(r.options.command, row.command);
  if (row.check) row.check(r.options);
}

const auto L = [](std::initializer_list<const char*> args) {
  QStringList list;
  for (const char* a : args) list << QString::fromUtf8(a);
  return list;
};

INSTANTIATE_TEST_SUITE_P(
    Cli, Parse,
    ::testing::Values(
        ParseRow{"OptionsBeforeAndAfterTheCommand", L({"--port", "COM5", "write", "a.ini", "--no-verify", "--address=12"}),
                 Command::write, nullptr,
                 [](const CliOptions& o) {
                   EXPECT_EQ(o.port, QStringLiteral("COM5"));
                   EXPECT_EQ(o.address, 12);
                   EXPECT_TRUE(o.noVerify);
                   EXPECT_EQ(o.files, QStringList{QStringLiteral("a.ini")});
                 }},
        ParseRow{"DoubleDashLetsAFileStartWithADash", L({"diff", "--", "-a.ini", "b.ini"}), Command::diff, nullptr,
                 [](const CliOptions& o) { EXPECT_EQ(o.files.front(), QStringLiteral("-a.ini")); }},
        ParseRow{"ScanRangeAndParityAnyCase", L({"--parity", "n", "scan", "--from", "3", "--to", "9"}), Command::scan, nullptr,
                 [](const CliOptions& o) {
                   EXPECT_EQ(o.parity, QStringLiteral("N"));
                   EXPECT_EQ(o.from, 3);
                   EXPECT_EQ(o.to, 9);
                 }},
        ParseRow{"HelpNeedsNoCommand", L({"--help"}), Command::none, nullptr,
                 [](const CliOptions& o) { EXPECT_TRUE(o.help); }},
        ParseRow{"NoCommand", L({"--fast"}), Command::none, u"не указана команда"},
        ParseRow{"UnknownCommand", L({"flash"}), Command::none, u"неизвестная команда «flash»"},
        ParseRow{"UnknownOption", L({"--baud", "9600", "status"}), Command::none, u"неизвестный параметр --baud"},
        ParseRow{"AddressOutOfRange", L({"--address", "128", "status"}), Command::none, u"не число от 0 до 127"},
        ParseRow{"AddressNotANumber", L({"--address", "7a", "status"}), Command::none, u"«7a»"},
        ParseRow{"ValueMissingAtTheEnd", L({"status", "--port"}), Command::none, u"нужно значение"},
        ParseRow{"FlagWithAValue", L({"--fast=1", "status"}), Command::none, u"не принимает значения"},
        ParseRow{"BadParity", L({"--parity", "X", "status"}), Command::none, u"E, N или O"},
        ParseRow{"MissingFile", L({"read"}), Command::none, u"нужно файлов: 1"},
        ParseRow{"OneFileTooMany", L({"compare", "a.ini", "b.ini"}), Command::none, u"нужно файлов: 1"},
        ParseRow{"ArgumentsToStatus", L({"status", "now"}), Command::none, u"не принимает аргументов"},
        ParseRow{"WriteOptionOnRead", L({"read", "a.ini", "--no-backup"}), Command::none, u"только к команде write"},
        ParseRow{"ScanOptionOnMonitor", L({"monitor", "--from", "1"}), Command::none, u"только к команде scan"},
        ParseRow{"ReversedRange", L({"scan", "--from", "9", "--to", "3"}), Command::none, u"--from больше"},
        ParseRow{"ZeroSeconds", L({"monitor", "--seconds", "0"}), Command::none, u"не число от 1"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Cli, HelpNamesEveryCommandAndExitCodeWithExamples) {
  const QString help = HelpText();
  for (const char* word : {"status", "read ФАЙЛ", "write ФАЙЛ", "compare", "diff", "scan", "monitor", "--skip-invalid",
                           "--no-backup", "--backup-dir", "--json", "Коды возврата", "Примеры"})
    EXPECT_TRUE(help.contains(QString::fromUtf8(word))) << word;
  for (int code = 0; code <= 5; ++code) EXPECT_TRUE(help.contains(QStringLiteral("\n  %1  ").arg(code))) << code;
}

// ---- Questions answered without asking -------------------------------------

TEST(Cli, PrompterAnswersByItsPolicyAndKeepsEveryMessage) {
  using settings::Answer;
  using settings::Message;
  const Message writeRest = params::ParamSession::ProblemsQuestion({});
  const Message backup{params::ParamBackup::FailureTitle(), QStringLiteral("x"), Message::Buttons::retry_cancel};
  const Message overwrite{QStringLiteral(u"Создание текстового файла"), QStringLiteral("x"), Message::Buttons::ok_cancel};
  const Message info{QStringLiteral("t"), QStringLiteral("x")};
  struct Row {
    bool writeRest;
    const Message* message;
    Answer answer;
  };
  const Row rows[] = {
      {false, &writeRest, Answer::cancel}, {true, &writeRest, Answer::ok},  {true, &backup, Answer::cancel},
      {true, &overwrite, Answer::cancel},  {false, &info, Answer::ok},
  };
  for (const Row& r : rows) {
    CliPrompter prompter(r.writeRest);
    EXPECT_EQ(prompter.Ask(*r.message), r.answer) << r.message->title.toStdString() << " " << r.writeRest;
    ASSERT_EQ(prompter.Asked().size(), 1u);
  }
}

// ---- What a status reply prints ---------------------------------------------

/// The status reply of the simulator's controller, in a receive store.
link::RxStore StatusReply(sim::Controller& c) {
  return testing::StoreOf(c.HandleRequest(testing::WithCrc({7, 4, 0x01, 0x2C, 0x00, 0x7D})).value());
}

TEST(Cli, StatusShowsWhatTheWindowShowsForBothTypesAndTheBlockedFlag) {
  struct Row {
    int type;
    bool blocked;
    const char16_t* typeLine;
    bool shaft;
  };
  for (const Row& r : {Row{0, false, u"Тип объекта: ДГУ", false}, Row{1, true, u"Тип объекта: ДРА", true}}) {
    sim::EepromImage image = sim::EepromImage::Defaults(r.type);
    sim::Controller c(image, 7);
    c.SetBlocked(r.blocked);
    StatusCapture capture;
    monitor::StatusDecoder decoder(capture);
    const link::RxStore rx = StatusReply(c);
    decoder.DecodeStatus(rx);
    capture.Record(rx);
    const QString text = capture.Text(7);
    EXPECT_TRUE(text.contains(QString::fromUtf16(r.typeLine))) << text.toStdString();
    EXPECT_EQ(text.contains(QStringLiteral(u"гребного вала")), r.shaft);
    EXPECT_EQ(text.contains(QStringLiteral(u"заблокировано в ЩМКР.540")), r.blocked);
    // The version without the blocked flag's bit, and no padding blanks.
    EXPECT_TRUE(text.contains(QStringLiteral(u"Версия протокола: 2.3\n"))) << text.toStdString();
    const QJsonObject json = capture.Json(7);
    EXPECT_EQ(json[QStringLiteral("blocked")].toBool(), r.blocked);
    EXPECT_EQ(json[QStringLiteral("objectType")].toInt(), r.type);
    EXPECT_EQ(json.contains(QStringLiteral("shaftRpm")), r.shaft);
    // The lamps lit are named only among those the type shows.
    for (const QJsonValue lamp : json[QStringLiteral("lampsLit")].toArray())
      EXPECT_NE(lamp.toString(), r.type == 0 ? QStringLiteral(u"Редуктор") : QStringLiteral(u"Авт. зап."));
  }
}

// ---- The controller scan ----------------------------------------------------

constexpr std::int64_t kMs = 1'000'000;

/// A line with several controllers on it: each address in `controllers`
/// answers as the simulator does, each in `refusing` with exception 1.
class Bus : public testing::FakeSerialPort {
 public:
  std::map<int, sim::Controller> controllers;
  std::set<int> refusing;
  /// Addresses whose reply comes only after the next request went out.
  std::set<int> late;
  std::vector<int> addressed;  // byte 0 of each frame written

  void Write(std::span<const std::uint8_t> frame) override {
    FakeSerialPort::Write(frame);
    addressed.push_back(frame[0]);
    if (m_held) Receive(*std::exchange(m_held, std::nullopt));
    if (late.count(frame[0])) {
      m_held = controllers.at(frame[0]).HandleRequest(frame);
    } else if (refusing.count(frame[0])) {
      std::vector<std::uint8_t> reply{frame[0], static_cast<std::uint8_t>(frame[1] | 0x80), 1};
      sim::AppendCrc(reply);
      Receive(reply);
    } else if (auto it = controllers.find(frame[0]); it != controllers.end()) {
      if (const auto reply = it->second.HandleRequest(frame)) Receive(*reply);
    }
  }

 private:
  std::optional<std::vector<std::uint8_t>> m_held;
};

class ScanTest : public ::testing::Test {
 protected:
  ScanTest() {
    EXPECT_TRUE(bus.Open().ok());
    cycle.SetStatusHandler([this](const link::Reply& r) { statusLengths.push_back(r.count); });
    scan.SetFoundHandler([this](const monitor::ScanHit& h) { found.push_back(h); });
    scan.SetFinishedHandler([this](bool stopped) { endings.push_back(stopped); });
    pacer.Start();
  }
  void AddController(int address, int type) {
    bus.controllers.emplace(address, sim::Controller(sim::EepromImage::Defaults(type), address));
  }
  /// Runs the exchange on the fake clock until `done` or `ms` pass.
  template <typename Pred>
  void RunUntil(Pred done, std::int64_t ms) {
    const std::int64_t end = now + ms * kMs;
    while (!done() && now < end) {
      const int wait = pacer.Step();
      now += wait == link::ExchangePacer::kGapWait ? kMs / 10 : wait * kMs;
    }
  }

  std::int64_t now = 0;
  Bus bus;
  testing::FakeLinkView view;
  link::ExchangeCycle cycle{bus, view};
  link::ExchangePacer pacer{cycle, [this] { return now; }};
  monitor::ControllerScan scan{cycle};
  std::vector<monitor::ScanHit> found;
  std::vector<bool> endings;
  std::vector<int> statusLengths;
};

TEST_F(ScanTest, FindsEveryAnsweringAddressQuicklyAndLeavesTheExchangeAsItWas) {
  AddController(7, 0);
  AddController(12, 1);
  bus.refusing.insert(3);
  // 12's reply comes only while 13 is asked: it is listed under the address
  // it carries, once.
  bus.late.insert(12);
  // Reversed on purpose: the range is taken either way round.
  ASSERT_TRUE(scan.Start(15, 0));
  EXPECT_EQ(scan.Total(), 16);
  RunUntil([&] { return !scan.Running(); }, 5000);
  ASSERT_EQ(endings, std::vector<bool>{false});
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].address, 3);
  EXPECT_EQ(found[0].exceptionCode, 1);
  EXPECT_EQ(found[1].address, 7);
  EXPECT_EQ(found[1].objectType, 0);
  EXPECT_EQ(found[1].Summary(), QStringLiteral(u"адрес 7: ДГУ, протокол 2.3, ПО 1.7"));
  EXPECT_EQ(found[2].address, 12);
  EXPECT_EQ(found[2].ObjectTypeText(), QStringLiteral(u"ДРА"));
  EXPECT_EQ(scan.Found().size(), 3u);
  // Every address was asked once, in order, after the first idle tick; a
  // silent one costs its 30 ms, not the 100 ms of a tick.
  std::vector<int> asked(bus.addressed.begin(), bus.addressed.begin() + 16);
  for (int a = 0; a < 16; ++a) EXPECT_EQ(asked[static_cast<std::size_t>(a)], a);
  EXPECT_LT(now, (100 + 16 * 45) * kMs);
  // The short replies were the scan's; the idle status reads after it go to
  // the exchange's own address and reach the window's decoder whole.
  EXPECT_TRUE(statusLengths.empty());
  const std::size_t before = bus.addressed.size();
  RunUntil([&] { return statusLengths.size() >= 2; }, 1000);
  ASSERT_GE(statusLengths.size(), 2u);
  for (int length : statusLengths) EXPECT_EQ(length, 255);
  for (std::size_t i = before; i < bus.addressed.size(); ++i) EXPECT_EQ(bus.addressed[i], 7);
}

TEST_F(ScanTest, StopEndsAtOnceEvenWithARequestOnTheLine) {
  AddController(7, 0);
  AddController(8, 0);
  ASSERT_TRUE(scan.Start(0, 127));
  RunUntil([&] { return scan.Tried() >= 8; }, 2000);
  ASSERT_TRUE(scan.Running());
  // Stopped while address 8's request is out: its short reply must reach
  // neither the list nor the window's decoder as a status block.
  scan.Stop();
  EXPECT_FALSE(scan.Running());
  ASSERT_EQ(endings, std::vector<bool>{true});
  scan.Stop();  // a second stop changes nothing
  EXPECT_EQ(endings.size(), 1u);
  const std::size_t sent = bus.addressed.size();
  RunUntil([&] { return statusLengths.size() >= 2; }, 1000);
  for (int length : statusLengths) EXPECT_EQ(length, 255);
  for (std::size_t i = sent; i < bus.addressed.size(); ++i) EXPECT_EQ(bus.addressed[i], 7) << i;
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].address, 7);
  // A new scan starts afresh.
  ASSERT_TRUE(scan.Start(8, 8));
  RunUntil([&] { return !scan.Running(); }, 1000);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].address, 8);
  EXPECT_EQ(scan.Found().size(), 1u);
}

}  // namespace
}  // namespace zart::cli

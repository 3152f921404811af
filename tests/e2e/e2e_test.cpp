// End to end: the real program over a real QSerialPort against zart-sim on
// a pseudo-terminal. Every scenario is a row: the simulator's options, how
// much of the program runs, and a short script of steps and checks. The
// fault scenarios (line noise, the device pulled out, start-up failures,
// hostile files, refused and killed saves) each keep a row.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <functional>
#include <random>

#include <QApplication>
#include <QStandardPaths>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTcpServer>
#include <QTabBar>
#include <QTest>

#include "e2e_rig.h"
#include "link/frame_recorder.h"
#include "params/box_colors.h"
#include "params/conversions.h"
#include "params/param_set.h"
#include "params/param_files.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "ui/file_chooser.h"
#include "ui/param_diff_window.h"
#include "ui/param_report_window.h"
#include "ui/param_service.h"
#include "ui/service_tools.h"
#include "ui/traffic_model.h"
#include "ui/traffic_window.h"
#include "ui/port_dialog.h"

namespace zart::ui {
namespace {

using namespace params;  // box colours and the catalogue
using testing::FileBytes;
using testing::Rig;
using Bytes = std::vector<std::uint8_t>;
constexpr int kReadAll = 131;

struct Scenario {
  const char* name;
  Rig::Mode mode;
  std::function<void(Rig&)> script;
  QStringList simArgs = {};
  Rig::Gateway gateway = Rig::Gateway::none;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class E2e : public ::testing::TestWithParam<Scenario> {};

TEST_P(E2e, Runs) {
  Rig rig;
  ASSERT_TRUE(rig.Start(GetParam().simArgs, GetParam().mode, GetParam().gateway))
      << "the simulator, the gateway or the port did not come up";
  GetParam().script(rig);
}

std::string Name(const ::testing::TestParamInfo<Scenario>& p) { return p.param.name; }

// ---- The link and the live display ----------------------------------------

const Scenario kLink[] = {
    {"StartRaisesTheEngineSpeedShownAndABlockGreysTheParametersMenu", Rig::Mode::wholeProgram,
     [](Rig& r) {
       MainWindow& w = r.app->Window();
       const auto label = [&w](const char* name) { return w.findChild<QLabel*>(QLatin1String(name)); };
       const auto speed = [&] { return label("lbl_eng_rpm")->text().trimmed().toInt(); };
       ASSERT_TRUE(r.RunUntil([&] { return label("lbl_object")->text() != QStringLiteral("-"); }, 5000));
       EXPECT_EQ(label("lbl_object")->text(), QStringLiteral(u"ДГУ"));
       EXPECT_TRUE(w.LampLit(3)) << "Готов";
       QTest::mouseClick(w.CommandButton(0), Qt::LeftButton);
       ASSERT_TRUE(r.RunUntil([&] { return speed() > 200 && w.LampLit(2); }, 8000)) << "engine speed " << speed();
       EXPECT_NE(label("lbl_tr_id")->text(), QStringLiteral("-"));

       r.Control("block on");
       EXPECT_TRUE(r.RunUntil([&] { return !w.ParamMenu()->isEnabled(); }, 3000));
       EXPECT_TRUE(label("lbl_modbus_off")->isVisible());
       r.Control("block off");
       EXPECT_TRUE(r.RunUntil([&] { return w.ParamMenu()->isEnabled(); }, 3000));
       EXPECT_TRUE(r.LinkUp());
     }},
    // The "Сервис" tools: a fault switched on in the simulator shows in the
    // traffic monitor's rows and counters at once. A silent stretch, repeated
    // at every tick, greys the values; then the link comes back by itself and
    // they are live again.
    {"FaultsShowInTheTrafficMonitorAtOnceSilenceGreysTheValuesAndTheLinkRecovers", Rig::Mode::wholeProgram,
     [](Rig& r) {
       const auto verdicts = [&r] {
         TrafficWindow* window = r.app->Service().Traffic();
         window->Refresh();
         QStringList texts;
         for (int row = 0; row < window->Model().rowCount(); ++row)
           texts << window->Model().RowTexts(row)[TrafficModel::kVerdict];
         return texts;
       };
       r.app->Service().ShowTrafficMonitor();
       const link::FrameRecorder& rec = r.app->Service().Recorder();
       ASSERT_TRUE(r.RunUntil([&] { return rec.SinceStart().validReplies >= 4; }, 5000));
       EXPECT_FALSE(verdicts().contains(QStringLiteral(u"несовпадение КС")));
       r.Control("fault bad-crc on");
       EXPECT_TRUE(r.RunUntil([&] { return rec.SinceStart().crcMismatches >= 2; }, 3000));
       EXPECT_TRUE(verdicts().contains(QStringLiteral(u"несовпадение КС")));
       EXPECT_TRUE(verdicts().contains(QStringLiteral(u"повтор")));
       r.Control("fault none");
       MainWindow& w = r.app->Window();
       ASSERT_TRUE(r.RunUntil([&] { return !w.Stale(); }, 3000));
       r.Control("fault silent on");
       EXPECT_TRUE(r.RunUntil([&] { return rec.SinceStart().noAnswers >= 2 && w.Stale(); }, 3000));
       EXPECT_TRUE(verdicts().contains(QStringLiteral(u"нет ответа")));
       EXPECT_LT(rec.GoodShareLastMinute(), 1.0);
       EXPECT_EQ(r.Status(), link::ExchangeCycle::NoAnswerMessage());
       EXPECT_TRUE(w.StaleNote()->text().startsWith(QStringLiteral(u"Нет связи с ")));
       EXPECT_FALSE(w.ValueLabelOf(monitor::ValueLabel::lbl_eng_rpm)->isEnabled());
       r.Control("fault none");
       EXPECT_TRUE(r.RunUntil([&] { return r.LinkUp() && !w.Stale(); }, 3000));
     }},
};
INSTANTIATE_TEST_SUITE_P(Link, E2e, ::testing::ValuesIn(kLink), Name);

// ---- Parameter transfers through the parameters window --------------------

/// What box k must show for the image's bytes.
QString Expected(const QByteArray& image, int k) {
  const auto s = static_cast<std::size_t>(k);
  const int a = kCatalogue.par_addr[s];
  const QByteArray bytes = image.mid(a, kCatalogue.par_size[s]);
  return SlotTextOfBytes(k, std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
}

/// Commissioning: read-all, an edit of each kind, write-all. The backup holds
/// the controller's set from before the write. The read-back check reports
/// success, and the EEPROM then differs from before in exactly the edited
/// bytes; or it names the one slot the simulator stored wrong (`corruptAt` >= 0).
std::function<void(Rig&)> CheckedWriteAll(int corruptAt) {
  return [=](Rig& r) {
    QLocale::setDefault(QLocale(QLocale::Russian));  // the user's comma must survive the round trip
    r.Prompts().fallback = settings::Answer::ok;
    ParamService& service = r.Params().Service();
    params::ParamSession& session = r.Params().Session();
    r.Params().OpenParamWindow();
    ASSERT_TRUE(r.RunTransfer());
    const QByteArray before = r.sim.Image();
    ASSERT_EQ(before.size(), 4096);
    for (int k = 0; k < kSlotCount; ++k) ASSERT_EQ(r.Window().Text(k), Expected(before, k)) << k;
    struct Edit {
      int slot;
      const char16_t* text;
      Bytes bytes;  // what the EEPROM must then hold
    };
    const Edit edits[] = {
        {2, u"1600", {80}},             // ×20
        {41, u"12,5", {125}},           // ×0.1, comma
        {305, u"-12.3", {0xFF, 0x85}},  // signed 16 bits ×0.1
        {89, u"Дизель", {0xC4, 0xE8, 0xE7, 0xE5, 0xEB, 0xFC, 0, 0, 0, 0, 0, 0}},
        {93, u"Длинное", {0xC4, 0xEB, 0xE8, 0xED}},  // cut to the 4-byte slot
    };
    QByteArray expected = before;
    for (const Edit& e : edits) {
      r.Type(e.slot, QString::fromUtf16(e.text));
      const int a = kCatalogue.par_addr[static_cast<std::size_t>(e.slot)];
      for (std::size_t i = 0; i < e.bytes.size(); ++i)
        expected[a + static_cast<qsizetype>(i)] = static_cast<char>(e.bytes[i]);
    }
    if (corruptAt >= 0) r.Control(QStringLiteral("fault corrupt-byte %1").arg(corruptAt).toLatin1().constData());
    r.Window().cmd_writeall()->click();

    // The backup is written before anything is queued, from the controller's set.
    settings::IniFile ini;
    ASSERT_TRUE(ini.Load(session.Backup().LastBackup()));
    for (int k = 0; k < kSlotCount; ++k)
      ASSERT_EQ(ini.Read(QStringLiteral("Parameters"), ParamFiles::ParamFileKey(k), QStringLiteral("?")),
                Expected(before, k).trimmed())
          << "slot " << k;

    ASSERT_TRUE(r.RunUntil([&] { return !session.LastVerification().isEmpty(); }, 60000));
    EXPECT_EQ(r.Window().Text(2), QStringLiteral("1600 "));  // the read-back left the boxes alone
    if (corruptAt < 0) {
      EXPECT_EQ(session.LastVerification(), QStringLiteral(u"Запись проверена: все 1208 параметров совпадают"));
      const QByteArray after = r.sim.Image();
      ASSERT_EQ(after.size(), 4096);
      for (int a = 0; a < 4096; ++a) ASSERT_EQ(after[a], expected[a]) << "EEPROM byte " << a;
      EXPECT_EQ(r.Window().Text(41), QStringLiteral("12,5 "));  // the echoes show what was stored
      EXPECT_EQ(r.Window().Text(93), QStringLiteral(u"Длин"));
      EXPECT_EQ(r.CountColor(COLOR_FROM_EEPROM), kSlotCount);
      // tools/screenshot-report.sh: the report of this set as PDF.
      const QString pdf = qEnvironmentVariable("ZART_REPORT_PDF");
      if (!pdf.isEmpty()) {
        service.ShowReport();
        ASSERT_NE(service.ReportWindow(), nullptr);
        EXPECT_TRUE(service.ReportWindow()->SavePdf(pdf));
      }
    } else {
      ParamDiffWindow* list = service.DiffWindow();
      ASSERT_NE(list, nullptr);
      ASSERT_EQ(list->VisibleRows(), 1);
      EXPECT_EQ(list->SlotAt(0), 2);
      EXPECT_EQ(r.Window().StripOf(PageGroup::function)->tabText(0), QStringLiteral(u"Двигатель •"));
    }
    QLocale::setDefault(QLocale::c());
  };
}

const Scenario kCommissioning[] = {
    {"WriteAllLeavesABackupChangesExactlyTheEditedBytesAndIsCheckedByReadingBack", Rig::Mode::wholeProgram,
     CheckedWriteAll(-1)},
    {"WriteCheckNamesTheSlotStoredWrong", Rig::Mode::wholeProgram, CheckedWriteAll(258)},
};
INSTANTIATE_TEST_SUITE_P(Commissioning, E2e, ::testing::ValuesIn(kCommissioning), Name);


// ---- Line noise against a read-all ----------------------------------------

/// The read-all ran to its end: every box green, every read asked in turn,
/// none lost and none asked again once the queue had moved on.
void ExpectWholeReadAll(Rig& r) {
  ASSERT_TRUE(r.RunTransfer()) << r.Editor().Progress().answered << " of " << r.Editor().Progress().total;
  EXPECT_EQ(r.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(r.Port().DistinctRuns(link::FC_EEPROM_READ).size(), static_cast<std::size_t>(kReadAll));
  EXPECT_TRUE(r.Port().RunsAreUnique(link::FC_EEPROM_READ)) << "a read was asked again after the queue had moved on";
}

/// Whatever the noise, no request is lost or asked twice out of turn, and
/// once it stops the read-all ends with every box green.
/// `completes`: the read-all gets through while the fault lasts;
/// `rejects`: replies fail the CRC test meanwhile; `timingBound`: a late
/// tick may let a reply through now and then.
/// `fast`: fast exchange on, against the simulator's wire timing; then
/// `writeAll` follows with a write-all of what was read, under the same fault.
std::function<void(Rig&)> Noise(const char* fault, bool completes, bool rejects, bool timingBound = false,
                                bool fast = false, bool writeAll = false) {
  return [=](Rig& r) {
    r.timer.SetFastExchange(fast);
    ASSERT_TRUE(r.MoreStatusReplies(1, 5000)) << "no link to the simulator";
    r.Control(fault);
    // Let the fault take hold of the idle traffic first: a status read stuck
    // at the head of the queue must hold the read-all back, not be lost.
    const auto mismatches = r.cycle.Counters().crcMismatches;
    r.Wait(500);
    r.Params().OpenParamWindow();
    ASSERT_EQ(r.Editor().Progress().total, kReadAll);
    if (!completes) {
      r.Wait(1500);
      EXPECT_GT(r.cycle.Counters().crcMismatches, mismatches);
      if (!timingBound) {
        EXPECT_EQ(r.Editor().Progress().answered, 0);
        EXPECT_EQ(r.CountColor(COLOR_CHANGED), kSlotCount) << "nothing answered: every box still white";
      }
      r.Control("fault none");
    }
    ExpectWholeReadAll(r);
    EXPECT_LE(r.maxRxCount, link::RxStore::kMaxStored);
    if (rejects) { EXPECT_GT(r.cycle.Counters().crcMismatches, mismatches); }
    if (writeAll) {
      r.Editor().cmd_writeall_Click();
      ASSERT_GT(r.Editor().Progress().total, 0);
      ASSERT_TRUE(r.RunTransfer());
      EXPECT_EQ(r.CountColor(COLOR_FROM_EEPROM), kSlotCount);
      EXPECT_TRUE(r.port.RunsAreUnique(link::FC_EEPROM_WRITE));
    }
    // The link never follows the address a reply claims to come from.
    EXPECT_EQ(r.view.slaveAddress, 7);
    for (const auto& frame : r.port.written) ASSERT_EQ(frame[0], 7);
    ASSERT_TRUE(r.MoreStatusReplies(2)) << "the live display stopped";
  };
}

const QStringList kSeed{QStringLiteral("--seed"), QStringLiteral("5")};
const Scenario kNoise[] = {
    {"GarbageBeforeTheReply", Rig::Mode::core, Noise("fault garbage 7", false, true), kSeed},
    // The second half arrives 50 ms after the tick that judges the first;
    // only a tick late by more than that sees the whole reply.
    {"ReplySplitAcrossTwoTicks", Rig::Mode::core, Noise("fault split 150", false, true, true), kSeed},
    // The link does not check the slave address of a reply.
    {"ReplyFromAnotherAddress", Rig::Mode::core, Noise("fault answer-as 9", true, false), kSeed},
    // Only status replies are padded; the one at the head of the queue is
    // cut to 256 bytes, fails and is repeated.
    {"StatusReplyOf300Bytes", Rig::Mode::core, Noise("fault long 300", false, true), kSeed},
    {"BadCrcEveryThirdReply", Rig::Mode::core, Noise("fault bad-crc-every 3", true, true), kSeed},
};
INSTANTIATE_TEST_SUITE_P(Noise, E2e, ::testing::ValuesIn(kNoise), Name);

// The same under fast exchange, where a reply is judged as soon as it can be
// whole: a pause inside it shorter than the time-out is waited for.
const QStringList kWire{QStringLiteral("--seed"), QStringLiteral("9"), QStringLiteral("--wire-timing"),
                        QStringLiteral("--turnaround"), QStringLiteral("3")};
const Scenario kFast[] = {
    {"NoFault", Rig::Mode::core, Noise("fault none", true, false, true, true, true), kWire},
    {"GarbageBeforeTheReply", Rig::Mode::core, Noise("fault garbage 7", false, true, true, true), kWire},
    {"ReplySplitWithin100ms", Rig::Mode::core, Noise("fault split 30", true, false, true, true), kWire},
    {"ReplySplitPastTheTimeout", Rig::Mode::core, Noise("fault split 150", false, true, true, true), kWire},
    {"StatusReplyOf300Bytes", Rig::Mode::core, Noise("fault long 300", false, true, true, true), kWire},
    {"BadCrcEveryThirdReply", Rig::Mode::core, Noise("fault bad-crc-every 3", true, true, true, true, true), kWire},
    {"EveryFourthReplyDropped", Rig::Mode::core, Noise("fault drop-every 4", true, false, true, true, true), kWire},
};
INSTANTIATE_TEST_SUITE_P(FastExchange, E2e, ::testing::ValuesIn(kFast), Name);

// ---- Through an Ethernet gateway --------------------------------------------

/// The whole program started with "Link=" in тп.ini: the serial port stays
/// closed, the status shows, a checked write-all programs the controller,
/// and the traffic monitor shows each frame as it travelled (over Modbus
/// TCP with its header first and in words).
void ThroughTheGateway(Rig& r) {
  EXPECT_TRUE(r.app->Links().UsesNetwork() && !r.app->Port().IsOpen());
  const QLabel* type = r.app->Window().findChild<QLabel*>(QStringLiteral("lbl_object"));
  ASSERT_TRUE(r.RunUntil([&] { return type->text() == QStringLiteral(u"ДГУ"); }, 5000));
  r.app->SetFastExchange(true);
  CheckedWriteAll(-1)(r);
  r.app->Service().ShowTrafficMonitor();
  TrafficWindow* traffic = r.app->Service().Traffic();
  traffic->Refresh();
  const QStringList row = traffic->Model().RowTexts(traffic->Model().rowCount() - 1);
  const bool mbap = r.gatewayUrl.startsWith(QStringLiteral("tcp://"));
  EXPECT_EQ(row[TrafficModel::kMeaning].contains(QStringLiteral(u"(MBAP: транзакция ")), mbap) << row.join(u'|').toStdString();
  EXPECT_EQ(row[TrafficModel::kFrame].split(u' ').value(mbap ? 6 : 0), QStringLiteral("07"));
}

/// A fault between the program and the controller in the middle of a
/// read-all (`on`, then `off` once it has shown), told by the status line:
/// nothing moves meanwhile, and afterwards the read-all ends whole.
std::function<void(Rig&)> MidReadAll(const char* on, const char* off, const char16_t* status) {
  return [=](Rig& r) {
    r.timer.SetFastExchange(true);
    r.Params().OpenParamWindow();
    ASSERT_TRUE(r.RunUntil([&] { return r.Editor().Progress().answered >= 40; }, 20000));
    r.Control(on);
    const QString told = QString::fromUtf16(status).replace(QStringLiteral("ADDRESS"), r.net.LinkName());
    ASSERT_TRUE(r.RunUntil([&] { return r.Status().startsWith(told); }, 3000)) << r.Status().toStdString();
    const int answered = r.Editor().Progress().answered;
    r.Wait(1500);
    EXPECT_EQ(r.Editor().Progress().answered, answered);
    r.Control(off);
    ExpectWholeReadAll(r);
    EXPECT_LE(r.maxRxCount, link::RxStore::kMaxStored);
  };
}

/// A gateway that cannot be reached or never answers: the status line says
/// so, a command queued meanwhile waits, and the link is tried again at its
/// own pace (at most `maxFrames` requests and `maxOpens` attempts in 3 s).
std::function<void(Rig&)> Unreachable(QString url, const char16_t* status, std::size_t maxFrames, int maxOpens) {
  return [=](Rig& r) {
    QTcpServer silent;  // accepts and never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    ASSERT_TRUE(r.UseGateway(QString(url).replace(QStringLiteral("SILENT"), QString::number(silent.serverPort()))));
    r.cycle.EnqueueRequest(link::FC_WRITE_SINGLE_REGISTER, {0x01, 0x92, 0x00, 0x01});
    r.Wait(3000);
    const QString told = QString::fromUtf16(status).replace(QStringLiteral("ADDRESS"), r.net.LinkName());
    EXPECT_TRUE(r.Status().startsWith(told)) << r.Status().toStdString();
    EXPECT_TRUE(r.cycle.WorkPending()) << "the queued command was lost";
    EXPECT_LE(r.port.written.size(), maxFrames);
    EXPECT_LE(r.reconnector.Attempts(), maxOpens);
  };
}

const QStringList kMbap{QStringLiteral("--mbap")};
const char16_t kLost[] = u"Нет соединения с ADDRESS: ";
const Scenario kGateway[] = {
    {"WholeProgramThroughSocat", Rig::Mode::wholeProgram, ThroughTheGateway, {}, Rig::Gateway::socat},
    {"WholeProgramThroughModbusTcp", Rig::Mode::wholeProgram, ThroughTheGateway, kMbap, Rig::Gateway::sim},
    {"Garbage", Rig::Mode::core, Noise("fault garbage 7", false, true, true, true), kSeed, Rig::Gateway::sim},
    {"ConnectionDroppedMidReadAll", Rig::Mode::core, MidReadAll("unplug", "replug", kLost), {}, Rig::Gateway::sim},
    {"HugeMbapLength", Rig::Mode::core, MidReadAll("fault mbap length", "fault mbap off", u"Ошибка обмена: Нет ответа"),
     kMbap, Rig::Gateway::sim},
    {"WrongMbapProtocolId", Rig::Mode::core, MidReadAll("fault mbap protocol", "fault mbap off", u"Ошибка обмена: Нет ответа"),
     kMbap, Rig::Gateway::sim},
    // Told once, in a box that lets the user go on. The read-all ends with
    // every box red and the refusal named, nothing shown as if it had been
    // read; once the functions pass, the next read-all reads everything.
    {"ConvertingGatewayThatRefusesTheEepromFunctions", Rig::Mode::wholeProgram,
     [](Rig& r) {
       r.Params().OpenParamWindow();
       ASSERT_TRUE(r.RunUntil([&] { return r.app->GatewayAdvice() != nullptr; }, 5000));
       EXPECT_FALSE(r.app->GatewayAdvice()->isModal());
       r.app->GatewayAdvice()->close();
       r.Wait(1500);
       EXPECT_EQ(r.app->GatewayAdvice(), nullptr);
       ASSERT_TRUE(r.RunTransfer());
       EXPECT_TRUE(r.Prompts().asked.empty());
       EXPECT_EQ(r.CountColor(COLOR_NOT_READ), kSlotCount);
       EXPECT_EQ(r.Window().Message(),
                 QStringLiteral(u"Не прочитано 1208 параметров: контроллер отказал, код 1 — недопустимая функция"));
       r.Control("fault refuse-eeprom off");
       r.Window().cmd_readall()->click();
       ASSERT_TRUE(r.RunTransfer());
       EXPECT_EQ(r.CountColor(COLOR_FROM_EEPROM), kSlotCount);
     },
     {QStringLiteral("--mbap"), QStringLiteral("--refuse-eeprom"), QStringLiteral("1")}, Rig::Gateway::sim},
    {"GatewayThatNeverAnswers", Rig::Mode::simOnly,
     Unreachable(QStringLiteral("rtuovertcp://127.0.0.1:SILENT"), u"Ошибка обмена: Нет ответа от контроллера ЗАРТ", 4, 0)},
    {"RefusedConnection", Rig::Mode::simOnly,
     Unreachable(QStringLiteral("tcp://127.0.0.1:1"), u"Нет соединения с ADDRESS: соединение отвергнуто", 0, 4)},
};
INSTANTIATE_TEST_SUITE_P(Gateway, E2e, ::testing::ValuesIn(kGateway), Name);

// ---- The device pulled out in the middle of a read-all ---------------------

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

/// Opens the parameters window (its read-all starts), lets part of it
/// through, pulls the device and checks the quiet, steady state that follows.
void ReadAllThenUnplug(Rig& r) {
  r.Params().OpenParamWindow();
  ASSERT_TRUE(r.RunUntil([&] { return r.Params().Window() != nullptr; }, 20000));
  ASSERT_TRUE(r.RunUntil([&] { return r.Editor().Progress().answered >= 40; }, 20000));
  r.Control("unplug");
  r.Wait(400);  // the reply in flight may still land; after that nothing moves
  const int answered = r.Editor().Progress().answered;
  std::vector<std::uint32_t> colors;
  for (int k = 0; k < kSlotCount; ++k) colors.push_back(r.Window().Color(k));
  r.statusAtTicks.clear();
  const auto ticks = r.Cycle().Counters().ticks;
  const double cpu = CpuSeconds();
  r.Wait(3000);
  EXPECT_LT(CpuSeconds() - cpu, 1.5) << "CPU seconds used in 3 s with the device away";
  EXPECT_GE(r.Cycle().Counters().ticks - ticks, 20u) << "the timer keeps its 10 Hz";
  EXPECT_LE(r.Cycle().Counters().ticks - ticks, 36u);
  EXPECT_FALSE(r.app->Port().IsOpen());
  ASSERT_FALSE(r.statusAtTicks.isEmpty());
  // The port was closed for the vanished device, and the line says so
  // (that it vanished, then why the reopening fails).
  for (const QString& text : r.statusAtTicks)
    ASSERT_TRUE(text.startsWith(QStringLiteral(u"Порт COM5 не открыт: ") + r.sim.LinkPath())) << text.toStdString();
  EXPECT_EQ(r.Editor().Progress().answered, answered);
  for (int k = 0; k < kSlotCount; ++k) ASSERT_EQ(r.Window().Color(k), colors[static_cast<std::size_t>(k)]) << k;
  EXPECT_GT(r.CountColor(COLOR_CHANGED), 0) << "boxes not yet answered stay white";
  EXPECT_EQ(r.CountColor(COLOR_CHANGED) + r.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_TRUE(r.Prompts().asked.empty()) << "a message box for a vanished device";
  EXPECT_EQ(r.app->OpenPortDialog(), nullptr) << "the port dialog opened by itself";
}

/// The read-all ends after the device came back, every request asked in
/// turn, no box left white, only COM5 ever opened again.
void ExpectReadAllResumesToTheEnd(Rig& r) {
  ExpectWholeReadAll(r);
  ASSERT_TRUE(r.RunUntil([&] { return r.LinkUp(); }, 3000));
  EXPECT_FALSE(r.statusAtTicks.contains(QStringLiteral(u"Порт не выбран")));
  EXPECT_TRUE(r.Prompts().asked.empty());
}

const Scenario kUnplug[] = {
    {"PortDialogReopensTheReturnedDeviceAndTheReadAllResumes", Rig::Mode::wholeProgram,
     [](Rig& r) {
       ReadAllThenUnplug(r);
       if (::testing::Test::HasFatalFailure()) return;
       r.Control("replug");
       r.app->mnu_settings_Click();  // the user opens the port dialog at once: its probe finds COM5
       PortDialog* dialog = r.app->OpenPortDialog();
       ASSERT_NE(dialog, nullptr);
       EXPECT_EQ(dialog->SelectedPort(), 5);
       dialog->OkButton()->click();
       ASSERT_TRUE(r.RunUntil([&] { return r.app->OpenPortDialog() == nullptr; }, 3000));
       ExpectReadAllResumesToTheEnd(r);
     }},
    // The reconnector reopens the port by itself, even after the user looked
    // at the port dialog meanwhile and cancelled it.
    {"PortDialogCancelledWhileTheDeviceIsAwayLeavesTheReconnectorTrying", Rig::Mode::wholeProgram,
     [](Rig& r) {
       ReadAllThenUnplug(r);
       if (::testing::Test::HasFatalFailure()) return;
       // The probe opens COM6 and finds no COM5; the user cancels.
       r.app->mnu_settings_Click();
       PortDialog* dialog = r.app->OpenPortDialog();
       ASSERT_NE(dialog, nullptr);
       EXPECT_LT(dialog->PortList()->findText(QStringLiteral("COM5")), 0);
       EXPECT_GE(dialog->PortList()->findText(QStringLiteral("COM6")), 0);
       dialog->CancelButton()->click();
       ASSERT_TRUE(r.RunUntil([&] { return r.app->OpenPortDialog() == nullptr; }, 3000));
       EXPECT_EQ(r.app->Port().PortNumber(), 5);
       EXPECT_FALSE(r.app->Port().IsOpen());
       r.Wait(1500);
       r.Port().openedPorts.clear();
       r.Control("replug");
       ASSERT_TRUE(r.RunUntil([&] { return r.app->Port().IsOpen(); }, 3000)) << "not reopened within about a second";
       ExpectReadAllResumesToTheEnd(r);
       EXPECT_FALSE(r.Port().openedPorts.empty());
       for (int n : r.Port().openedPorts) EXPECT_EQ(n, 5) << "only COM5 is ever opened again";
     }},
};
INSTANTIATE_TEST_SUITE_P(Unplug, E2e, ::testing::ValuesIn(kUnplug), Name);

// ---- The port failing at start-up ------------------------------------------

constexpr char kStartUpChild[] = "--start-up-as-child";

/// Starts the whole program on "тп.ini" in `folder`; the message boxes it
/// asked for (all answered Cancel, so the start ends).
std::vector<settings::Message> StartUp(const QString& folder, bool& started) {
  Application::Setup setup;
  setup.settingsFolder = folder;
  auto prompter = std::make_unique<testing::ScriptedPrompter>();
  testing::ScriptedPrompter* prompts = prompter.get();
  setup.prompter = std::move(prompter);
  Application app(std::move(setup));
  started = app.Start();
  return prompts->asked;
}

/// A message box as a child run prints it: one base64 line per field.
void PrintBox(const settings::Message& box) {
  for (const QString& field : {box.title, box.text, box.detail}) std::printf("%s\n", field.toUtf8().toBase64().constData());
}
QString Field(const QList<QByteArray>& lines, int i) { return QString::fromUtf8(QByteArray::fromBase64(lines.value(i))); }

/// Writes "тп.ini" selecting COM5 on `device` into the rig's folder.
QString SettingsFor(Rig& r, const QString& device) {
  EXPECT_TRUE(Rig::WriteSettings(r.files.path(), "[Ports]\r\nCOM5=" + QFile::encodeName(device) + "\r\n"));
  return r.files.path();
}

// The real port's own failures; a missing device is the adapter's test, and
// the boxes' wording the start-up logic's.
const Scenario kStartUp[] = {
    {"PortHeldByAnotherProgram", Rig::Mode::simOnly,
     [](Rig& r) {
       QSerialPort other;  // takes the lock file and the exclusive mode, as any serial program would
       other.setPortName(r.sim.Device());
       ASSERT_TRUE(other.open(QIODevice::ReadWrite)) << other.errorString().toStdString();
       bool started = true;
       const auto asked = StartUp(SettingsFor(r, r.sim.Device()), started);
       EXPECT_FALSE(started);
       ASSERT_EQ(asked.size(), 1u);
       EXPECT_EQ(asked[0].title, QStringLiteral(u"Ошибка открытия порта"));
       EXPECT_EQ(asked[0].text, QStringLiteral(u"Порт COM5 занят другим приложением\r\nВыберите другой порт"));
       EXPECT_TRUE(asked[0].detail.startsWith(r.sim.Device())) << asked[0].detail.toStdString();
       EXPECT_FALSE(asked[0].detail.contains(QStringLiteral("dialout")));
     }},
    // Root is never refused a device: this binary runs again as "nobody" and
    // opens the simulator's pty, owned by root with mode 0600 or 0620.
    {"DeviceWithoutPermission", Rig::Mode::simOnly,
     [](Rig& r) {
       ASSERT_FALSE(QFileInfo(r.sim.Device()).permissions() & QFileDevice::WriteOther) << "the pty is open to everybody";
       const QString folder = SettingsFor(r, r.sim.Device());
       const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther;
       ASSERT_TRUE(QFile::setPermissions(folder, readable | QFileDevice::ExeOwner | QFileDevice::ExeOther));
       QFile::setPermissions(folder + QStringLiteral(u"/тп.ini"), readable);
       QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
       env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
       env.insert(QStringLiteral("HOME"), folder);
       env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
       const auto run = testing::UnprivilegedRun::Start({QString::fromLatin1(kStartUpChild), folder}, env);
       if (!run.skipReason.isEmpty()) GTEST_SKIP() << run.skipReason.toStdString();
       ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
       EXPECT_EQ(Field(run.lines, 0), QStringLiteral(u"Ошибка открытия порта"));
       EXPECT_EQ(Field(run.lines, 1), QStringLiteral(u"Порт COM5 не доступен\r\nВыберите другой порт"));
       EXPECT_TRUE(Field(run.lines, 2).startsWith(r.sim.Device() + QStringLiteral(u": доступ запрещён ("))) << run.err.toStdString();
       EXPECT_TRUE(Field(run.lines, 2).contains(QStringLiteral("dialout")));
     }},
};
INSTANTIATE_TEST_SUITE_P(StartUp, E2e, ::testing::ValuesIn(kStartUp), Name);

/// The unprivileged side of DeviceWithoutPermission: the one box.
int RunStartUpChild(const QString& folder) {
  bool started = true;
  const auto asked = StartUp(folder, started);
  if (started || asked.size() != 1) return 1;
  PrintBox(asked[0]);
  return 0;
}

// ---- Hostile parameter files -------------------------------------------------

/// A hostile file loaded and compared through the window's own buttons
/// while its read-all runs: nothing may crash, and nothing reaches the
/// controller; only the user's Enter queues a write.
std::function<void(Rig&)> HostileFile(QByteArray contents, std::function<void(ParamWindow&, const std::vector<QString>&)> check) {
  return [=](Rig& r) {
    ASSERT_TRUE(testing::WriteFileBytes(r.files.filePath(QStringLiteral("hostile.ini")), contents));
    const auto queuedWrites = [&r] {
      const link::RequestQueue& q = r.cycle.Queue();
      int n = 0;
      for (int i = 0; i < q.PendingCount(); ++i) n += q.Pending(i).slot_bytes[1] == link::FC_EEPROM_WRITE;
      return n;
    };
    const auto everyColourIn = [&r](std::initializer_list<std::uint32_t> allowed) {
      for (int k = 0; k < kSlotCount; ++k)
        ASSERT_EQ(std::count(allowed.begin(), allowed.end(), r.Window().Color(k)), 1) << "slot " << k << ": " << r.Window().Color(k);
    };
    r.Params().OpenParamWindow();
    r.Wait(300);
    const int pending = r.cycle.Queue().PendingCount();
    ASSERT_GT(pending, kReadAll - 10);
    std::vector<QString> before;
    for (int k = 0; k < kSlotCount; ++k) before.push_back(r.Window().Text(k));

    r.Window().Chooser().Text3()->setText(QStringLiteral("hostile.ini"));
    r.Window().cmdReadFile()->click();
    everyColourIn({COLOR_FROM_FILE, COLOR_MISSING_IN_FILE});
    check(r.Window(), before);
    r.Window().cmdCompare()->click();
    everyColourIn({COLOR_MATCHES_FILE, COLOR_DIFFERS_FROM_FILE, COLOR_MISSING_IN_FILE});
    EXPECT_TRUE(r.prompter.asked.empty());
    EXPECT_EQ(r.cycle.Queue().PendingCount(), pending);
    EXPECT_EQ(queuedWrites(), 0);
    r.Wait(800);
    EXPECT_TRUE(r.port.DistinctRuns(link::FC_EEPROM_WRITE).empty());
    EXPECT_FALSE(r.port.DistinctRuns(link::FC_EEPROM_READ).empty()) << "the exchange did not run";
    r.Type(2, QStringLiteral("1500"));
    r.Editor().txt_par_KeyPress(2, ParamEditor::kKeyEnter);
    EXPECT_EQ(queuedWrites(), 1);
  };
}

QByteArray Binary() {
  std::mt19937 rng(42);
  QByteArray junk(64 * 1024, '\0');
  for (char& c : junk) c = static_cast<char>(rng() & 0xFF);
  junk.replace(1000, 24, "\n[Parameters]\nPAR3=17\n\0\0\0");  // some of it is taken as a file
  return junk;
}

const auto kShows = [](std::vector<std::pair<int, QString>> texts) {
  return [texts](ParamWindow& w, const std::vector<QString>&) {
    for (const auto& [slot, text] : texts) EXPECT_EQ(w.Text(slot), text) << slot;
  };
};

const Scenario kFiles[] = {
    {"BinaryData", Rig::Mode::core, HostileFile(Binary(), kShows({{3, QStringLiteral("17")}}))},
    {"QuarterMegabyteLines", Rig::Mode::core,
     HostileFile("[Parameters]\r\nPAR0=" + QByteArray(1 << 18, '7') + "\r\nPAR1=5\r\nPAR" + QByteArray(1 << 18, '9') + "=1\r\n",
                 // A value is cut to 254 characters, as the profile functions do.
                 kShows({{0, QString(254, QLatin1Char('7'))}, {1, QStringLiteral("5")}}))},
    {"MissingKeys", Rig::Mode::core,
     HostileFile("[Parameters]\r\nPAR0=1\r\nPAR1207=2\r\n",
                 [](ParamWindow& w, const std::vector<QString>& before) {
                   for (int k = 1; k < kSlotCount - 1; ++k) {
                     ASSERT_EQ(w.Color(k), COLOR_MISSING_IN_FILE) << k;
                     ASSERT_EQ(w.Text(k), before[static_cast<std::size_t>(k)]) << k;
                   }
                 })},
};
INSTANTIATE_TEST_SUITE_P(HostileFiles, E2e, ::testing::ValuesIn(kFiles), Name);

// ---- Interrupted saves -------------------------------------------------------
// A save refused by the folder, or killed in the middle: the file on disk is
// the old one byte for byte or the new one whole. Both run this binary again
// as a child: as "nobody" for the refusal (root writes anywhere), and as a
// save loop killed with SIGKILL at random moments.

constexpr char kRefusedChild[] = "--save-into-read-only-folder";
constexpr char kLoopChild[] = "--save-in-a-loop";
const QString kFileName = QStringLiteral("set.ini");

/// Generation `gen` of all 1208 boxes (about 300 KB, so a kill often finds
/// the bytes still being written), saved into folder/set.ini. Replacing the
/// file is confirmed, a failed write cancelled.
bool SaveGeneration(const QString& folder, int gen, testing::ScriptedPrompter& prompter, ParamSet& set) {
  for (int k = 0; k < kSlotCount; ++k)
    set.SetText(k, QStringLiteral("G%1-%2-").arg(gen).arg(k) + QString(230, u'x'), SlotState::changed);
  prompter.onAsk = [](const settings::Message& m, int) {
    return m.buttons == settings::Message::Buttons::ok_cancel ? settings::Answer::ok : settings::Answer::cancel;
  };
  testing::FakeLinkView view;
  return ParamFiles(set, view, prompter).cmdSaveFile_Click(folder, kFileName);
}

/// The generation a whole file holds, or -1 when any key is missing or of another one.
int GenerationOf(const QString& path) {
  settings::IniFile ini;
  if (!ini.Load(path)) return -1;
  const QString first = ini.Read(QStringLiteral("Parameters"), QStringLiteral("PAR0"), QString());
  bool ok = false;
  const int gen = first.section(QLatin1Char('-'), 0, 0).mid(1).toInt(&ok);
  for (int k = 0; ok && k < kSlotCount; ++k)
    ok = ini.Read(QStringLiteral("Parameters"), ParamFiles::ParamFileKey(k), QString()) ==
         QStringLiteral("G%1-%2-").arg(gen).arg(k) + QString(230, u'x');
  return ok ? gen : -1;
}

// A rename would replace the file; a file marked read-only must stay all the
// same. The file is readable by everybody and writable by root only.
TEST(SaveE2e, RefusedSaveKeepsTheOldFileByteForByte) {
  const auto folderOthersEnter = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                 QFileDevice::ReadOther | QFileDevice::ExeOther;
  for (const QFileDevice::Permissions folder : {folderOthersEnter, folderOthersEnter | QFileDevice::WriteOther}) {
    SCOPED_TRACE(folder.testFlag(QFileDevice::WriteOther) ? "read-only file in a writable folder" : "read-only folder");
    QTemporaryDir dir;
    testing::ScriptedPrompter prompter;
    ParamSet set;
    ASSERT_TRUE(SaveGeneration(dir.path(), 1, prompter, set));
    const QByteArray old = FileBytes(dir.filePath(kFileName));
    ASSERT_TRUE(QFile::setPermissions(dir.path(), folder));
    QFile::setPermissions(dir.filePath(kFileName), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    const auto run = testing::UnprivilegedRun::Start({QString::fromLatin1(kRefusedChild), dir.path()},
                                                     QProcessEnvironment::systemEnvironment());
    if (!run.skipReason.isEmpty()) GTEST_SKIP() << run.skipReason.toStdString();
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.lines.value(0), "not saved, colours kept");
    EXPECT_EQ(Field(run.lines, 2), QStringLiteral(u"Невозможно открыть файл set.ini для записи"));
    EXPECT_FALSE(Field(run.lines, 3).isEmpty()) << "no reason given";
    EXPECT_EQ(FileBytes(dir.filePath(kFileName)), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{kFileName});
  }
}

TEST(SaveE2e, KilledDuringSavesLeavesTheOldFileOrTheNewOneWhole) {
  QTemporaryDir dir;
  const QString path = dir.filePath(kFileName);
  std::mt19937 rng(20261206);
  for (int round = 0; round < 24; ++round) {
    const int first = (round + 1) * 1000;
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kLoopChild), dir.path(), QString::number(first)});
    // The child's first save is the old file and prints how long it took;
    // the child then saves newer generations until it is killed at a
    // random moment within about two saves.
    const QDeadlineTimer deadline(20000);
    while (!child.canReadLine() && child.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) {
    }
    ASSERT_TRUE(child.canReadLine()) << "the saving child did not save";
    const qint64 saveUs = std::max<qint64>(1, child.readLine().trimmed().toLongLong());
    const QByteArray old = FileBytes(path);
    ASSERT_EQ(GenerationOf(path), first);
    child.write("go\n");
    child.waitForBytesWritten(1000);
    QThread::usleep(std::uniform_int_distribution<unsigned long>(0, static_cast<unsigned long>(2 * saveUs))(rng));
    child.kill();
    ASSERT_TRUE(child.waitForFinished(5000));
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit) << "the child ended before it was killed";
    if (FileBytes(path) != old) { ASSERT_GT(GenerationOf(path), first) << "round " << round << ": a torn file"; }
  }
  // No check for stray files here: a kill between QSaveFile's link of its
  // temporary file and the rename leaves that file behind (seen under load).
}

int RunRefusedChild(const QString& folder) {
  testing::ScriptedPrompter prompter;
  ParamSet set;
  const bool saved = SaveGeneration(folder, 2, prompter, set);
  const bool coloured = set.State(0) == SlotState::from_file;
  std::printf("%s\n", saved ? "saved" : coloured ? "not saved, but coloured" : "not saved, colours kept");
  if (!prompter.asked.empty()) PrintBox(prompter.asked.back());
  return 0;
}

int RunLoopChild(const QString& folder, int first) {
  testing::ScriptedPrompter prompter;
  ParamSet set;
  QElapsedTimer clock;
  clock.start();
  if (!SaveGeneration(folder, first, prompter, set)) return 3;
  std::printf("%lld\n", static_cast<long long>(clock.nsecsElapsed() / 1000));
  std::fflush(stdout);
  char go[8];
  if (!std::fgets(go, sizeof go, stdin)) return 4;
  for (int gen = first + 1;; ++gen)
    if (!SaveGeneration(folder, gen, prompter, set)) return 3;
}

}  // namespace
}  // namespace zart::ui

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Backups taken before writes go to a test folder, not the user's documents.
  QStandardPaths::setTestModeEnabled(true);
  const QString folder = argc == 3 || argc == 4 ? QString::fromLocal8Bit(argv[2]) : QString();
  if (argc == 3 && std::strcmp(argv[1], zart::ui::kStartUpChild) == 0) return zart::ui::RunStartUpChild(folder);
  if (argc == 3 && std::strcmp(argv[1], zart::ui::kRefusedChild) == 0) return zart::ui::RunRefusedChild(folder);
  if (argc == 4 && std::strcmp(argv[1], zart::ui::kLoopChild) == 0) return zart::ui::RunLoopChild(folder, std::atoi(argv[3]));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// End to end: the zart-cli program against zart-sim, on a pseudo-terminal
// and over TCP. Every scenario is a row: the simulator's options and a
// short script of runs and checks. Each run is bounded in time.
#include <gtest/gtest.h>

#include <functional>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "params/catalogue.h"
#include "params/param_files.h"
#include "params/param_set.h"
#include "settings/ini_file.h"
#include "support/fake_link_view.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"

namespace zart::testing {
namespace {

using params::kCatalogue;
using params::kSlotCount;

struct CliResult {
  int code = -1;
  QString out;
  QString err;
  qint64 ms = 0;
  /// stdout as one JSON document (the last line, for monitor the first).
  QJsonObject Json(int line = -1) const {
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    if (lines.isEmpty()) return {};
    return QJsonDocument::fromJson(lines[line < 0 ? lines.size() - 1 : line].toUtf8()).object();
  }
};

/// One scenario: the simulator, a folder for files, and zart-cli runs.
class CliCase {
 public:
  bool Start(const QStringList& simArgs, bool tcp) {
    if (tcp) {
      m_port = sim.StartTcp(simArgs);
      return !m_port.isEmpty();
    }
    if (!sim.Start(QStringList{QStringLiteral("--eeprom"), sim.ImagePath()} + simArgs)) return false;
    m_port = sim.LinkPath();
    return true;
  }

  /// Starts zart-cli with `args` on the simulator's link; the settings are
  /// read from the scenario's folder, which holds no тп.ini unless a row
  /// writes one.
  void Launch(QProcess& p, const QStringList& args, bool withPort = true) {
    QStringList all{QStringLiteral("--settings-dir"), dir.path()};
    if (withPort) all << QStringLiteral("--port") << m_port;
    p.start(QStringLiteral(ZART_CLI_PATH), all + args);
  }
  CliResult Finish(QProcess& p, const QElapsedTimer& clock, int timeoutMs) {
    CliResult r;
    if (!p.waitForFinished(timeoutMs)) {
      p.kill();
      p.waitForFinished(2000);
    }
    r.ms = clock.elapsed();
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
  }
  CliResult Run(const QStringList& args, bool withPort = true, int timeoutMs = 30000) {
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    Launch(p, args, withPort);
    return Finish(p, clock, timeoutMs);
  }

  QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
  /// A parameter set as a read-all of the simulator fills it.
  void FillFromImage(params::ParamSet& set) {
    const QByteArray image = sim.Image();
    for (int k = 0; k < kSlotCount; ++k) {
      const auto s = static_cast<std::size_t>(k);
      const QByteArray bytes = image.mid(kCatalogue.par_addr[s], kCatalogue.par_size[s]);
      set.TakeControllerBytes(k, std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())), true);
    }
  }
  /// Rewrites one key of a parameter file.
  static void SetKey(const QString& path, int slot, const QString& value) {
    settings::IniFile ini;
    ASSERT_TRUE(ini.Load(path));
    ini.Write(params::ParamFiles::ParamFileSection(slot), params::ParamFiles::ParamFileKey(slot), value);
    ASSERT_TRUE(ini.Save(path));
  }
  int Byte(int slot) {
    return static_cast<std::uint8_t>(sim.Image().at(kCatalogue.par_addr[static_cast<std::size_t>(slot)]));
  }

  SimProcess sim{QStringLiteral(ZART_SIM_PATH)};
  QTemporaryDir dir;

 private:
  QString m_port;
};

struct Scenario {
  const char* name;
  std::function<void(CliCase&)> script;
  QStringList simArgs = {};
  bool tcp = false;
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class CliE2e : public ::testing::TestWithParam<Scenario> {};

TEST_P(CliE2e, Runs) {
  CliCase c;
  ASSERT_TRUE(c.Start(GetParam().simArgs, GetParam().tcp)) << "the simulator did not come up";
  GetParam().script(c);
}

const QString kSlot2Name = QStringLiteral(u"Стартовые обороты (об/мин)");  // slot 2, ×20, one byte

QStringList A(std::initializer_list<const char*> args) {
  QStringList list;
  for (const char* a : args) list << QString::fromUtf8(a);
  return list;
}

const Scenario kScenarios[] = {
    {"StatusAsTextAndJsonAndThroughTheSettingsFile",
     [](CliCase& c) {
       const CliResult text = c.Run(A({"status"}));
       ASSERT_EQ(text.code, 0) << text.err.toStdString();
       EXPECT_TRUE(text.out.contains(QStringLiteral(u"Тип объекта: ДГУ"))) << text.out.toStdString();
       EXPECT_TRUE(text.out.contains(QStringLiteral(u"Индикаторы: Готов")));
       const QJsonObject json = c.Run(A({"--json", "status"})).Json();
       EXPECT_TRUE(json[QStringLiteral("ok")].toBool());
       EXPECT_EQ(json[QStringLiteral("status")][QStringLiteral("objectTypeName")].toString(), QStringLiteral(u"ДГУ"));
       EXPECT_EQ(json[QStringLiteral("status")][QStringLiteral("address")].toInt(), 7);
       // Without --port: COM5 of тп.ini, mapped in its section "Ports".
       const QByteArray ports = "[Ports]\r\nCOM5=" + c.sim.LinkPath().toLocal8Bit() + "\r\n";
       ASSERT_TRUE(WriteFileBytes(c.dir.filePath(QStringLiteral(u"тп.ini")), "[PC config]\r\nCOM=5\r\n" + ports));
       const CliResult configured = c.Run(A({"--json", "status"}), false);
       EXPECT_EQ(configured.code, 0) << configured.err.toStdString();
       EXPECT_EQ(configured.Json()[QStringLiteral("link")].toString(), QStringLiteral("COM5"));
       // Another address: nobody answers there.
       const CliResult elsewhere = c.Run(A({"--address", "8", "status"}));
       EXPECT_EQ(elsewhere.code, 4);
       EXPECT_TRUE(elsewhere.err.contains(QStringLiteral(u"нет ответа от контроллера ЗАРТ (адрес 8"))) << elsewhere.err.toStdString();
     }},
    {"ReadWritesAFileTheWindowLoadsBlueAndComparesLightGreen",
     [](CliCase& c) {
       const CliResult read = c.Run(A({"--fast", "--json", "read"}) << c.Path("set.ini"));
       ASSERT_EQ(read.code, 0) << read.err.toStdString();
       EXPECT_EQ(read.Json()[QStringLiteral("parameters")].toInt(), kSlotCount);
       FakeLinkView view;
       ScriptedPrompter prompter;
       params::ParamSet loaded;
       params::ParamFiles window(loaded, view, prompter);
       const auto invalid = window.cmdReadFile_Click(c.dir.path(), QStringLiteral("set.ini"));
       ASSERT_TRUE(invalid.has_value());
       EXPECT_TRUE(invalid->entries.empty());
       params::ParamSet controller;
       c.FillFromImage(controller);
       params::ParamFiles compare(controller, view, prompter);
       ASSERT_TRUE(compare.cmdCompare_Click(c.dir.path(), QStringLiteral("set.ini")).has_value());
       for (int k = 0; k < kSlotCount; ++k) {
         ASSERT_EQ(loaded.State(k), params::SlotState::from_file) << k;
         ASSERT_EQ(controller.State(k), params::SlotState::matches_file) << k;
       }
       EXPECT_TRUE(prompter.asked.empty());
       EXPECT_EQ(c.Run(A({"--fast", "compare"}) << c.Path("set.ini")).code, 0);
     }},
    {"AFileTheWindowSavedComparesAndWritesWithBackupAndCheck",
     [](CliCase& c) {
       params::ParamSet set;
       c.FillFromImage(set);
       set.SetText(2, QStringLiteral("1600"), params::SlotState::changed);
       FakeLinkView view;
       ScriptedPrompter prompter(settings::Answer::ok);
       ASSERT_TRUE(params::ParamFiles(set, view, prompter).cmdSaveFile_Click(c.dir.path(), QStringLiteral("site.ini")));
       const CliResult diff = c.Run(A({"--fast", "--json", "compare"}) << c.Path("site.ini"));
       ASSERT_EQ(diff.code, 1) << diff.err.toStdString();
       const QJsonArray entries = diff.Json()[QStringLiteral("differences")].toArray();
       ASSERT_EQ(entries.size(), 1);
       EXPECT_EQ(entries[0][QStringLiteral("name")].toString(), kSlot2Name);
       EXPECT_EQ(entries[0][QStringLiteral("controller")].toString(), QStringLiteral("300"));
       EXPECT_EQ(entries[0][QStringLiteral("file")].toString(), QStringLiteral("1600"));

       const CliResult write = c.Run(A({"--fast", "--json", "write"}) << c.Path("site.ini") << QStringLiteral("--backup-dir")
                                                                  << c.Path("backups"));
       ASSERT_EQ(write.code, 0) << write.err.toStdString();
       EXPECT_EQ(c.Byte(2), 1600 / 20);
       const QJsonObject done = write.Json();
       EXPECT_EQ(done[QStringLiteral("written")].toInt(), kSlotCount);
       EXPECT_TRUE(done[QStringLiteral("verification")].toString().startsWith(QStringLiteral(u"Запись проверена")));
       // The backup holds the controller's set from before the write.
       settings::IniFile backup;
       ASSERT_TRUE(backup.Load(done[QStringLiteral("backup")].toString()));
       EXPECT_EQ(backup.Read(QStringLiteral("Parameters"), QStringLiteral("PAR2"), QString()), QStringLiteral("300"));
       EXPECT_EQ(QDir(c.Path("backups")).entryList(QDir::Files).size(), 1);
       EXPECT_EQ(c.Run(A({"--fast", "compare"}) << c.Path("site.ini")).code, 0);
     }},
    {"ValuesTheControllerCannotTakeAreRefusedUnlessTheRestIsAskedFor",
     [](CliCase& c) {
       ASSERT_EQ(c.Run(A({"--fast", "read"}) << c.Path("a.ini")).code, 0);
       CliCase::SetKey(c.Path("a.ini"), 5, QStringLiteral("abc"));
       CliCase::SetKey(c.Path("a.ini"), 2, QStringLiteral("1600"));
       const CliResult refused = c.Run(A({"--fast", "--json", "write", "--no-backup"}) << c.Path("a.ini"));
       EXPECT_EQ(refused.code, 2);
       EXPECT_TRUE(refused.err.contains(QStringLiteral(u"Максимальные обороты (об/мин): «abc» — не число"))) << refused.err.toStdString();
       EXPECT_EQ(refused.Json()[QStringLiteral("invalid")].toArray().size(), 1);
       EXPECT_EQ(c.Byte(2), 300 / 20) << "nothing may be written";
       const CliResult rest = c.Run(A({"--fast", "write", "--no-backup", "--skip-invalid"}) << c.Path("a.ini"));
       EXPECT_EQ(rest.code, 0) << rest.err.toStdString();
       EXPECT_EQ(c.Byte(2), 1600 / 20);
       EXPECT_TRUE(rest.out.contains(QStringLiteral(u"не записано 1"))) << rest.out.toStdString();
     }},
    {"AByteStoredWrongFailsTheCheckWithTheSlotsName",
     [](CliCase& c) {
       ASSERT_EQ(c.Run(A({"--fast", "read"}) << c.Path("a.ini")).code, 0);
       CliCase::SetKey(c.Path("a.ini"), 2, QStringLiteral("1600"));
       const CliResult write = c.Run(A({"--fast", "--json", "write", "--no-backup"}) << c.Path("a.ini"));
       EXPECT_EQ(write.code, 3) << write.err.toStdString();
       const QJsonArray entries = write.Json()[QStringLiteral("differences")].toArray();
       ASSERT_EQ(entries.size(), 1);
       EXPECT_EQ(entries[0][QStringLiteral("name")].toString(), kSlot2Name);
       EXPECT_EQ(entries[0][QStringLiteral("written")].toString(), QStringLiteral("1600"));
     },
     {QStringLiteral("--corrupt-byte"), QString::number(kCatalogue.par_addr[2])}},
    {"ASilentControllerEndsEveryCommandWithin15Seconds",
     [](CliCase& c) {
       const CliResult status = c.Run(A({"status"}), true, 20000);
       EXPECT_EQ(status.code, 4);
       EXPECT_LT(status.ms, 15000);
       const CliResult read = c.Run(A({"--fast", "--json", "read"}) << c.Path("never.ini"), true, 20000);
       EXPECT_EQ(read.code, 4);
       EXPECT_LT(read.ms, 15000);
       EXPECT_FALSE(read.Json()[QStringLiteral("ok")].toBool());
       EXPECT_FALSE(QFile::exists(c.Path("never.ini")));
     },
     {QStringLiteral("--fault-silent")}},
    {"ScanFindsTheSimulatorsAddressAmongSilentOnesInAFewSeconds",
     [](CliCase& c) {
       const CliResult scan = c.Run(A({"--json", "scan"}));
       ASSERT_EQ(scan.code, 0) << scan.err.toStdString();
       const QJsonArray found = scan.Json()[QStringLiteral("found")].toArray();
       ASSERT_EQ(found.size(), 1);
       EXPECT_EQ(found[0][QStringLiteral("address")].toInt(), 9);
       EXPECT_EQ(found[0][QStringLiteral("objectTypeName")].toString(), QStringLiteral(u"ДРА"));
       EXPECT_LT(scan.ms, 10000);
       EXPECT_EQ(c.Run(A({"scan", "--from", "0", "--to", "8"})).code, 4);
     },
     {QStringLiteral("--address"), QStringLiteral("9"), QStringLiteral("--type"), QStringLiteral("dra")}},
    {"MonitorWritesCsvLogLinesAndJsonLines",
     [](CliCase& c) {
       const CliResult csv = c.Run(A({"monitor", "--seconds", "1", "--csv"}));
       ASSERT_EQ(csv.code, 0) << csv.err.toStdString();
       const QStringList lines = csv.out.split(u'\n', Qt::SkipEmptyParts);
       ASSERT_GE(lines.size(), 3);
       EXPECT_TRUE(lines[1].contains(QStringLiteral(u"ДГУ")));
       const CliResult json = c.Run(A({"--json", "monitor", "--seconds", "1"}));
       ASSERT_EQ(json.code, 0);
       EXPECT_EQ(json.Json(0)[QStringLiteral("objectTypeName")].toString(), QStringLiteral(u"ДГУ"));
     }},
    {"DiffUsageAndFileErrorsGiveTheirCodes",
     [](CliCase& c) {
       ASSERT_EQ(c.Run(A({"--fast", "read"}) << c.Path("a.ini")).code, 0);
       QFile::copy(c.Path("a.ini"), c.Path("b.ini"));
       EXPECT_EQ(c.Run(A({"diff"}) << c.Path("a.ini") << c.Path("b.ini"), false).code, 0);
       CliCase::SetKey(c.Path("b.ini"), 89, QStringLiteral(u"Дизель"));
       const CliResult diff = c.Run(A({"diff"}) << c.Path("a.ini") << c.Path("b.ini"), false);
       EXPECT_EQ(diff.code, 1);
       EXPECT_TRUE(diff.out.contains(QStringLiteral(u"«Дизель»"))) << diff.out.toStdString();
       EXPECT_EQ(c.Run(A({"diff"}) << c.Path("a.ini") << c.Path("none.ini"), false).code, 2);
       EXPECT_EQ(c.Run(A({"flash"})).code, 2);
       EXPECT_EQ(c.Run(A({"compare"}) << c.Path("none.ini")).code, 2);
       EXPECT_EQ(c.Run(A({"--port", "/dev/zart-no-such-port", "status"}), false).code, 4);
       const CliResult nowhere = c.Run(A({"read"}) << c.Path("no/such/folder.ini"));
       EXPECT_EQ(nowhere.code, 5);
     }},
    {"OverModbusTcpADroppedConnectionIsReopenedAndTheReadResumes",
     [](CliCase& c) {
       EXPECT_EQ(c.Run(A({"status"})).code, 0);
       QProcess p;
       QElapsedTimer clock;
       clock.start();
       c.Launch(p, A({"--json", "read"}) << c.Path("resumed.ini"));
       QThread::msleep(400);
       EXPECT_TRUE(c.sim.Command(QStringLiteral("unplug")).startsWith(QStringLiteral("ok")));
       QThread::msleep(800);
       EXPECT_TRUE(c.sim.Command(QStringLiteral("replug")).startsWith(QStringLiteral("ok")));
       const CliResult read = c.Finish(p, clock, 20000);
       ASSERT_EQ(read.code, 0) << read.err.toStdString();
       EXPECT_LT(read.ms, 15000);
       settings::IniFile ini;
       ASSERT_TRUE(ini.Load(c.Path("resumed.ini")));
       EXPECT_EQ(ini.Keys(QStringLiteral("Parameters")).size(), kSlotCount);
     },
     {QStringLiteral("--mbap"), QStringLiteral("--wire-timing")}, true},
};
INSTANTIATE_TEST_SUITE_P(Cli, CliE2e, ::testing::ValuesIn(kScenarios), [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zart::testing

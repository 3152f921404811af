// Backups, differences, the write check and the service report, headless.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "controller.h"
#include "fault_injector.h"
#include "link/exchange_cycle.h"
#include "params/box_colors.h"
#include "params/controller_image.h"
#include "params/fake_param_boxes.h"
#include "params/param_backup.h"
#include "params/param_diff.h"
#include "params/param_editor.h"
#include "params/param_files.h"
#include "params/service_report.h"
#include "params/slot_names.h"
#include "params/write_verifier.h"
#include "settings/ini_file.h"
#include "support/fake_link_view.h"
#include "support/sim_port.h"
#include "support/scripted_prompter.h"

namespace zart::params {
namespace {

using settings::Answer;
using Bytes = std::vector<std::uint8_t>;

/// The tool's link, editor and write check against the simulator's core,
/// wired as the parameters window wires them.
class Bench : public ::testing::Test {
 protected:
  Bench() : cycle(port, view), editor(cycle, cat, view), verifier(cycle, cat, editor), image(cat) {
    cat.InitParamTables();
    EXPECT_TRUE(port.Open().ok());
    editor.SetBoxesProvider([this] { return &boxes; });
    cycle.SetParamHandler([this](const link::RxStore& rx) {
      image.Record(rx[1], rx, cycle.RxCount());
      if (!verifier.Consume(rx, cycle.RxCount())) editor.HandleParamReply(rx);
    });
    cycle.SetCompletionHandler([this](int slot) {
      editor.OnRequestCompleted(slot);
      verifier.OnRequestCompleted(slot);
    });
    verifier.SetFinishedHandler([this](const DiffList& list, int n) {
      result = list;
      compared = n;
    });
  }

  /// Ticks until the queue is empty.
  void Run() {
    for (int guard = 0; guard < 2000 && (cycle.Queue().PendingCount() > 0 || guard < 2); ++guard) cycle.ExchangeTick();
    cycle.ExchangeTick();
    cycle.ExchangeTick();
  }

  void WriteAll() {
    const int before = cycle.Queue().WriteIndex();
    editor.cmd_writeall_Click();
    std::vector<Bytes> written(kSlotCount);
    for (int k = 0; k < kSlotCount; ++k) written[static_cast<std::size_t>(k)] = editor.WriteAllSlotBytes(k, boxes.Text(k));
    const int after = cycle.Queue().WriteIndex();
    ASSERT_NE(after, before);
    verifier.Begin(std::move(written), (after - 1 + link::RequestQueue::kSlots) % link::RequestQueue::kSlots);
  }

  /// The simulated controller, its worn cell (if any) striking on writes.
  struct WornPort : testing::SimPort {
    void Write(std::span<const std::uint8_t> frame) override {
      SimPort::Write(frame);
      faults.CorruptStoredByte(frame, controller.Eeprom());
    }
    sim::FaultInjector faults;
  };

  WornPort port;
  testing::FakeLinkView view;
  link::ExchangeCycle cycle;
  ParamCatalogue cat;
  ParamEditor editor;
  WriteVerifier verifier;
  ControllerImage image;
  testing::FakeParamBoxes boxes;
  std::optional<DiffList> result;
  int compared = 0;
};

struct VerifyCase {
  int corruptAt;  // EEPROM byte stored wrong, -1 for none
  std::vector<int> mismatched;
};

void PrintTo(const VerifyCase& c, std::ostream* os) {
  *os << (c.corruptAt < 0 ? std::string("no worn byte") : "worn byte " + std::to_string(c.corruptAt));
}

class WriteCheck : public Bench, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(WriteCheck, ReadBackFindsExactlyTheSlotsStoredWrong) {
  editor.ReadAllParams();
  Run();
  boxes.texts[2] = QStringLiteral("1600");
  boxes.texts[305] = QStringLiteral("-12,3");
  boxes.texts[89] = QStringLiteral("Дизель");
  if (GetParam().corruptAt >= 0) port.faults.Settings().corruptByte = GetParam().corruptAt;
  WriteAll();
  // Run up to the end of the writes, note how many texts were set, then the read-back.
  while (verifier.CurrentPhase() == WriteVerifier::Phase::writing) cycle.ExchangeTick();
  const int textsSetAtLastEcho = boxes.setTextCalls;
  Run();
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(compared, kSlotCount);
  std::vector<int> found;
  for (const DiffEntry& e : result->entries) found.push_back(e.slot);
  EXPECT_EQ(found, GetParam().mismatched);
  // The read-back never touches the boxes: they keep what was written.
  EXPECT_EQ(boxes.setTextCalls, textsSetAtLastEcho);
  EXPECT_EQ(boxes.texts[2], QStringLiteral("1600 "));
  EXPECT_EQ(verifier.CurrentPhase(), WriteVerifier::Phase::idle);
}

INSTANTIATE_TEST_SUITE_P(Faults, WriteCheck,
                         ::testing::Values(VerifyCase{-1, {}}, VerifyCase{258, {2}}, VerifyCase{1280, {89}},
                                           VerifyCase{2001, {305}}, VerifyCase{279 + 1000, {}}),
                         [](const ::testing::TestParamInfo<VerifyCase>& row) {
                           return row.param.corruptAt < 0 ? std::string("NoFault")
                                                           : "Byte" + std::to_string(row.param.corruptAt);
                         });

TEST(WriteCheckCompare, ValuesShownAsTheBoxesWould) {
  ParamCatalogue cat;
  cat.InitParamTables();
  std::vector<Bytes> written(kSlotCount);
  std::vector<Bytes> read(kSlotCount);
  written[2] = {80};
  read[2] = {81};
  written[305] = {0xFF, 0x85};
  read[305] = {0xFF, 0x85};
  written[89] = Bytes{0xC4, 0xE8, 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0};  // "Ди" in Windows-1251
  const DiffList list = WriteVerifier::Compare(cat, written, read);
  ASSERT_EQ(list.entries.size(), 2u);
  EXPECT_EQ(list.entries[0].slot, 2);
  EXPECT_EQ(list.entries[0].left, QStringLiteral("1600 "));
  EXPECT_EQ(list.entries[0].right, QStringLiteral("1620 "));
  EXPECT_EQ(list.entries[1].state, DiffState::notRead);
  EXPECT_EQ(list.entries[1].left, QStringLiteral(u"Диx"));
  EXPECT_EQ(WriteVerifier::SuccessText(1208), QStringLiteral(u"Запись проверена: все 1208 параметров совпадают"));
}

// --- the set as last read, and its backup ---

TEST_F(Bench, ImageHoldsTheControllersValuesNotTheTypedOnes) {
  EXPECT_FALSE(image.BackupDue());
  editor.ReadAllParams();
  Run();
  EXPECT_EQ(image.KnownCount(), kSlotCount);
  EXPECT_TRUE(image.BackupDue());
  boxes.texts[2] = QStringLiteral("9999");
  EXPECT_EQ(image.Text(2), QStringLiteral("300 "));  // 15 × 20 in the simulator's image
  image.MarkBackedUp();
  // An echo is the controller's too, but it answers our own write: no new backup.
  editor.QueueEepromWrite(258, 80, 1);
  Run();
  EXPECT_EQ(image.Text(2), QStringLiteral("1600 "));
  EXPECT_FALSE(image.BackupDue());
}

TEST_F(Bench, BackupIsAParameterFileOfTheReadSlotsOnly) {
  QTemporaryDir dir;
  editor.QueueEepromRead(256, 10);  // slots 0..9 only
  Run();
  testing::ScriptedPrompter prompter;
  ParamBackup backup(prompter, dir.filePath(QStringLiteral(u"ЗАРТ/Резервные копии")));
  const QDateTime when(QDate(2026, 12, 7), QTime(14, 3, 22));
  ASSERT_TRUE(backup.EnsureBackup(image, 7, when));
  EXPECT_TRUE(prompter.asked.empty());
  EXPECT_TRUE(backup.LastBackup().endsWith(QStringLiteral(u"/ЗАРТ/Резервные копии/2026-12-07 14-03-22 адрес 7.ini")));
  settings::IniFile ini;
  ASSERT_TRUE(ini.Load(backup.LastBackup()));
  EXPECT_EQ(ini.Read(QStringLiteral("Parameters"), QStringLiteral("PAR2"), QString()), QStringLiteral("300"));
  EXPECT_EQ(ini.Read(QStringLiteral("Parameters"), QStringLiteral("PAR10"), QStringLiteral("none")),
            QStringLiteral("none"));
  // Not due again until something is read; a second read in the same second gets its own file.
  ASSERT_TRUE(backup.EnsureBackup(image, 7, when));
  editor.QueueEepromRead(256, 10);
  Run();
  ASSERT_TRUE(backup.EnsureBackup(image, 7, when));
  EXPECT_TRUE(backup.LastBackup().endsWith(QStringLiteral(u"адрес 7 (2).ini")));

  // "Прочитать из файла" restores the copy into the boxes.
  testing::FakeParamBoxes restored;
  ParamFiles files(cat, restored, view, prompter);
  files.cmdReadFile_Click(QFileInfo(backup.LastBackup()).absolutePath(), QFileInfo(backup.LastBackup()).fileName());
  EXPECT_EQ(restored.texts[2], QStringLiteral("300"));
  EXPECT_EQ(restored.colors[10], COLOR_MISSING_IN_FILE);
}

struct RefusalCase {
  const char* name;
  std::vector<Answer> answers;
  bool written;
  int asked;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class BackupRefused : public Bench, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(BackupRefused, NoWriteWithoutItsBackup) {
  QTemporaryDir dir;
  // A file where the folder should be: the copy cannot be written until
  // the user clears it away and says Retry.
  const QString blocker = dir.filePath(QStringLiteral("copies"));
  QFile(blocker).open(QIODevice::WriteOnly);
  editor.QueueEepromRead(256, 10);
  Run();
  testing::ScriptedPrompter prompter;
  prompter.answers = GetParam().answers;
  prompter.onAsk = [&](const settings::Message& m, int call) {
    EXPECT_EQ(m.buttons, settings::Message::Buttons::retry_cancel);
    EXPECT_EQ(m.title, ParamBackup::FailureTitle());
    const Answer a = call < static_cast<int>(GetParam().answers.size()) ? GetParam().answers[static_cast<std::size_t>(call)]
                                                                         : Answer::cancel;
    if (a == Answer::retry && call == 1) QFile::remove(blocker);  // the second Retry finds the way clear
    return a;
  };
  ParamBackup backup(prompter, blocker);
  EXPECT_EQ(backup.EnsureBackup(image, 7, QDateTime::currentDateTime()), GetParam().written);
  EXPECT_EQ(static_cast<int>(prompter.asked.size()), GetParam().asked);
  EXPECT_EQ(image.BackupDue(), !GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Answers, BackupRefused,
                         ::testing::Values(RefusalCase{"Cancel", {Answer::cancel}, false, 1},
                                           RefusalCase{"RetryThenCancel", {Answer::retry, Answer::cancel}, false, 2},
                                           RefusalCase{"RetryOnceCleared", {Answer::retry, Answer::retry}, true, 2}),
                         [](const auto& row) { return std::string(row.param.name); });

// --- differences ---

TEST(Differences, WithTheFileByTheRulesOfCompare) {
  ParamCatalogue cat;
  cat.InitParamTables();
  testing::FakeParamBoxes boxes;
  settings::IniFile ini;
  struct Case {
    int slot;
    const char16_t* box;
    const char16_t* file;  // nullptr: key absent
    std::optional<DiffState> state;
  };
  const Case cases[] = {
      {41, u"12.5 ", u"12,5", std::nullopt},     {42, u"12.5 ", u"12.6", DiffState::differs},
      {89, u"Дизель", u"дизель", DiffState::differs}, {90, u"Дизель", u"Дизель", std::nullopt},
      {2, u"1500 ", nullptr, DiffState::missing}, {3, u"1500 ", u"default", DiffState::missing},
      {4, u"abc", u"0", std::nullopt},           {1207, u"3", u"4", DiffState::differs},
  };
  const auto put = [&ini](int k, const QString& v) { ini.Write(QStringLiteral("Parameters"), ParamFiles::ParamFileKey(k), v); };
  for (const Case& c : cases) {
    boxes.texts[static_cast<std::size_t>(c.slot)] = QString::fromUtf16(c.box);
    if (c.file != nullptr) put(c.slot, QString::fromUtf16(c.file));
  }
  for (int k = 0; k < kSlotCount; ++k)
    if (boxes.Text(k) == QStringLiteral("-")) put(k, QStringLiteral("-"));
  const DiffList list = ParamDiff::CompareWithFile(cat, boxes, ini, QStringLiteral("site.ini"));
  std::map<int, DiffState> found;
  for (const DiffEntry& e : list.entries) found[e.slot] = e.state;
  for (const Case& c : cases) {
    EXPECT_EQ(found.count(c.slot) ? std::optional(found[c.slot]) : std::nullopt, c.state) << c.slot;
  }
  EXPECT_EQ(found.size(), 5u);
  EXPECT_EQ(list.summary, QStringLiteral(u"Сравнение с файлом site.ini: отличий 3, нет в файле 2"));
}

TEST(DifferencesOfTwoFiles, MissingOnEitherSideAndPagesOnce) {
  ParamCatalogue cat;
  cat.InitParamTables();
  settings::IniFile a;
  settings::IniFile b;
  for (int k = 0; k < kSlotCount; ++k) {
    if (k != 5) a.Write(QStringLiteral("Parameters"), ParamFiles::ParamFileKey(k), QString::number(k));
    if (k != 900) b.Write(QStringLiteral("Parameters"), ParamFiles::ParamFileKey(k), QString::number(k));
  }
  b.Write(QStringLiteral("Parameters"), QStringLiteral("PAR100"), QStringLiteral("7"));
  b.Write(QStringLiteral("Parameters"), QStringLiteral("PAR101"), QStringLiteral("7"));  // same page as 100
  const DiffList list = ParamDiff::CompareFiles(cat, a, QStringLiteral("a.ini"), b, QStringLiteral("b.ini"));
  EXPECT_EQ(list.differs, 2);
  EXPECT_EQ(list.missing, 2);
  EXPECT_EQ(ParamDiff::Pages(cat, list, true), (std::vector<PageRef>{cat.PageOf(100)}));
  EXPECT_EQ(ParamDiff::Pages(cat, list, false).size(), 3u);
  EXPECT_EQ(TabCaption(cat.PageOf(100)), QStringLiteral(u"Экр2"));
}

// --- the report ---

TEST(Report, UnitFromTheLastBracketsUnlessARange) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"Стартовые обороты (об/мин)", u"об/мин"},
      {u"Т масла вкл | откл  ЭН  (°C): вкл", u"°C"},
      {u"Ток, соотв. холостому ходу (%)", u"%"},
      {u"Канал давл. масла редукт. (ан.) (1-72)", u""},
      {u"Объект (0 - ДГУ, 1 - ДРА)", u""},
      {u"Количество попыток пуска (автозапуск)", u""},
      {u"Период изменения тока (с)", u"с"},
      {u"Реле 17", u""},
  };
  for (const auto& [caption, unit] : cases)
    EXPECT_EQ(ServiceReport::UnitOf(QString::fromUtf16(caption)), QString::fromUtf16(unit)) << QString::fromUtf16(caption).toStdString();
}

TEST(Report, EveryParameterOnceByPageWithStateAndEscapedHtml) {
  ParamCatalogue cat;
  cat.InitParamTables();
  testing::FakeParamBoxes boxes;
  boxes.texts[2] = QStringLiteral("1500 ");
  boxes.colors[2] = COLOR_FROM_EEPROM;
  boxes.texts[89] = QStringLiteral("<Дизель&>");
  boxes.colors[89] = COLOR_CHANGED;
  ReportIdentity id{QStringLiteral(u"ДГУ"), QStringLiteral("2"), QStringLiteral("15"), 7, QStringLiteral("2057"),
                    QDateTime(QDate(2026, 12, 7), QTime(14, 3, 22))};
  DiffList diff;
  diff.title = QStringLiteral(u"Отличия от файла site.ini");
  diff.entries.push_back({2, QStringLiteral("1500 "), QStringLiteral("1600"), DiffState::differs});
  const ServiceReport report = ServiceReport::Build(cat, boxes, id, &diff);
  EXPECT_EQ(report.rowCount, kSlotCount);
  std::vector<bool> seen(kSlotCount, false);
  for (const ReportPage& page : report.pages)
    for (const ReportRow& row : page.rows) {
      EXPECT_FALSE(seen[static_cast<std::size_t>(row.slot)]);
      seen[static_cast<std::size_t>(row.slot)] = true;
      EXPECT_EQ(cat.PageOf(row.slot), page.page);
    }
  const ReportRow& start = report.pages.front().rows[2];
  EXPECT_EQ(start.value, QStringLiteral("1500"));
  EXPECT_EQ(start.unit, QStringLiteral(u"об/мин"));
  EXPECT_EQ(start.state, QStringLiteral(u"Значение из ЭСППЗУ"));
  EXPECT_EQ(report.differencePages, (std::vector<QString>{QStringLiteral(u"Двигатель")}));
  const QString html = report.ToHtml();
  EXPECT_TRUE(html.contains(QStringLiteral(u"&lt;Дизель&amp;&gt;")));
  EXPECT_TRUE(html.contains(QStringLiteral(u"07.12.2026 14:03:22")));
  EXPECT_TRUE(html.contains(QStringLiteral(u"Отличия от файла site.ini")));
  EXPECT_FALSE(html.contains(QStringLiteral(u"<Дизель")));
}

}  // namespace
}  // namespace zart::params

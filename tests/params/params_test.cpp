// The parameter logic, headless: the editor's transfers over the exchange,
// backups, differences, the write check, the service report, parameter files,
// the parameter map and the traffic monitor's frame words.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "controller.h"
#include "fault_injector.h"
#include "link/exchange_cycle.h"
#include "link/rx_store.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/controller_image.h"
#include "params/conversions.h"
#include "params/fake_param_boxes.h"
#include "params/frame_description.h"
#include "params/function_pages.h"
#include "params/param_backup.h"
#include "params/param_diff.h"
#include "params/param_editor.h"
#include "params/param_files.h"
#include "params/service_report.h"
#include "params/slot_names.h"
#include "params/write_verifier.h"
#include "settings/ini_file.h"
#include "settings/windows1251.h"
#include "support/fake_link_view.h"
#include "support/frames.h"
#include "support/scripted_prompter.h"
#include "support/sim_port.h"

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

TEST_F(Bench, WriteCheckComparesValuesShownAsTheBoxesWould) {
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

TEST_F(Bench, DifferencesWithTheFileByTheRulesOfCompare) {
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

TEST_F(Bench, DifferencesOfTwoFilesMissingOnEitherSideAndPagesOnce) {
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

TEST_F(Bench, ReportHasEveryParameterOnceByPageWithStateAndEscapedHtml) {
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

// ---- Parameter files: save, load, compare ---------------------------------

using settings::Message;

class ParamFilesTest : public Bench {
 protected:
  ParamFilesTest() { QDir(dir.path()).mkpath(QStringLiteral("in/sub")); }

  QString Folder() const { return dir.filePath(QStringLiteral("in")); }
  QString PathOf(const QString& name) const { return Folder() + QLatin1Char('/') + name; }
  void WriteRaw(const QString& name, const QByteArray& bytes) {
    QFile f(PathOf(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray ReadRaw(const QString& name) const {
    QFile f(PathOf(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  /// Boxes with a recognisable value each: numbers as a reply shows them,
  /// Cyrillic names, each with one of the bytes 0x80..0xBF (0x98,
  /// unassigned, among them).
  void FillBoxes() {
    int n = 0;
    for (int k = 0; k < kSlotCount; ++k)
      boxes.texts[static_cast<std::size_t>(k)] =
          cat.IsText(k) ? QStringLiteral(u"Дат№%1%2ё").arg(k).arg(settings::DecodeWindows1251(static_cast<unsigned char>(0x80 + n++ % 64)))
                        : QStringLiteral("%1,5 ").arg(k);
    boxes.colors.assign(kSlotCount, COLOR_FROM_EEPROM);
    ASSERT_GT(n, 0x18);
  }

  QTemporaryDir dir;
  testing::ScriptedPrompter prompter;
  ParamFiles files{cat, boxes, view, prompter};
};

TEST_F(ParamFilesTest, SaveLoadCompareRoundTripOfAllBoxes) {
  FillBoxes();
  // Texts as a reply or a user may leave them: the file takes line breaks as
  // blanks, a read takes the blanks around off, and a compare right after the
  // save still matches.
  boxes.texts[89] = QStringLiteral(u"  Дизель ");
  boxes.texts[90] = QStringLiteral(u"a\r\nb");
  boxes.texts[91] = QStringLiteral(u"\tМасло\n");
  boxes.texts[92] = QStringLiteral(u" ü");  // no Windows-1251 letter: "?"
  const std::vector<QString> saved = boxes.texts;
  ASSERT_TRUE(files.cmdSaveFile_Click(Folder(), QStringLiteral("all.ini")));
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);
  EXPECT_EQ(view.statusHistory.first(), QStringLiteral(u"Сохранение файла all.ini"));
  // One section, every key in slot order, Windows-1251, one byte a character.
  const QByteArray bytes = ReadRaw(QStringLiteral("all.ini"));
  EXPECT_TRUE(bytes.startsWith("[Parameters]\r\nPAR0=0,5 \r\nPAR1=1,5 \r\n")) << bytes.left(40).toStdString();
  EXPECT_TRUE(bytes.endsWith("PAR1207=1207,5 \r\n"));
  EXPECT_TRUE(bytes.contains(
      settings::EncodeWindows1251(QStringLiteral(u"PAR89=  Дизель \r\nPAR90=a  b\r\nPAR91=\tМасло \r\nPAR92= ?\r\n"))));

  boxes.texts.assign(kSlotCount, QStringLiteral("x"));
  files.cmdReadFile_Click(Folder(), QStringLiteral("all.ini"));
  EXPECT_TRUE(prompter.asked.empty());
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);
  for (int k = 0; k < kSlotCount; ++k)  // blanks around a value do not survive a file
    ASSERT_EQ(boxes.Text(k), k == 90 ? QStringLiteral("a  b") : k == 92 ? QStringLiteral("?") : saved[static_cast<std::size_t>(k)].trimmed()) << k;
  EXPECT_EQ(view.statusHistory.mid(2),
            (QStringList{QStringLiteral(u"Чтение файла ") + Folder() + QStringLiteral("/all.ini"), QString()}));

  QLocale::setDefault(QLocale(QLocale::Russian));
  boxes.texts = saved;
  files.cmdCompare_Click(Folder(), QStringLiteral("all.ini"));
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(boxes.CountColor(COLOR_MATCHES_FILE), kSlotCount);
  EXPECT_EQ(boxes.texts, saved);
  EXPECT_EQ(view.statusHistory.mid(4), (QStringList{QStringLiteral(u"Чтение файла all.ini"), QString()}));
  // A real difference still shows, letter case included.
  boxes.texts[89] = QStringLiteral(u"дизель");
  boxes.texts[90] = QStringLiteral(u"a b");
  files.cmdCompare_Click(Folder(), QStringLiteral("all.ini"));
  EXPECT_EQ(boxes.Color(89), COLOR_DIFFERS_FROM_FILE);
  EXPECT_EQ(boxes.Color(90), COLOR_DIFFERS_FROM_FILE);
  EXPECT_EQ(boxes.CountColor(COLOR_MATCHES_FILE), kSlotCount - 2);
}

TEST_F(ParamFilesTest, SavingOverAnExistingFileAsksAndKeepsItsOtherContent) {
  const QByteArray original = "[Other]\r\na=1\r\n[Parameters]\r\nX=keep\r\nPAR5=old\r\n";
  WriteRaw(QStringLiteral("set.ini"), original);

  prompter.answers = {Answer::cancel};
  boxes.colors.assign(kSlotCount, COLOR_FROM_EEPROM);
  EXPECT_FALSE(files.cmdSaveFile_Click(Folder(), QStringLiteral("set.ini")));
  ASSERT_EQ(prompter.asked.size(), 1u);
  const Message& q = prompter.asked[0];
  EXPECT_EQ(q.text, QStringLiteral(u"Файл set.ini уже существует!\r\nЗаменить его?"));
  EXPECT_EQ(q.buttons, Message::Buttons::ok_cancel);
  EXPECT_EQ(ReadRaw(QStringLiteral("set.ini")), original);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(view.status, QString());

  prompter.asked.clear();
  prompter.answers = {Answer::ok};
  boxes.texts[5] = QStringLiteral("new");
  EXPECT_TRUE(files.cmdSaveFile_Click(Folder(), QStringLiteral("set.ini")));
  const QByteArray after = ReadRaw(QStringLiteral("set.ini"));
  EXPECT_TRUE(after.startsWith("[Other]\r\na=1\r\n[Parameters]\r\nX=keep\r\nPAR5=new\r\n")) << after.left(80).toStdString();
  EXPECT_TRUE(after.contains("PAR1207=-"));
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);
}

TEST_F(ParamFilesTest, ARefusedSaveOffersRetryAndLeavesTheColours) {
  // A folder that does not exist refuses the write, like a read-only one.
  const QString folder = PathOf(QStringLiteral("gone"));
  boxes.colors.assign(kSlotCount, COLOR_FROM_EEPROM);
  prompter.answers = {Answer::retry, Answer::cancel};
  EXPECT_FALSE(files.cmdSaveFile_Click(folder, QStringLiteral("set.ini")));
  ASSERT_EQ(prompter.asked.size(), 2u);
  EXPECT_EQ(prompter.asked[1].text, QStringLiteral(u"Невозможно открыть файл set.ini для записи"));
  EXPECT_EQ(prompter.asked[1].buttons, Message::Buttons::retry_cancel);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(view.status, QString());

  // Retry after the cause is gone saves the file.
  prompter.asked.clear();
  prompter.onAsk = [&](const Message&, int) {
    QDir().mkpath(folder);
    return Answer::retry;
  };
  EXPECT_TRUE(files.cmdSaveFile_Click(folder, QStringLiteral("set.ini")));
  EXPECT_EQ(prompter.asked.size(), 1u);
  EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/set.ini")));
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);

  // An empty name only complains, and leaves the status line as the
  // controller's tool always did.
  prompter.asked.clear();
  prompter.onAsk = nullptr;
  EXPECT_FALSE(files.cmdSaveFile_Click(Folder(), QString()));
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text, QStringLiteral(u"Невозможно открыть файл  для записи"));
  EXPECT_EQ(prompter.asked[0].buttons, Message::Buttons::ok);
  EXPECT_EQ(view.status, QStringLiteral(u"Сохранение файла "));
}

TEST_F(ParamFilesTest, LoadingMarksMissingKeysAndTakesTheRest) {
  WriteRaw(QStringLiteral("part.ini"),
           "[parameters]\r\npar0=10\r\nPAR1=  Abc  \r\nPAR2=empty_default\r\nPAR3=\r\nPAR4=" + QByteArray(300, 'z') +
               "\r\n[Other]\r\nPAR5=5\r\n");
  boxes.texts[5] = QStringLiteral("keep");
  files.cmdReadFile_Click(Folder(), QStringLiteral("part.ini"));
  EXPECT_EQ(boxes.Text(0), QStringLiteral("10"));  // names in any letter case
  EXPECT_EQ(boxes.Text(1), QStringLiteral("Abc"));
  EXPECT_EQ(boxes.Text(3), QString());
  EXPECT_EQ(boxes.Text(4), QString(254, QLatin1Char('z')));
  for (int k : {0, 1, 3, 4}) EXPECT_EQ(boxes.Color(k), COLOR_FROM_FILE) << k;
  EXPECT_EQ(boxes.Color(2), COLOR_MISSING_IN_FILE);  // the marker itself reads as missing
  EXPECT_EQ(boxes.Text(2), QStringLiteral("-"));
  EXPECT_EQ(boxes.Color(5), COLOR_MISSING_IN_FILE);  // other sections do not count
  EXPECT_EQ(boxes.Text(5), QStringLiteral("keep"));
  EXPECT_EQ(boxes.CountColor(COLOR_MISSING_IN_FILE), kSlotCount - 4);
}

TEST_F(ParamFilesTest, CompareColoursByNumberOrExactText) {
  struct Case {
    int slot;
    const char16_t* box;
    const char* file;  // nullptr: key absent
    std::uint32_t expected;
  };
  const Case cases[] = {
      {41, u"12.5 ", "12,5", COLOR_MATCHES_FILE},      {42, u"12,5", "12.50", COLOR_MATCHES_FILE},
      {43, u"12.5", "12.6", COLOR_DIFFERS_FROM_FILE},  {44, u"abc", "0", COLOR_MATCHES_FILE},
      {45, u"50%", "50", COLOR_MATCHES_FILE},          {46, u"7", nullptr, COLOR_MISSING_IN_FILE},
      {47, u"7", "default", COLOR_MISSING_IN_FILE},    {48, u"0", "empty_default", COLOR_MATCHES_FILE},
      {89, u"Насос", "\xCD\xE0\xF1\xEE\xF1", COLOR_MATCHES_FILE},
      {90, u"Насос", "\xED\xE0\xF1\xEE\xF1", COLOR_DIFFERS_FROM_FILE},  // letter case counts in texts
      {91, u"12.5", "12,5", COLOR_DIFFERS_FROM_FILE},                   // texts are not numbers
      {92, u"x", "default", COLOR_MISSING_IN_FILE},
  };
  QByteArray file = "[Parameters]\r\n";
  for (const Case& c : cases) {
    boxes.texts[static_cast<std::size_t>(c.slot)] = QString::fromUtf16(c.box);
    if (c.file) file += "PAR" + QByteArray::number(c.slot) + "=" + QByteArray(c.file) + "\r\n";
  }
  WriteRaw(QStringLiteral("cmp.ini"), file);
  const std::vector<QString> before = boxes.texts;
  files.cmdCompare_Click(Folder(), QStringLiteral("cmp.ini"));
  for (const Case& c : cases) EXPECT_EQ(boxes.Color(c.slot), c.expected) << c.slot;
  EXPECT_EQ(boxes.texts, before);
}

TEST_F(ParamFilesTest, AnUnreadableFileOffersRetryAndCancelKeepsTheStatus) {
  // Larger than any parameter file can be: the INI layer refuses to read it.
  {
    QFile big(PathOf(QStringLiteral("big.ini")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(settings::IniFile::kMaxFileBytes + 1));
  }
  files.cmdReadFile_Click(Folder(), QStringLiteral("big.ini"));
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text, QStringLiteral(u"Невозможно открыть файл big.ini для чтения\r\n"));
  EXPECT_TRUE(prompter.asked[0].detail.contains(QStringLiteral(u"велик"))) << prompter.asked[0].detail.toStdString();
  EXPECT_EQ(prompter.asked[0].buttons, Message::Buttons::retry_cancel);
  EXPECT_EQ(view.status, QStringLiteral(u"Чтение файла ") + PathOf(QStringLiteral("big.ini")));
  EXPECT_EQ(boxes.setTextCalls, 0);

  files.cmdCompare_Click(Folder(), QStringLiteral("big.ini"));
  EXPECT_EQ(view.status, QStringLiteral(u"Чтение файла big.ini"));
  EXPECT_EQ(boxes.CountColor(testing::FakeParamBoxes::kDefaultBackground), kSlotCount);

  // Retry reads the file again once it has been mended.
  prompter.onAsk = [&](const Message&, int) {
    QFile f(PathOf(QStringLiteral("big.ini")));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write("[Parameters]\r\nPAR7=42\r\n");
    return Answer::retry;
  };
  files.cmdReadFile_Click(Folder(), QStringLiteral("big.ini"));
  EXPECT_EQ(boxes.Text(7), QStringLiteral("42"));
  EXPECT_EQ(boxes.Color(7), COLOR_FROM_FILE);
  EXPECT_EQ(view.status, QString());
}

// A name is taken only as the folder lists it: no name, another letter
// case, a folder, a path leaving the folder, a trailing dot or blank open
// nothing, for reading or (the names after the first four) for writing.
TEST_F(ParamFilesTest, NamesTheFolderDoesNotListOnlyComplain) {
  const QByteArray file = "[Parameters]\r\nPAR0=1\r\n";
  for (const char* name : {"Set.ini", "sub/x.ini", "x.ini", "../c.ini"}) WriteRaw(QString::fromLatin1(name), file);
  QDir(Folder()).mkdir(QStringLiteral("folder.ini"));
  int n = 0;
  for (const char* latin : {"", "none.ini", "set.ini", "folder.ini", "sub/x.ini", "../c.ini", "..\\c.ini", "C:x.ini",
                            "C:\\x.ini", "..", ".", "x.ini.", "x.ini "}) {
    const QString name = QString::fromLatin1(latin);
    SCOPED_TRACE(latin);
    for (int op = 0; op < 3; ++op) {
      if (op == 2 && n < 4) break;
      prompter.asked.clear();
      view.statusHistory.clear();
      if (op == 0) files.cmdReadFile_Click(Folder(), name);
      if (op == 1) files.cmdCompare_Click(Folder(), name);
      if (op == 2) {
        EXPECT_FALSE(files.cmdSaveFile_Click(Folder(), name));
      }
      ASSERT_EQ(prompter.asked.size(), 1u);
      EXPECT_EQ(prompter.asked[0].text, QStringLiteral(u"Невозможно открыть файл ") + name +
                                            (op < 2 ? QStringLiteral(u" для чтения") : QStringLiteral(u" для записи")));
      EXPECT_EQ(prompter.asked[0].buttons, Message::Buttons::ok);
      if (op < 2) {
        EXPECT_EQ(view.statusHistory, QStringList{QString()});
      }
      EXPECT_EQ(boxes.setTextCalls, 0);
      EXPECT_EQ(boxes.CountColor(testing::FakeParamBoxes::kDefaultBackground), kSlotCount);
    }
    ++n;
  }
  for (const char* name : {"Set.ini", "sub/x.ini", "x.ini", "../c.ini"}) EXPECT_EQ(ReadRaw(QString::fromLatin1(name)), file) << name;
}

// ---- The editor over the exchange: transfers, single writes, hostile replies,
// progress ------------------------------------------------------------------

using testing::WithCrc;

class ParamEditorTest : public Bench {
 protected:
  ParamEditorTest() {
    editor.SetBoxesProvider([this] { return boxesPtr; });
    editor.SetProgressHandler([this](const TransferProgress& p) { progressSeen.push_back(p); });
  }
  ~ParamEditorTest() override { QLocale::setDefault(QLocale::c()); }

  /// Queue slot i as queued: placeholder, function code, data.
  Bytes Queued(int i) const {
    const link::RequestSlot& s = cycle.Queue().Slot(i);
    return Bytes(s.slot_bytes.begin(), s.slot_bytes.begin() + s.last_index + 1);
  }
  /// Ticks with the controller answering every frame.
  void Run(int ticks) {
    for (int t = 0; t <= ticks; ++t) cycle.ExchangeTick();
  }
  void RunUntilDone() { Run(cycle.Queue().PendingCount() + 2); }
  /// Lets the link judge one reply of our own making.
  void Deliver(const Bytes& reply) {
    port.silent = true;
    cycle.ExchangeTick();
    port.Receive(reply);
    cycle.ExchangeTick();
  }
  void Type(int slot, const QString& text) { boxes.texts[static_cast<std::size_t>(slot)] = text; }

  ParamBoxes* boxesPtr = &boxes;
  std::vector<TransferProgress> progressSeen;
};

TEST_F(ParamEditorTest, ReadAllQueues131BlockReadsCoveringTheCatalogue) {
  ASSERT_TRUE(editor.ReadAllParams());
  ASSERT_EQ(cycle.Queue().PendingCount(), 131);
  EXPECT_EQ(Queued(0), (Bytes{0, 100, 0x01, 0x00, 10}));
  EXPECT_EQ(Queued(1), (Bytes{0, 100, 0x01, 0x0A, 2}));  // slot 10 alone: slot 11 lies at 283
  int bytes = 0;
  int largest = 0;
  for (int i = 0; i < 131; ++i) {
    const Bytes q = Queued(i);
    ASSERT_EQ(q.size(), 5u) << i;
    bytes += q[4];
    largest = std::max<int>(largest, q[4]);
  }
  EXPECT_EQ(bytes, 2996);
  EXPECT_EQ(largest, 120);
}

TEST_F(ParamEditorTest, WriteAllSendsTheAddressAndControlSlotsLastAndFollowsTheAddress) {
  Type(23, QStringLiteral("200"));
  Type(26, QStringLiteral("1"));
  Type(22, QStringLiteral("50"));
  ASSERT_TRUE(editor.WriteAllParams());
  ASSERT_EQ(cycle.Queue().PendingCount(), 133);
  int bytes = 0;
  for (int i = 0; i < 131; ++i) {
    const Bytes q = Queued(i);
    ASSERT_EQ(q.size(), 5u + q[4]) << i;
    bytes += q[4];
    const int address = q[2] * 256 + q[3];
    EXPECT_FALSE(address <= 279 && 279 < address + q[4]) << "slot 23 inside block " << i;
    EXPECT_FALSE(address <= 287 && 287 < address + q[4]) << "slot 26 inside block " << i;
    if (address == 278) {
      EXPECT_EQ(q, (Bytes{0, 101, 0x01, 0x16, 1, 5})) << "slot 22 alone";
    }
  }
  EXPECT_EQ(bytes, 2994);
  EXPECT_EQ(Queued(131), (Bytes{0, 101, 0x01, 0x17, 1, 127}));
  EXPECT_EQ(Queued(132), (Bytes{0, 101, 0x01, 0x1F, 1, 1}));
  EXPECT_EQ(cycle.pending_address_switch.trigger_slot, 131);

  // Every frame after the address write goes to the new address, and the
  // controller answers there.
  RunUntilDone();
  bool afterSwitch = false;
  for (const Bytes& f : port.written) {
    EXPECT_EQ(f[0], afterSwitch ? 127 : 7);
    if (f[1] == 101 && f[2] == 0x01 && f[3] == 0x17) afterSwitch = true;
  }
  EXPECT_EQ(port.controller.Address(), 127);
  EXPECT_EQ(view.slaveAddress, 127);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(port.Eeprom(258), 0) << "an untouched number box writes 0";
  EXPECT_EQ(port.Eeprom(1280), '-') << "an untouched name box writes its dash";
}

TEST_F(ParamEditorTest, ReadAllThenWriteAllLeavesTheEepromUnchanged) {
  QLocale::setDefault(QLocale(QLocale::Russian));
  // An image the tool can show exactly: the first names full of the bytes
  // 1..255 in turn (0x98, unassigned in Windows-1251, among them), the
  // rest Cyrillic and Latin letters padded with zeros, numbers anywhere in
  // their range, slot 23 a valid slave address.
  sim::EepromImage& eeprom = port.controller.Eeprom();
  for (int a = 256; a < 4096; ++a) eeprom.Set(a, static_cast<std::uint8_t>(a * 37 + 11));
  int next = 1;
  for (int k = 0; k < kSlotCount; ++k) {
    if (!cat.IsText(k)) continue;
    const int a = cat.par_addr[static_cast<std::size_t>(k)];
    const int n = cat.par_size[static_cast<std::size_t>(k)];
    const bool allBytes = next <= 255;
    for (int i = 0; i < n; ++i) {
      const int letter = i < n - 2 ? 0xC0 + (k + i) % 64 : 0;
      eeprom.Set(a + i, static_cast<std::uint8_t>(allBytes ? (next <= 255 ? next++ : 0) : letter));
    }
    if (!allBytes) eeprom.Set(a, static_cast<std::uint8_t>('A' + k % 26));
  }
  ASSERT_GT(next, 255);
  eeprom.Set(279, 9);
  const sim::EepromImage before = eeprom;

  editor.cmd_readall_Click();
  RunUntilDone();
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(boxes.Text(37), FormatParamValue(static_cast<std::int8_t>(before.At(512)), 1, QLocale(QLocale::Russian)));

  editor.cmd_writeall_Click();
  EXPECT_EQ(boxes.CountColor(COLOR_CHANGED), kSlotCount);
  RunUntilDone();
  for (int a = 0; a < 4096; ++a) ASSERT_EQ(eeprom.At(a), before.At(a)) << "EEPROM byte " << a;
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_EEPROM), kSlotCount);
  EXPECT_EQ(view.slaveAddress, 9);
}

TEST_F(ParamEditorTest, HostileRepliesFillOnlyTheSlotsTheirBytesReach) {
  struct Case {
    const char* what;
    Bytes reply;  // without CRC
    int firstSlot;
    int slotsShown;
  };
  const auto padded = [](Bytes head, std::size_t size, std::uint8_t fill) {
    head.resize(size, fill);
    return head;
  };
  const Case cases[] = {
      {"64 bytes of names: four long, four short", padded({7, 100, 0x05, 0x00, 64}, 69, 'N'), 89, 8},
      {"ten 12-byte names in one 120-byte reply", padded({7, 100, 0x0C, 0x36, 120}, 125, 'D'), 952, 10},
      {"a write echo shows like a read", {7, 101, 0x01, 0x02, 1, 75}, 2, 1},
      {"a count of 0 shows nothing", {7, 100, 0x01, 0x00, 0}, 0, 0},
      {"an address inside a slot is no slot", {7, 100, 0x01, 0x0B, 1, 5}, 0, 0},
      {"an address of no slot at all", {7, 100, 0x01, 0x1C, 4, 1, 2, 3, 4}, 0, 0},
      {"past slot 1207: the last eight slots only", padded({7, 100, 0x0F, 0xEE, 20}, 25, 3), 1200, 8},
      {"a count beyond the received bytes", {7, 100, 0x01, 0x00, 10, 1, 2, 3, 4}, 0, 4},
      {"a count that ends inside a two-byte slot", {7, 100, 0x07, 0xD0, 3, 0xFF, 0x85, 0x01}, 305, 1},
  };
  for (const Case& c : cases) {
    testing::FakeParamBoxes fresh;
    boxesPtr = &fresh;
    // A long earlier reply leaves its bytes in the receive store; they must
    // never be taken for the short reply's missing data.
    Deliver(WithCrc(padded({7, 4, 250}, 253, 0x55)));
    Deliver(WithCrc(c.reply));
    for (int k = 0; k < kSlotCount; ++k) {
      const bool shown = k >= c.firstSlot && k < c.firstSlot + c.slotsShown;
      ASSERT_EQ(fresh.Color(k), shown ? COLOR_FROM_EEPROM : testing::FakeParamBoxes::kDefaultBackground)
          << c.what << ": slot " << k;
    }
  }
  boxesPtr = nullptr;  // replies and keys with no window are dropped
  Deliver(WithCrc({7, 100, 0x01, 0x00, 2, 1, 2}));
  editor.txt_par_KeyPress(2, ParamEditor::kKeyEnter);
  editor.txt_par_Change(2);
  EXPECT_FALSE(editor.WriteAllParams());
  EXPECT_EQ(boxes.setTextCalls, 0);
}

TEST_F(ParamEditorTest, RepliesDecodeByKind) {
  QLocale::setDefault(QLocale(QLocale::English));
  Deliver(WithCrc({7, 100, 0x02, 0x00, 2, 0xFB, 0x7F}));             // slots 37, 38: signed bytes
  Deliver(WithCrc({7, 100, 0x01, 0x0A, 2, 0x01, 0x2C}));             // slot 10: unsigned 16 bits
  Deliver(WithCrc({7, 100, 0x07, 0xD0, 4, 0xFF, 0x85, 0x80, 0x00}));  // slots 305, 306: signed ×0.1
  Deliver(WithCrc({7, 100, 0x05, 0x30, 4, 0xD2, 0xF0, 0x00, 0x31}));  // slot 93: a 4-byte name
  const std::pair<int, const char16_t*> shown[] = {
      {37, u"-5 "}, {38, u"127 "}, {10, u"300 "}, {305, u"-12.3 "}, {306, u"-3276.8 "}, {93, u"Тр"}};
  for (const auto& [slot, text] : shown) EXPECT_EQ(boxes.Text(slot), QString::fromUtf16(text)) << slot;
}

TEST_F(ParamEditorTest, EnterEncodesEachKindOfSlotOnlyEnterSendsAndTheAddressSwitchesAfterItsWrite) {
  struct Case {
    int slot;
    const char16_t* text;
    Bytes queued;
  };
  const Case cases[] = {
      {2, u"1500", {0, 101, 0x01, 0x02, 1, 0x4B}},            // ×20
      {305, u"-12,3", {0, 101, 0x07, 0xD0, 2, 0xFF, 0x85}},    // signed 16 bits, ×0.1
      {37, u"-300", {0, 101, 0x02, 0x00, 1, 0x80}},            // clamped to -128
      {10, u"70000", {0, 101, 0x01, 0x0A, 2, 0xFF, 0xFF}},     // clamped to 65535
      {41, u"30", {0, 101, 0x02, 0x04, 1, 0xFF}},              // 300 clamped to 255
      {89, u"Абв12", {0, 101, 0x05, 0x00, 12, 0xC0, 0xE1, 0xE2, '1', '2', 0, 0, 0, 0, 0, 0, 0}},
      {93, u"Длинное имя", {0, 101, 0x05, 0x30, 4, 0xC4, 0xEB, 0xE8, 0xED}},  // cut to the slot
      {952, u"a✓b", {0, 101, 0x0C, 0x36, 12, 'a', '?', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {23, u"200", {0, 101, 0x01, 0x17, 1, 127}},  // the slave address, limited; the link follows it
  };
  for (int key : {0, 8, 27, 48, 1013}) editor.txt_par_KeyPress(2, key);
  editor.txt_par_KeyPress(-1, ParamEditor::kKeyEnter);
  editor.txt_par_KeyPress(kSlotCount, ParamEditor::kKeyEnter);
  EXPECT_TRUE(cycle.Queue().QueueIsEmpty());
  boxes.colors[2] = COLOR_FROM_EEPROM;
  editor.txt_par_Change(2);
  EXPECT_EQ(boxes.Color(2), COLOR_CHANGED);

  for (const Case& c : cases) {
    const int at = cycle.Queue().WriteIndex();
    Type(c.slot, QString::fromUtf16(c.text));
    editor.txt_par_KeyPress(c.slot, ParamEditor::kKeyEnter);
    EXPECT_EQ(Queued(at), c.queued) << c.slot << " " << QString::fromUtf16(c.text).toStdString();
  }
  EXPECT_EQ(boxes.Text(23), QStringLiteral("127"));
  RunUntilDone();
  EXPECT_EQ(port.controller.Address(), 127) << "the address write itself goes to the old address";
  EXPECT_EQ(view.slaveAddress, 127);
  EXPECT_EQ(boxes.Text(2), QStringLiteral("1500 "));  // the echo shows what was stored
  EXPECT_EQ(boxes.Color(2), COLOR_FROM_EEPROM);
  EXPECT_EQ(port.Eeprom(258), 75);

  EXPECT_TRUE(editor.QueueEepromRead(0x0C36, 200));  // builders hold their limits
  EXPECT_TRUE(editor.QueueEepromWrite(0x0123, 0x12345678, 6));
  EXPECT_EQ(Queued(cycle.Queue().WriteIndex() - 2), (Bytes{0, 100, 0x0C, 0x36, 120}));
  EXPECT_EQ(Queued(cycle.Queue().WriteIndex() - 1), (Bytes{0, 101, 0x01, 0x23, 4, 0x12, 0x34, 0x56, 0x78}));
}

TEST_F(ParamEditorTest, ATransferThatDoesNotFitIsRefusedWhole) {
  editor.SetProgressHandler(nullptr);
  port.ForceOpen(false);  // nothing drains
  for (int i = 0; i < 380; ++i) ASSERT_TRUE(cycle.EnqueueRequest(6, {0x01, 0x92, 0x00, 0x01}));
  boxes.colors.assign(kSlotCount, COLOR_FROM_FILE);
  editor.cmd_writeall_Click();  // needs 133 of the 131 free slots
  EXPECT_EQ(cycle.Queue().PendingCount(), 380);
  EXPECT_EQ(view.status, ParamEditor::TransferRefusedMessage());
  EXPECT_FALSE(cycle.pending_address_switch.armed);
  EXPECT_EQ(boxes.CountColor(COLOR_FROM_FILE), kSlotCount);

  view.status.clear();
  EXPECT_TRUE(editor.ReadAllParams());  // fits exactly
  EXPECT_TRUE(view.status.isEmpty());
  editor.cmd_readall_Click();
  EXPECT_EQ(cycle.Queue().PendingCount(), 511);
  EXPECT_EQ(view.status, ParamEditor::TransferRefusedMessage());
  EXPECT_EQ(editor.Progress().total, 131);
}

TEST_F(ParamEditorTest, ProgressCountsAnsweredTransferRequestsAndAddsUpRepeatedClicks) {
  editor.cmd_readall_Click();
  EXPECT_TRUE(editor.Progress().active());
  Run(57);
  EXPECT_EQ(editor.Progress().answered, 57);
  editor.cmd_readall_Click();  // a second set queues behind the first
  Type(2, QStringLiteral("20"));
  editor.txt_par_KeyPress(2, ParamEditor::kKeyEnter);  // a single edit is not part of it
  EXPECT_EQ(editor.Progress().total, 262);
  RunUntilDone();
  EXPECT_FALSE(editor.Progress().active());
  ASSERT_GE(progressSeen.size(), 2u);
  EXPECT_EQ(progressSeen[progressSeen.size() - 2].answered, 261);
  EXPECT_EQ(progressSeen.back().total, 0);
}

// ---- Numbers and texts as the boxes show them -----------------------------

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
const double kInf = std::numeric_limits<double>::infinity();

/// Runs each case under a point and a comma locale: typed numbers must not
/// depend on the user's locale.
class UnderLocale : public ::testing::TestWithParam<QLocale::Language> {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale(GetParam())); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

INSTANTIATE_TEST_SUITE_P(PointAndComma, UnderLocale, ::testing::Values(QLocale::English, QLocale::Russian),
                         [](const auto& p) { return QLocale::languageToCode(p.param).toStdString(); });

TEST_P(UnderLocale, ParseNumberReadsTheLeadingNumber) {
  struct Case {
    const char16_t* text;
    double expected;
  };
  const Case cases[] = {
      {u"12,5", 12.5},      {u"12.5", 12.5},     {u"1500 ", 1500},    {u"50%", 50},         {u"50 % 7", 50},
      {u"%50", 0},          {u"abc", 0},         {u"-", 0},           {u"", 0},             {u"  \t-3.5e2x", -350},
      {u"+7", 7},           {u"1,5,6", 1.5},     {u"1.2.3", 1.2},     {u"1,2.3", 1.2},      {u".5", 0.5},
      {u"5.", 5},           {u"1e", 1},          {u"1e+", 1},         {u"2E-1", 0.2},       {u"1e-999", 0},
      {u"12 34", 12},       {u"007", 7},         {u"−5", 0},  // a typographic minus is not a sign
      // Not numbers here, unlike strtod: a box holding them writes 0.
      {u"inf", 0},          {u"-infinity", 0},   {u"nan", 0},         {u"NAN(0x1)", 0},     {u"0x1A", 0},
      {u"١٢", 0},  // Arabic-Indic digits are not read
  };
  for (const Case& c : cases) EXPECT_EQ(ParseNumber(QString::fromUtf16(c.text)), c.expected) << QString::fromUtf16(c.text).toStdString();
  EXPECT_EQ(ParseNumber(QStringLiteral("1e999")), kInf);
  EXPECT_EQ(ParseNumber(QStringLiteral("-1e99999999999999999999")), -kInf);
  EXPECT_EQ(ParseNumber(QString(100000, QLatin1Char('9'))), kInf);
}

TEST(RoundHalfAway, HalvesAwayFromZeroAndSaturates) {
  struct Case {
    double x;
    std::int32_t expected;
  };
  const Case cases[] = {
      {2.5, 3},   {-2.5, -3},          {0.49, 0},           {-0.49, 0},        {0.5, 1},
      {7, 7},     {-7, -7},            {75.5, 76},          {16.666, 17},      {2147483646.4, 2147483646},
      {2147483646.6, kMax}, {2147483647.0, kMax}, {1e20, kMax}, {kInf, kMax},
      {-2147483647.6, kMin}, {-2147483648.4, kMin}, {-1e20, kMin}, {-kInf, kMin},
      {std::numeric_limits<double>::quiet_NaN(), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(RoundHalfAway(c.x), c.expected) << c.x;
}

TEST_P(UnderLocale, TextToRawRoundsAndClampsToTheSlotRange) {
  struct Case {
    const char16_t* text;
    std::int32_t minimum, maximum;
    double divisor;
    std::int32_t expected;
  };
  const Case cases[] = {
      {u"1500", 0, 255, 20, 75},       {u"1510", 0, 255, 20, 76},         {u"12,5", 0, 255, 0.1, 125},
      {u"12.5", 0, 255, 0.1, 125},     {u"30", 0, 255, 0.1, 255},         {u"100", 0, 255, 6, 17},
      {u"-12.3", -32768, 32767, 0.1, -123}, {u"50%", 0, 255, 1, 50},      {u"-5", 0, 255, 1, 0},
      {u"-", 0, 255, 1, 0},            {u"abc", -128, 127, 1, 0},         {u"200", 0, 127, 1, 127},
      // Quotients beyond 32 bits, infinities and NaN end on the slot's limits.
      {u"1e30", 0, 255, 0.1, 255},     {u"-1e30", -128, 127, 1, -128},    {u"1e999", 0, 65535, 1, 65535},
      {u"-1e999", -32768, 32767, 0.1, -32768}, {u"5", 0, 255, 0, 255},    {u"0", 1, 10, 0, 1},
      {u"nan", -128, 127, 1, 0},       {u"3000000000", 0, 65535, 1, 65535},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextToRaw(QString::fromUtf16(c.text), c.minimum, c.maximum, c.divisor), c.expected)
        << QString::fromUtf16(c.text).toStdString() << " / " << c.divisor;
}

TEST(FormatParamValue, ThreeDecimalsTiesToEvenLocaleSeparatorOneSpace) {
  struct Case {
    std::int32_t raw;
    double scale;
    const char16_t* point;
    const char16_t* comma;
  };
  const Case cases[] = {
      {75, 20, u"1500 ", u"1500 "},    {76, 20, u"1520 ", u"1520 "},   {123, 0.1, u"12.3 ", u"12,3 "},
      {255, 0.1, u"25.5 ", u"25,5 "}, {17, 6, u"102 ", u"102 "},       {-123, 0.1, u"-12.3 ", u"-12,3 "},
      {1, 0.5, u"0.5 ", u"0,5 "},     {0, 0.1, u"0 ", u"0 "},          {-32768, 0.1, u"-3276.8 ", u"-3276,8 "},
      {65535, 1, u"65535 ", u"65535 "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatParamValue(c.raw, c.scale, QLocale(QLocale::English)), QString::fromUtf16(c.point)) << c.raw;
    EXPECT_EQ(FormatParamValue(c.raw, c.scale, QLocale(QLocale::Russian)), QString::fromUtf16(c.comma)) << c.raw;
  }
  EXPECT_EQ(FormatParamValue(1, 0.0005, QLocale(QLocale::English)), QStringLiteral("0 "));    // 0.0005 → even 0.000
  EXPECT_EQ(FormatParamValue(3, 0.0005, QLocale(QLocale::English)), QStringLiteral("0.002 "));  // 0.0015 → 0.002
}

link::RxStore StoreAt(int offset, const std::vector<int>& bytes) {
  link::RxStore rx;
  for (int i = 0; i < offset; ++i) rx.Store(i, 0xEE);
  for (std::size_t i = 0; i < bytes.size(); ++i) rx.Store(offset + static_cast<int>(i), bytes[i]);
  rx.Store(offset + static_cast<int>(bytes.size()), 0xEE);
  return rx;
}

TEST(BytesToNumber, MostSignificantFirstAndTwosComplement) {
  struct Case {
    std::vector<int> bytes;
    std::int32_t asUnsigned, asSigned;
  };
  const Case cases[] = {
      {{0xFB}, 251, -5},          {{0x7F}, 127, 127},          {{0x80}, 128, -128},
      {{0x01, 0x2C}, 300, 300},   {{0xFF, 0x85}, 65413, -123}, {{0x80, 0x00}, 32768, -32768},
      {{0x7F, 0xFF}, 32767, 32767}, {{0x12, 0x34, 0x56, 0x78}, 0x12345678, 0x12345678},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1, -1},
  };
  for (const Case& c : cases) {
    const link::RxStore rx = StoreAt(5, c.bytes);
    const int n = static_cast<int>(c.bytes.size());
    EXPECT_EQ(BytesToUnsigned(rx, 5, n), c.asUnsigned) << n << " bytes from " << c.bytes[0];
    EXPECT_EQ(BytesToSigned(rx, 5, n), c.asSigned) << n << " bytes from " << c.bytes[0];
  }
}

TEST(ShowParam, TextStopsAtTheFirstZeroAndTheBoxEndsGreen) {
  testing::FakeParamBoxes boxes;
  // "Насос 1" in Windows-1251, zero padding, then junk the zero hides.
  const link::RxStore rx = StoreAt(5, {0xCD, 0xE0, 0xF1, 0xEE, 0xF1, 0x20, 0x31, 0x00, 0x41, 0x42, 0x00, 0x00});
  ShowParamText(boxes, 89, rx, 5, 12);
  EXPECT_EQ(boxes.Text(89), QStringLiteral(u"Насос 1"));
  EXPECT_EQ(boxes.Color(89), COLOR_FROM_EEPROM);

  const link::RxStore empty = StoreAt(5, {0x00, 0x41, 0x42, 0x43});
  ShowParamText(boxes, 93, empty, 5, 4);
  EXPECT_EQ(boxes.Text(93), QString());
  EXPECT_EQ(boxes.Color(93), COLOR_FROM_EEPROM);

  QLocale::setDefault(QLocale(QLocale::Russian));
  ShowParamValue(boxes, 41, 125, 0.1);
  QLocale::setDefault(QLocale::c());
  EXPECT_EQ(boxes.Text(41), QStringLiteral("12,5 "));
  EXPECT_EQ(boxes.Color(41), COLOR_FROM_EEPROM);
}

// ---- The parameter map and the traffic monitor's words for each frame -----

class CatalogueTest : public Bench {
 protected:
  int size(int k) const { return cat.par_size[static_cast<std::size_t>(k)]; }
  int addr(int k) const { return cat.par_addr[static_cast<std::size_t>(k)]; }
};

// Transfers are built from this map: a byte of two slots, or one outside
// 256..4085, would corrupt the controller's EEPROM on write-all.
TEST_F(CatalogueTest, SlotsTile2996BytesOfTheParameterMapWithoutSharing) {
  std::vector<int> owner(4096, -1);
  int bytes = 0;
  for (int k = 0; k < kSlotCount; ++k) {
    ASSERT_TRUE(size(k) == 1 || size(k) == 2 || size(k) == 4 || size(k) == 12) << k;
    ASSERT_TRUE(addr(k) >= 256 && addr(k) + size(k) <= 4086) << k;
    bytes += size(k);
    for (int b = addr(k); b < addr(k) + size(k); ++b) {
      ASSERT_EQ(owner[static_cast<std::size_t>(b)], -1) << "byte " << b << " of slot " << k;
      owner[static_cast<std::size_t>(b)] = k;
    }
  }
  EXPECT_EQ(bytes, 2996);
  for (int k = 0; k < kSlotCount; ++k) ASSERT_EQ(cat.SlotAtAddress(addr(k)), k);
  for (int a : {-1, 255, 267, 284, 1281, 4086, 70000}) EXPECT_EQ(cat.SlotAtAddress(a), -1) << a;
  EXPECT_EQ(ParamCatalogue().SlotAtAddress(0), -1);
}

TEST_F(CatalogueTest, EverySlotIsOnOnePageWithADistinctName) {
  std::vector<int> seen(89, 0);
  const auto& pages = FunctionPages();
  for (std::size_t p = 0; p < pages.size(); ++p)
    for (const FunctionRow& row : pages[p].rows)
      for (int slot : row.boxSlots) {
        ++seen[static_cast<std::size_t>(slot)];
        EXPECT_EQ(cat.PageOf(slot), (PageRef{PageGroup::function, static_cast<int>(p)})) << slot;
      }
  for (int slot = 0; slot < 89; ++slot) EXPECT_EQ(seen[static_cast<std::size_t>(slot)], 1) << slot;
  // Boundaries of the generated tables.
  const std::pair<int, PageRef> pagesOf[] = {
      {89, {PageGroup::channel, 0}}, {97, {PageGroup::channel, 1}},  {161, {PageGroup::channel, 0}},
      {736, {PageGroup::channel, 8}}, {737, {PageGroup::logic, 0}},  {872, {PageGroup::logic, 15}},
      {887, {PageGroup::logic, 16}}, {888, {PageGroup::relay, 0}},   {951, {PageGroup::relay, 7}},
      {952, {PageGroup::input, 0}},  {1016, {PageGroup::input, 0}}, {1207, {PageGroup::input, 7}}};
  for (const auto& [slot, page] : pagesOf) EXPECT_EQ(cat.PageOf(slot), page) << slot;

  // Lists, reports and tooltips name a parameter by its name alone.
  std::set<QString> names;
  for (int k = 0; k < kSlotCount; ++k) {
    ASSERT_TRUE(names.insert(SlotName(k)).second) << k << " repeats " << SlotName(k).toStdString();
    EXPECT_FALSE(SlotPageTitle(cat, k).isEmpty()) << k;
  }
  const std::pair<int, const char16_t*> named[] = {
      {2, u"Стартовые обороты (об/мин)"},       {64, u"Предельное время прокачки (сек): после останова"},
      {88, u"Канал Больше|Меньше (1-64): Меньше"}, {89 + 72 * 3 + 11, u"Канал 12 · НПИ"},
      {1080 + 39, u"Вход 40 · Тип"},             {737 + 18 + 5, u"М3 · вход 5"},
      {873, u"Н1 · вход 2"},                     {904, u"Реле 17"}};
  for (const auto& [slot, name] : named) EXPECT_EQ(SlotName(slot), QString::fromUtf16(name)) << slot;
  EXPECT_EQ(SlotPageTitle(cat, 904), QStringLiteral(u"Реле · 17-24"));
  EXPECT_EQ(SlotPageTitle(cat, 886), QStringLiteral(u"Логика · НЕ2"));
}

// ---- The traffic monitor's words for each frame ----------------------------


class FrameDescriptionTest : public ::testing::Test {
 protected:
  FrameDescriptionTest() : description(catalogue, QLocale::c()) { catalogue.InitParamTables(); }
  ParamCatalogue catalogue;
  FrameDescription description;
};

struct Row {
  Bytes request;  // of a reply row: the request it answers, if it matters
  Bytes body;     // without the CRC
  QString text;
};

TEST_F(FrameDescriptionTest, Requests) {
  const std::vector<std::pair<Bytes, QString>> rows{
      {{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D}, QStringLiteral(u"Чтение состояния")},
      {{0x07, 0x04, 0x00, 0x00, 0x00, 0x02}, QStringLiteral(u"Чтение регистров 0..1")},
      {{0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x7B, 0x00, 0x00}, QStringLiteral(u"Пульс №123, защиты вкл.")},
      {{0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0xFF, 0xFE, 0x00, 0x01},
       QStringLiteral(u"Пульс №65534, защиты откл.")},
      {{0x07, 0x06, 0x01, 0x92, 0x12, 0x38}, QStringLiteral(u"Команда СТАРТ")},
      {{0x07, 0x06, 0x01, 0x92, 0x45, 0x69}, QStringLiteral(u"Команда СТОП")},
      {{0x07, 0x06, 0x01, 0x92, 0xAB, 0xC4}, QStringLiteral(u"Команда ОТКЛ. ЗАЩ")},
      {{0x07, 0x06, 0x01, 0x92, 0x00, 0x0A}, QStringLiteral(u"Команда 0x000A")},
      {{0x07, 0x64, 0x01, 0x0A, 0x02},
       QStringLiteral(u"Чтение ЭСППЗУ 266..267 (2 байта): слот 10 «%1»").arg(SlotName(10))},
      {{0x07, 0x64, 0x01, 0x00, 0x0A},
       QStringLiteral(u"Чтение ЭСППЗУ 256..265 (10 байт): слоты 0..9, «%1» … «%2»").arg(SlotName(0), SlotName(9))},
      {{0x07, 0x64, 0x01, 0x16, 0x01}, QStringLiteral(u"Чтение ЭСППЗУ 278 (1 байт): слот 22 «%1»").arg(SlotName(22))},
      {{0x07, 0x64, 0x00, 0x05, 0x16}, QStringLiteral(u"Чтение ЭСППЗУ 5..26 (22 байта): нет такого слота")},
      {{0x07, 0x65, 0x01, 0x17, 0x01, 0x0C}, QStringLiteral(u"Запись ЭСППЗУ 279: Адрес Modbus = 12")},
      // The count says 3, the frame carries 1 data byte: only what is there.
      {{0x07, 0x65, 0x01, 0x17, 0x03, 0x0C}, QStringLiteral(u"Запись ЭСППЗУ 279: Адрес Modbus = 12")},
      {{0x07, 0x2B, 0x0E, 0x01}, QStringLiteral(u"Функция 43")},
      {{0x07, 0x04}, QStringLiteral(u"Обрывок кадра")},
  };
  for (const auto& [body, text] : rows) {
    const Bytes frame = body.size() < 3 ? body : testing::WithCrc(body);
    EXPECT_EQ(description.DescribeRequest(frame).toStdString(), text.toStdString()) << FrameDescription::Hex(frame).toStdString();
  }
}

TEST_F(FrameDescriptionTest, Replies) {
  const Bytes status = testing::WithCrc({0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D});
  Bytes dra{0x07, 0x04, 250, 0x02, 0x05, 0x01, 0x00, 0x00, 0x01, 0x05, 0xDC, 0x00, 0x64, 0xFF, 0xFB};
  dra.resize(253, 0);
  Bytes dgu = dra;
  dgu[8] = 0;
  dgu[14] = 0xF6;  // 24.6 V
  dgu[13] = 0x00;
  const std::vector<Row> rows{
      {status, dra, QStringLiteral(u"Состояние: ДРА, двиг. 1500 об/мин, вал 100 об/мин, АКБ -0.5 В")},
      {status, dgu, QStringLiteral(u"Состояние: ДГУ, двиг. 1500 об/мин, АКБ 24.6 В")},
      {{}, {0x07, 0x04, 2, 0x00, 0x01}, QStringLiteral(u"Состояние (неполный ответ)")},
      {{}, {0x07, 0x06, 0x01, 0x92, 0x45, 0x69}, QStringLiteral(u"Команда СТОП принята")},
      {{}, {0x07, 0x10, 0x01, 0x90, 0x00, 0x02}, QStringLiteral(u"Пульс принят")},
      {{}, {0x07, 0x64, 0x01, 0x17, 0x01, 0x0C}, QStringLiteral(u"ЭСППЗУ 279: Адрес Modbus = 12")},
      // Slot 22 counts in tens of hours: the raw 5 is shown as 50.
      {{}, {0x07, 0x64, 0x01, 0x16, 0x02, 0x05, 0x0C},
       QStringLiteral(u"ЭСППЗУ 278..279: %1 = 50; Адрес Modbus = 12").arg(SlotName(22))},
      {{}, {0x07, 0x64, 0x01, 0x17, 0x02, 0x0C, 0x01},
       QStringLiteral(u"ЭСППЗУ 279..280: Адрес Modbus = 12; %1 = 1").arg(SlotName(24))},
      {{}, {0x07, 0xE4, 0x02}, QStringLiteral(u"Отказ на функцию 100: код 2, недопустимый адрес данных")},
      {{}, {0x07, 0x86, 0x06}, QStringLiteral(u"Отказ на функцию 6: код 6, ведомое устройство занято")},
      {{}, {0x07, 0xFF, 0x00}, QStringLiteral(u"Отказ на функцию 127: код 0, нестандартный код")},
  };
  for (const Row& row : rows) {
    const Bytes frame = testing::WithCrc(row.body);
    EXPECT_EQ(description.DescribeReply(row.request, frame).toStdString(), row.text.toStdString()) << FrameDescription::Hex(frame).toStdString();
  }
}

TEST_F(FrameDescriptionTest, VerdictsHexAndIdleTraffic) {
  link::RecordedExchange e;
  e.verdict = link::ExchangeVerdict::exception;
  e.reply = {0x07, 0xE4, 0xFF};
  e.replyLength = 5;
  EXPECT_EQ(FrameDescription::VerdictText(e), QStringLiteral(u"исключение 255"));
  e.verdict = link::ExchangeVerdict::crc_mismatch;
  EXPECT_EQ(FrameDescription::VerdictText(e), QStringLiteral(u"несовпадение КС"));
  e.verdict = link::ExchangeVerdict::no_answer;
  EXPECT_EQ(FrameDescription::VerdictText(e), QStringLiteral(u"нет ответа"));

  const Bytes status{0x07, 0x04, 0x01, 0x2C, 0x00, 0x7D, 0xF0, 0x78};
  EXPECT_EQ(FrameDescription::Hex(status), QStringLiteral(u"07 04 01 2C 00 7D F0 78"));
  EXPECT_EQ(FrameDescription::Hex({}), QString());
  EXPECT_TRUE(FrameDescription::IsIdleRequest(status));
  EXPECT_TRUE(FrameDescription::IsIdleRequest(
      testing::WithCrc({0x07, 0x10, 0x01, 0x90, 0x00, 0x02, 0x04, 0x00, 0x01, 0x00, 0x00})));
  EXPECT_FALSE(FrameDescription::IsIdleRequest(testing::WithCrc({0x07, 0x06, 0x01, 0x92, 0x45, 0x69})));
  EXPECT_FALSE(FrameDescription::IsIdleRequest(testing::WithCrc({0x07, 0x64, 0x01, 0x00, 0x0A})));
}

}  // namespace
}  // namespace zart::params

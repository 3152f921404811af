// Backups, differences, the write check, the service report and the
// parameter files, headless.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include "controller.h"
#include "fault_injector.h"
#include "link/exchange_cycle.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
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
#include "settings/windows1251.h"
#include "support/fake_link_view.h"
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

// ---- Parameter files: save, load, compare ---------------------------------

using settings::Message;

class ParamFilesTest : public ::testing::Test {
 protected:
  ParamFilesTest() : files(cat, boxes, view, prompter) {
    cat.InitParamTables();
    QDir(dir.path()).mkpath(QStringLiteral("in/sub"));
  }

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
  ParamCatalogue cat;
  testing::FakeParamBoxes boxes;
  testing::FakeLinkView view;
  testing::ScriptedPrompter prompter;
  ParamFiles files;
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

}  // namespace
}  // namespace zart::params

// The service data of the monitor: the CSV files, the event log and the
// signal names.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include "link/exchange_cycle.h"
#include "monitor/csv_status_log.h"
#include "monitor/event_log.h"
#include "monitor/signal_names.h"
#include "monitor/status_line_link_watch.h"
#include "monitor/status_sample.h"
#include "monitor_fakes.h"
#include "settings/windows1251.h"
#include "support/csv_reader.h"
#include "support/files.h"

namespace zart::monitor {
namespace {

using testing::FileBytes;
using testing::StatusBlock;

// ---- CSV -------------------------------------------------------------------

TEST(CsvStatusLogTest, OpensInARussianSpreadsheetWithEveryValueIntact) {
  struct Case {
    QLocale locale;
    bool pointForScripts;
    const char* battery;  // the field as written
  };
  const Case cases[] = {{QLocale(QLocale::Russian, QLocale::Russia), false, "12,6"},
                        {QLocale(QLocale::Russian, QLocale::Russia), true, "12.6"},
                        {QLocale::c(), false, "12.6"}};
  SignalNames names;
  ASSERT_EQ(names.Parse("[Signals]\r\nS1=Давление; масла\r\n"), 1);
  const StatusSample s = StatusSample::FromStatusReply(
      StatusBlock().Set(302, 1).Set(303, 1500).Set(305, 126).Set(392, 0x0401).Set(394, 0xFFA6).Set(397, 0x0002)
          .Set(412, 0x8000).Store());
  const QDateTime time(QDate(2026, 12, 7), QTime(3, 4, 5, 67));
  for (const Case& c : cases) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral(u"журнал.csv"));
    CsvStatusLog log;
    ASSERT_TRUE(log.Open(path, CsvFormat::ForLocale(c.locale, c.pointForScripts), &names));
    ASSERT_TRUE(log.Append(time, 0, s, 2, QStringLiteral("10.0.0.5:4001")));
    ASSERT_TRUE(log.Close());
    bool bom = false;
    const QList<QStringList> rows = testing::ReadCsvAsExcel(FileBytes(path), &bom);
    EXPECT_TRUE(bom);
    ASSERT_EQ(rows.size(), 2);
    const QStringList& head = rows[0];
    const QStringList& line = rows[1];
    ASSERT_EQ(head.size(), 5 + 11 + 255 + 4);
    ASSERT_EQ(line.size(), head.size());
    auto at = [&](const QString& column) { return line.value(head.indexOf(column)); };
    EXPECT_EQ(at(QStringLiteral(u"тип объекта")), QStringLiteral(u"ДРА"));
    EXPECT_EQ(at(QStringLiteral(u"АКБ В")), QLatin1String(c.battery));
    EXPECT_EQ(at(QStringLiteral(u"Авария")), QStringLiteral("1"));
    EXPECT_EQ(at(QStringLiteral(u"Неиспр.")), QStringLiteral("0"));
    EXPECT_EQ(at(QStringLiteral(u"Двиг. ост.")), QStringLiteral("1"));
    EXPECT_EQ(at(QStringLiteral(u"сигнал 1 Давление; масла")), QStringLiteral("1"));
    EXPECT_EQ(at(QStringLiteral(u"сигнал 2")), QStringLiteral("0"));
    EXPECT_EQ(at(QStringLiteral(u"сигнал 255")), QStringLiteral("1"));
    EXPECT_EQ(at(QStringLiteral(u"до ТО мин")), QStringLiteral("-90"));
    EXPECT_EQ(at(QStringLiteral(u"связь")), QStringLiteral(u"сбоев 2"));
    EXPECT_EQ(at(QStringLiteral(u"канал")), QStringLiteral("10.0.0.5:4001"));
    EXPECT_EQ(line[0], QStringLiteral("2026-12-07 03:04:05") + (c.pointForScripts || c.locale == QLocale::c()
                                                                    ? QStringLiteral(".067")
                                                                    : QStringLiteral(",067")));
    if (c.locale != QLocale::c() && !c.pointForScripts) {
      // Every column but time, type and the link's state and name is a
      // number to the spreadsheet.
      for (int i = 2; i < line.size() - 2; ++i)
        EXPECT_TRUE(testing::ReadsAsRussianNumber(line[i])) << head[i].toStdString() << " = " << line[i].toStdString();
      double volts = 0;
      ASSERT_TRUE(testing::ReadsAsRussianNumber(at(QStringLiteral(u"АКБ В")), &volts));
      EXPECT_DOUBLE_EQ(volts, 12.6);
    }
  }
}

TEST(CsvStatusLogTest, FlushesOncePerSecondAndOnClose) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral(u"журнал.csv"));
  CsvStatusLog log;
  ASSERT_TRUE(log.Open(path));
  const QDateTime t = QDateTime::currentDateTime();
  auto lines = [&] { return FileBytes(path).count('\n'); };
  EXPECT_EQ(lines(), 1);  // the header is there at once
  for (std::int64_t ms : {200, 400}) EXPECT_TRUE(log.Append(t, ms, StatusSample{}, 0));
  EXPECT_EQ(lines(), 1);
  EXPECT_TRUE(log.Append(t, 1000, StatusSample{}, 0));
  EXPECT_EQ(lines(), 4);
  EXPECT_TRUE(log.Append(t, 1200, StatusSample{}, 0));
  EXPECT_TRUE(log.Flush(1300));
  EXPECT_EQ(lines(), 5);
  EXPECT_TRUE(log.Append(t, 1400, StatusSample{}, 0));
  EXPECT_TRUE(log.Close());
  EXPECT_EQ(lines(), 6);
  EXPECT_FALSE(log.IsOpen());
}

TEST(CsvStatusLogTest, FailuresAreReportedInRussian) {
  CsvStatusLog log;
  EXPECT_FALSE(log.Open(QStringLiteral(u"/nonexistent-folder/журнал.csv")));
  // The system's own words follow in parentheses, in its language.
  EXPECT_TRUE(log.Error().startsWith(QStringLiteral(u"Не удалось создать файл журнала «/nonexistent-folder/журнал.csv»: "
                                                    u"нет такого файла или устройства (")))
      << log.Error().toStdString();

  // /dev/full accepts the open and refuses every write, as a full disk does.
  if (!QFile::exists(QStringLiteral(u"/dev/full"))) GTEST_SKIP() << "no /dev/full";
  CsvStatusLog full;
  EXPECT_FALSE(full.Open(QStringLiteral(u"/dev/full")));
  EXPECT_FALSE(full.IsOpen());
  EXPECT_EQ(full.Error().toStdString(), "Журнал «/dev/full» остановлен: нет места на диске (No space left on device)");
  EXPECT_FALSE(full.Append(QDateTime::currentDateTime(), 5000, StatusSample{}, 0));
}

TEST(CsvFormatTest, QuotesWhatASpreadsheetWouldSplitAndConvertsOnlyPlainNumbers) {
  EXPECT_EQ(CsvFormat::Line({QStringLiteral("a;b"), QStringLiteral("say \"x\""), QStringLiteral(" pad"),
                             QStringLiteral("plain")}),
            QStringLiteral("\"a;b\";\"say \"\"x\"\"\";\" pad\";plain"));
  const CsvFormat comma(QLatin1Char(','));
  const std::pair<const char*, const char*> numbers[] = {
      {"12.6", "12,6"}, {"-0,5 ", "-0,5"}, {"1500", "1500"}, {"0.1.2", "0.1.2"}, {"12.6 В", "12.6 В"}, {"-", "-"},
      {"001A", "001A"}};
  for (const auto& [in, out] : numbers) EXPECT_EQ(comma.NumberText(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

// ---- The event log ---------------------------------------------------------

// The texts of the entries from number `from` on: "kind|subject|change".
QStringList EntriesFrom(const EventLog& log, std::uint64_t from, const SignalNames* names = nullptr) {
  QStringList texts;
  for (std::uint64_t n = from; n < log.Total(); ++n) {
    const QStringList t = log.Texts(*log.Find(n), names);
    texts << t.mid(1).join(u'|');
  }
  return texts;
}

TEST(EventLogTest, RecordsEachKindOfChangeBetweenTwoStatusReplies) {
  using Regs = std::vector<std::pair<int, int>>;
  struct Case {
    const char* name;
    Regs before;  // empty: the reply is the first of the session
    Regs after;
    std::vector<const char16_t*> expected;
  };
  const Case cases[] = {
      {"FirstReplyIsTheInitialState",
       {},
       {{302, 1}, {392, 0x0005}, {397, 0x0003}, {423, 0x001A}},
       {u"Состояние|Тип объекта|ДРА (начальное состояние)", u"Лампа|Авария|горит (начальное состояние)",
        u"Лампа|Работа|горит (начальное состояние)", u"Сигнал|Сигнал 1 «Масло»|вкл. (начальное состояние)",
        u"Авария|Слово аварий 423|001A (начальное состояние)"}},
      {"NothingChanged", {{392, 1}}, {{392, 1}}, {}},
      {"LampsOnAndOff", {{392, 0x0001}}, {{392, 0x0400}}, {u"Лампа|Авария|погасла", u"Лампа|Двиг. ост.|горит"}},
      {"SeveralSignalsAtOnceTheLastOneIncluded",
       {{397, 0x0002}},
       {{397, 0x0001}, {398, 0x0001}, {412, 0x8000}},
       {u"Сигнал|Сигнал 1 «Масло»|выкл.", u"Сигнал|Сигнал 16|вкл.", u"Сигнал|Сигнал 255|вкл."}},
      {"FaultWord", {{424, 0}}, {{424, 0x8001}}, {u"Авария|Слово аварий 424|0000 → 8001"}},
      {"Blocked", {{300, 0x0203}}, {{300, 0x8203}}, {u"Состояние|Управление по Modbus|заблокировано в ЩМКР.540"}},
      {"ObjectType", {{302, 0}}, {{302, 5}}, {u"Состояние|Тип объекта|ДГУ → 5"}},
  };
  SignalNames names;
  ASSERT_EQ(names.Parse("[Signals]\nS1=Масло\n"), 1);
  auto sample = [](const Regs& regs) {
    StatusBlock block;
    for (const auto& [reg, value] : regs) block.Set(reg, value);
    return StatusSample::FromStatusReply(block.Store());
  };
  for (const Case& c : cases) {
    EventLog log;
    if (!c.before.empty()) log.Record(sample(c.before), 1000);
    const std::uint64_t from = log.Total();
    log.Record(sample(c.after), 2000);
    QStringList expected;
    for (const char16_t* e : c.expected) expected << QString::fromUtf16(e);
    EXPECT_EQ(EntriesFrom(log, from, &names).join(u'\n').toStdString(), expected.join(u'\n').toStdString()) << c.name;
  }
}

TEST(EventLogTest, LinkLossesComeFromTheStatusLineAndTheReplyAfterIsComparedWithTheOneBefore) {
  EventLog log;
  StatusLineLinkWatch watch(log);
  const QString up = link::ExchangeCycle::LinkUpMessage();
  const QString silent = link::ExchangeCycle::NoAnswerMessage();
  watch.Observe(silent, 0, 50);
  // Never up: "нет связи", dated from the first failure; a blank status line
  // meanwhile (a settings file saved) keeps the reason.
  watch.Observe(QString(), 1000, 1050);
  watch.Observe(up, 1100, 1150);
  log.Record(StatusSample::FromStatusReply(StatusBlock().Set(392, 1).Store()), 1150);
  const std::uint64_t beforeBlip = log.Total();
  watch.Observe(silent, 2000, 2050);  // one missed reply is no loss
  watch.Observe(up, 2900, 2950);
  EXPECT_EQ(log.Total(), beforeBlip);
  watch.Observe(link::ExchangeCycle::CrcMismatchMessage(), 3000, 3050);
  watch.Observe(silent, 4000, 4050);
  watch.Observe(up, 5000, 5050);
  log.Record(StatusSample::FromStatusReply(StatusBlock().Set(392, 2).Store()), 5050);
  EXPECT_EQ(EntriesFrom(log, 0).join(u'\n').toStdString(),
            (QStringList{QStringLiteral(u"Связь|Связь с контроллером|нет связи: ") + silent,
                         QStringLiteral(u"Связь|Связь с контроллером|восстановлена"),
                         QStringLiteral(u"Состояние|Тип объекта|ДГУ (начальное состояние)"),
                         QStringLiteral(u"Лампа|Авария|горит (начальное состояние)"),
                         QStringLiteral(u"Связь|Связь с контроллером|потеряна: ") + silent,
                         QStringLiteral(u"Связь|Связь с контроллером|восстановлена"),
                         QStringLiteral(u"Лампа|Авария|погасла"), QStringLiteral(u"Лампа|Неиспр.|горит")})
                .join(u'\n')
                .toStdString());
  EXPECT_EQ(log.Find(0)->msecs, 50);
  EXPECT_EQ(log.Find(4)->msecs, 3050);
}

TEST(EventLogTest, TheRingKeepsTheNewestEntriesWhenFull) {
  EventLog log;
  const StatusSample on = StatusSample::FromStatusReply(StatusBlock().Set(392, 1).Store());
  const StatusSample off;
  log.Record(off, -1);  // the initial state: the object type
  log.Record(off, -1);
  const std::uint64_t records = EventLog::kCapacity + 9;  // one lamp entry each
  for (std::uint64_t i = 1; i <= records; ++i) log.Record(i % 2 == 1 ? on : off, static_cast<std::int64_t>(i));
  EXPECT_EQ(log.Total(), records + 1);
  EXPECT_EQ(log.OldestNumber(), 10u);
  EXPECT_EQ(log.Find(9), nullptr);
  ASSERT_NE(log.Find(10), nullptr);
  EXPECT_EQ(log.Find(10)->msecs, 10);
  EXPECT_EQ(log.Find(records)->msecs, static_cast<std::int64_t>(records));
  EXPECT_EQ(log.Find(records + 1), nullptr);
}

// ---- Signal names ----------------------------------------------------------

TEST(SignalNamesTest, ReadsUtf8AndWindows1251AndRefusesWhatIsNotANamesFile) {
  struct Case {
    const char* name;
    QByteArray bytes;
    const char16_t* error;  // the reason's start; null: accepted
    int count;
    const char16_t* s1;
    const char16_t* s3;
  };
  const QByteArray utf8 = QStringLiteral(u"[Signals]\r\nS1=Давление масла\r\nS3=Пуск\r\n").toUtf8();
  const Case cases[] = {
      {"Utf8", utf8, nullptr, 2, u"Давление масла", u"Пуск"},
      {"Utf8WithMark", "\xEF\xBB\xBF" + utf8, nullptr, 2, u"Давление масла", u"Пуск"},
      {"Windows1251", settings::EncodeWindows1251(QStringLiteral(u"[signals]\nS1=Давление масла\ns3 = Пуск\n")),
       nullptr, 2, u"Давление масла", u"Пуск"},
      {"OtherSectionsAndKeysOutOfRange",
       QStringLiteral(u"[Other]\nS1=нет\n[Signals]\nS0=нет\nS3=Пуск\nS256=нет\nX1=нет\n").toUtf8(), nullptr, 1, u"",
       u"Пуск"},
      {"NoNames", "[Signals]\nS1=\n", u"в разделе [Signals] нет ни одного имени", 0, nullptr, nullptr},
      {"Binary", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), u"это не текстовый файл", 0, nullptr, nullptr},
      {"Huge", "[Signals]\n" + QByteArray(300 * 1024, 'x'), u"файл слишком велик (301 КБ", 0, nullptr, nullptr},
  };
  QTemporaryDir dir;
  for (const Case& c : cases) {
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    ASSERT_TRUE(testing::WriteFileBytes(path, c.bytes));
    SignalNames names;
    names.Parse("[Signals]\nS2=Прежнее\n");  // what a refused file leaves alone
    QString error;
    const bool loaded = names.Load(path, &error);
    EXPECT_EQ(loaded, c.error == nullptr) << c.name;
    if (c.error != nullptr) {
      EXPECT_TRUE(error.startsWith(QStringLiteral(u"Файл имён сигналов «%1» не принят: ").arg(path) +
                                   QString::fromUtf16(c.error)))
          << c.name << ": " << error.toStdString();
      EXPECT_EQ(names.Name(2), QStringLiteral(u"Прежнее")) << c.name;
      continue;
    }
    EXPECT_EQ(names.Count(), c.count) << c.name;
    EXPECT_EQ(names.Name(1), QString::fromUtf16(c.s1)) << c.name;
    EXPECT_EQ(names.Name(3), QString::fromUtf16(c.s3)) << c.name;
    EXPECT_EQ(names.Name(2), QString()) << c.name;
    EXPECT_EQ(names.Label(3), QStringLiteral(u"3 «Пуск»")) << c.name;
  }
}

}  // namespace
}  // namespace zart::monitor

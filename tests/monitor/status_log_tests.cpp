#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "link/rx_store.h"
#include "monitor_fakes.h"
#include "monitor/csv_status_log.h"
#include "monitor/status_sample.h"
#include "monitor/trend_buffer.h"

namespace zart::monitor {
namespace {

TEST(StatusSampleTest, ReadsTheRegistersTheLogAndTrendsFollow) {
  // Battery -0.5 V, lamp bits 11..15 no lamps, service -90 min.
  const link::RxStore rx = testing::StatusBlock()
                               .Set(302, 1).Set(303, 1500).Set(304, 480).Set(305, 0xFFFB).Set(392, 0xFC05)
                               .Set(394, 0xFFA6).Set(395, 1).Set(396, 2).Set(397, 0x0002).Set(412, 0x8000)
                               .Store();
  const StatusSample s = StatusSample::FromStatusReply(rx);
  EXPECT_EQ(s.objectType, 1);
  EXPECT_EQ(s.engineRpm, 1500);
  EXPECT_EQ(s.shaftRpm, 480);
  EXPECT_EQ(s.batteryDecivolts, -5);
  EXPECT_EQ(s.lamps, 0x0405);
  EXPECT_EQ(s.serviceMinutes, -90);
  EXPECT_EQ(s.runningMinutes, 65538);

  const QDateTime time(QDate(2026, 12, 7), QTime(3, 4, 5, 67));
  EXPECT_EQ(CsvStatusLog::Line(time, s, 0).toStdString(),
            (QStringLiteral(u"2026-12-07 03:04:05.067;ДРА;1500;480;-0.5;10000000101;0002") + QString(56, QLatin1Char('0')) +
             QStringLiteral(u"8000;-90;65538;норма"))
                .toStdString());
  EXPECT_TRUE(CsvStatusLog::Line(time, StatusSample{}, 3).endsWith(QStringLiteral(u";0;0;сбоев 3")));
}

TEST(CsvStatusLogTest, FlushesOncePerSecondAndOnClose) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral(u"журнал.csv"));
  CsvStatusLog log;
  ASSERT_TRUE(log.Open(path));
  const QDateTime t = QDateTime::currentDateTime();
  auto lines = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll().count('\n'); };
  EXPECT_EQ(lines(), 1);  // the header is there at once
  EXPECT_TRUE(log.Append(t, 200, StatusSample{}, 0));
  EXPECT_TRUE(log.Append(t, 400, StatusSample{}, 0));
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
  EXPECT_EQ(log.Error().toStdString(),
            "Не удалось создать файл журнала «/nonexistent-folder/журнал.csv»: "
            "нет такого файла или устройства (No such file or directory)");

  // /dev/full accepts the open and refuses every write, as a full disk does.
  if (!QFile::exists(QStringLiteral(u"/dev/full"))) GTEST_SKIP() << "no /dev/full";
  CsvStatusLog full;
  EXPECT_FALSE(full.Open(QStringLiteral(u"/dev/full")));
  EXPECT_FALSE(full.IsOpen());
  EXPECT_EQ(full.Error().toStdString(), "Журнал «/dev/full» остановлен: нет места на диске (No space left on device)");
  EXPECT_FALSE(full.Append(QDateTime::currentDateTime(), 5000, StatusSample{}, 0));
}

TEST(TrendBufferTest, PausesBecomeGapsAndOldPointsLeave) {
  TrendBuffer trends;
  struct Row {
    double seconds;
    std::size_t runs;
  };
  const std::vector<Row> rows{{0.0, 1}, {0.2, 1}, {1.2, 1}, {2.3, 2}, {2.5, 2}, {20.0, 3}, {601.0, 4}, {621.0, 2}};
  for (const Row& row : rows) {
    trends.Add(TrendPoint{row.seconds, 1, 2, 3});
    EXPECT_EQ(trends.Runs().size(), row.runs) << row.seconds;
  }
  // 601 s dropped everything before 1 s; 621 s dropped everything before 21 s.
  EXPECT_EQ(trends.Size(), 2u);
  EXPECT_EQ(trends.Runs().front().front().seconds, 601.0);
}

}  // namespace
}  // namespace zart::monitor

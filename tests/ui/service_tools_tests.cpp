#include <gtest/gtest.h>

#include <QAction>
#include <QMessageBox>
#include <QTemporaryDir>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "main_window_test_support.h"
#include "support/frames.h"
#include "ui/main_window.h"
#include "ui/service_tools.h"
#include "ui/trends_window.h"
#include "ui/traffic_model.h"
#include "ui/traffic_window.h"
#include "ui/trends_window.h"

namespace zart::ui {
namespace {

using testing::AppFixture;
using testing::StatusBlock;

class ServiceToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale::c());
    ASSERT_TRUE(fx.app->Start());
    fx.app->Timer().Stop();
    fx.app->SetParamWindowHook(&hook);
    fx.app->Cycle().ExchangeTick();  // sends the first status read
  }
  void TearDown() override { fx.app->SetParamWindowHook(nullptr); }

  ServiceTools& tools() { return fx.app->Service(); }
  void Tick(const std::vector<std::uint8_t>& reply) {
    fx.port->Receive(reply);
    fx.app->Cycle().ExchangeTick();
  }
  // A status read answered, then its heartbeat answered.
  void IdleRound(const StatusBlock& status) {
    Tick(status.Frame());
    Tick(testing::WithCrc({0x07, 0x10, 0x01, 0x90, 0x00, 0x02}));
  }

  AppFixture fx;
  testing::FakeParamHook hook;
};

TEST_F(ServiceToolsTest, MonitorShowsDecodedExchangesAndHidesIdleTrafficButNotFaults) {
  StatusBlock status;
  status.Set(302, 1).Set(303, 1500).Set(305, 246);
  IdleRound(status);
  Tick({});  // the status read goes unanswered
  Tick(status.Frame());
  fx.app->Cycle().EnqueueRequest(link::FC_WRITE_SINGLE_REGISTER, {0x01, 0x92, 0x45, 0x69});
  Tick(testing::WithCrc({0x07, 0x10, 0x01, 0x90, 0x00, 0x02}));
  Tick(testing::WithCrc({0x07, 0x86, 0x04}));  // the command refused

  tools().ShowTrafficMonitor();
  TrafficWindow* window = tools().Traffic();
  ASSERT_NE(window, nullptr);
  window->Refresh();
  TrafficModel& model = window->Model();
  QStringList meanings;
  QStringList verdicts;
  for (int row = 0; row < model.rowCount(); ++row) {
    meanings << model.RowTexts(row)[TrafficModel::kMeaning];
    verdicts << model.RowTexts(row)[TrafficModel::kVerdict];
  }
  EXPECT_TRUE(meanings.contains(QStringLiteral(u"Команда СТОП"))) << meanings.join(u'|').toStdString();
  EXPECT_TRUE(verdicts.contains(QStringLiteral(u"нет ответа")));
  EXPECT_TRUE(verdicts.contains(QStringLiteral(u"повтор")));
  EXPECT_TRUE(verdicts.contains(QStringLiteral(u"исключение 4")));

  const int all = model.rowCount();
  model.SetHideIdle(true);
  QStringList shown;
  for (int row = 0; row < model.rowCount(); ++row) shown << model.RowTexts(row)[TrafficModel::kVerdict];
  EXPECT_LT(model.rowCount(), all);
  EXPECT_TRUE(shown.contains(QStringLiteral(u"нет ответа")));
  EXPECT_TRUE(shown.contains(QStringLiteral(u"исключение 4")));
  EXPECT_FALSE(shown.contains(QStringLiteral(u"ответ")));

  const link::TrafficCounters& c = tools().Recorder().SinceStart();
  EXPECT_EQ(c.noAnswers, 1u);
  EXPECT_EQ(c.exceptions, 1u);
  EXPECT_EQ(c.repeats, 1u);
  EXPECT_TRUE(window->RowsText(true, false).startsWith(QStringLiteral(u"Время, мс;Направление;Кадр;Значение;Итог\r\n")));
}

TEST_F(ServiceToolsTest, MonitorRowsStayBoundedOverLongRuns) {
  tools().ShowTrafficMonitor();
  TrafficWindow* window = tools().Traffic();
  for (int i = 0; i < TrafficModel::kMaxRows / 2 + 500; ++i) {
    Tick(testing::WithCrc({0x07, 0x10, 0x01, 0x90, 0x00, 0x02}));
    if (i % 1000 == 0) window->Refresh();
  }
  window->Refresh();
  EXPECT_LE(window->Model().rowCount(), TrafficModel::kMaxRows);
  EXPECT_GT(window->Model().rowCount(), TrafficModel::kMaxRows / 2);
}

TEST_F(ServiceToolsTest, TrendsFollowStatusRepliesAndPausesSplitTheLines) {
  StatusBlock status;
  status.Set(302, 0).Set(303, 900).Set(305, 250);
  IdleRound(status);
  IdleRound(status);
  EXPECT_EQ(tools().Trends().Size(), 2u);
  EXPECT_EQ(tools().Trends().Runs().back().back().batteryVolts, 25.0);
  tools().ShowTrends();
  ASSERT_NE(tools().TrendsView(), nullptr);
  TrendsWindow* view = tools().TrendsView();
  view->Redraw();
  EXPECT_EQ(view->TimeFrom(), 0.0);
  EXPECT_EQ(view->TimeTo(), 30.0);
  EXPECT_EQ(view->RpmTop(), 1000.0);  // 900 rounded up with room above
  EXPECT_EQ(view->VoltTop(), 30.0);   // 25 V
  EXPECT_FALSE(view->ShaftShown());
  EXPECT_FALSE(view->grab().isNull());
}

TEST_F(ServiceToolsTest, CsvLogWritesALinePerStatusReplyAndReportsAFullDisk) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral(u"log.csv"));
  ASSERT_TRUE(tools().StartLog(path));
  EXPECT_TRUE(fx.app->Window().CsvLogAction()->isChecked());
  StatusBlock status;
  IdleRound(status);
  IdleRound(status);
  tools().StopLog();
  EXPECT_FALSE(fx.app->Window().CsvLogAction()->isChecked());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count('\n'), 3);

  if (!QFile::exists(QStringLiteral(u"/dev/full"))) GTEST_SKIP() << "no /dev/full";
  EXPECT_FALSE(tools().StartLog(QStringLiteral(u"/dev/full")));
  EXPECT_FALSE(fx.app->Window().CsvLogAction()->isChecked());
  auto* box = fx.app->Window().findChild<QMessageBox*>(QStringLiteral("msg_csv_log"));
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->text().contains(QStringLiteral(u"нет места на диске")));
}

}  // namespace
}  // namespace zart::ui

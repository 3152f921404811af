#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFontDatabase>
#include <QMessageBox>
#include <QTemporaryDir>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTextBrowser>

#include "link/exchange_cycle.h"
#include "ui/about_dialog.h"
#include "link/exchange_timer.h"
#include "main_window_test_support.h"
#include "link/frame_recorder.h"
#include "params/catalogue.h"
#include "params/frame_description.h"
#include "support/csv_reader.h"
#include "support/files.h"
#include "support/frames.h"
#include "ui/dialog_folders.h"
#include "ui/event_log_model.h"
#include "ui/event_log_window.h"
#include "ui/main_window.h"
#include "ui/param_diff_window.h"
#include "ui/param_report_pages.h"
#include "ui/param_report_window.h"
#include "ui/service_tools.h"
#include "ui/tool_context.h"
#include "ui/traffic_model.h"
#include "ui/traffic_window.h"
#include "ui/trends_window.h"

namespace zart::ui {
namespace {

using testing::AppFixture;
using testing::FileBytes;
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
  // A status read answered, then its heartbeat answered.
  void IdleRound(const StatusBlock& status) {
    fx.Tick(status.Frame());
    fx.Tick(testing::WithCrc({0x07, 0x10, 0x01, 0x90, 0x00, 0x02}));
  }

  AppFixture fx;
  testing::FakeParamHook hook;
};

TEST_F(ServiceToolsTest, MonitorShowsDecodedExchangesAndHidesIdleTrafficButNotFaults) {
  StatusBlock status;
  status.Set(302, 1).Set(303, 1500).Set(305, 246);
  IdleRound(status);
  fx.Tick({});  // the status read goes unanswered
  fx.Tick(status.Frame());
  fx.app->Cycle().EnqueueRequest(link::FC_WRITE_SINGLE_REGISTER, {0x01, 0x92, 0x45, 0x69});
  fx.Tick(testing::WithCrc({0x07, 0x10, 0x01, 0x90, 0x00, 0x02}));
  fx.Tick(testing::WithCrc({0x07, 0x86, 0x04}));  // the command refused

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
  EXPECT_TRUE(window->RowsText(true, false).startsWith(QStringLiteral(u"Время, мс;Направление;Кадр;Значение;Итог\r\n")));
}

TEST_F(ServiceToolsTest, MonitorRowsStayBoundedOverLongRuns) {
  tools().ShowTrafficMonitor();
  TrafficWindow* window = tools().Traffic();
  for (int i = 0; i < TrafficModel::kMaxRows / 2 + 500; ++i) {
    fx.Tick(testing::WithCrc({0x07, 0x10, 0x01, 0x90, 0x00, 0x02}));
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
  EXPECT_EQ(FileBytes(path).count('\n'), 3);

  if (!QFile::exists(QStringLiteral(u"/dev/full"))) GTEST_SKIP() << "no /dev/full";
  EXPECT_FALSE(tools().StartLog(QStringLiteral(u"/dev/full")));
  EXPECT_FALSE(fx.app->Window().CsvLogAction()->isChecked());
  auto* box = fx.app->Window().findChild<QMessageBox*>(QStringLiteral("msg_csv_log"));
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->text().contains(QStringLiteral(u"нет места на диске")));
}

TEST_F(ServiceToolsTest, EventLogWindowFiltersSearchesAndWritesEveryEntryToALiveFile) {
  IdleRound(StatusBlock().Set(392, 0x0001));  // the initial state: type and "Авария"
  fx.Tick({});                                   // the status read goes unanswered
  tools().WatchLink(1'000'000);
  tools().WatchLink(1'002'000);               // two seconds without a reply: lost
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral(u"события.csv"));
  ASSERT_TRUE(tools().StartEventFile(path));
  IdleRound(StatusBlock().Set(392, 0x0002).Set(397, 0x0002));

  tools().ShowEventLog();
  EventLogWindow* window = tools().EventsView();
  ASSERT_NE(window, nullptr);
  window->Refresh();
  EventLogModel& model = window->Model();
  // The entries' wording is the event log's own test; here they all arrive:
  // the initial type and lamp, the link lost and back, three changes.
  QStringList changes;
  for (int row = 0; row < model.rowCount(); ++row) changes << model.RowTexts(row).mid(1).join(u'|');
  ASSERT_EQ(changes.size(), 7) << changes.join(u'\n').toStdString();
  EXPECT_EQ(changes[2],
            QStringLiteral(u"Связь|Связь с контроллером|потеряна: ") + link::ExchangeCycle::NoAnswerMessage());
  EXPECT_EQ(changes[6], QStringLiteral(u"Сигнал|Сигнал 1|вкл."));
  model.SetGroups(static_cast<unsigned>(monitor::EventGroup::link));
  EXPECT_EQ(model.rowCount(), 2);
  model.SetGroups(EventLogModel::kAllGroups);
  model.SetSearch(QStringLiteral(u"авария"));
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(window->RowsText(false).count(QStringLiteral("\r\n")), 3);

  tools().StopEventFile();
  bool bom = false;
  const QList<QStringList> rows = testing::ReadCsvAsExcel(FileBytes(path), &bom);
  EXPECT_TRUE(bom);
  ASSERT_EQ(rows.size(), 1 + changes.size());  // the header, then everything since the start
  EXPECT_EQ(rows[0], (QStringList{QStringLiteral(u"время"), QStringLiteral(u"вид"), QStringLiteral(u"что"),
                                  QStringLiteral(u"изменение")}));
  EXPECT_EQ(rows.back().mid(1).join(u'|'), changes.back());

  if (!QFile::exists(QStringLiteral(u"/dev/full"))) GTEST_SKIP() << "no /dev/full";
  EXPECT_FALSE(tools().StartEventFile(QStringLiteral(u"/dev/full")));
  auto* box = fx.app->Window().findChild<QMessageBox*>(QStringLiteral("msg_event_file"));
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->text().startsWith(QStringLiteral(u"Журнал событий «/dev/full» остановлен: нет места на диске")));
}

TEST_F(ServiceToolsTest, SignalNamesReachTheGridAndTheSettingsFileAndABadFileChangesNothing) {
  QTemporaryDir dir;
  const QString good = dir.filePath(QStringLiteral(u"имена.ini"));
  ASSERT_TRUE(testing::WriteFileBytes(good, QStringLiteral(u"[Signals]\r\nS17=Давление масла\r\n").toUtf8()));
  ASSERT_TRUE(tools().LoadSignalNames(good));
  EXPECT_EQ(fx.app->Window().SignalCell(17)->toolTip(), QStringLiteral(u"Сигнал 17: Давление масла"));
  EXPECT_EQ(fx.Setting(QStringLiteral(u"PC config"), QStringLiteral(u"SignalNames")), good);

  const QString bad = dir.filePath(QStringLiteral(u"картинка.png"));
  ASSERT_TRUE(testing::WriteFileBytes(bad, QByteArray("\x89PNG\r\n\x1a\n\0\0", 10)));
  EXPECT_FALSE(tools().LoadSignalNames(bad));
  EXPECT_NE(fx.app->Window().findChild<QMessageBox*>(QStringLiteral("msg_signal_names")), nullptr);
  EXPECT_EQ(tools().Names().Name(17), QStringLiteral(u"Давление масла"));
  EXPECT_EQ(fx.Setting(QStringLiteral(u"PC config"), QStringLiteral(u"SignalNames")), good);
}

TEST_F(ServiceToolsTest, MonitorAndDifferencesExportsOpenInARussianSpreadsheet) {
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  IdleRound(StatusBlock());
  tools().ShowTrafficMonitor();
  tools().Traffic()->Refresh();
  bool bom = false;
  QList<QStringList> rows = testing::ReadCsvAsExcel(tools().Traffic()->FileBytes(true), &bom);
  EXPECT_TRUE(bom);
  EXPECT_EQ(rows.value(0).value(2), QStringLiteral(u"Кадр"));
  EXPECT_EQ(rows.size(), 1 + tools().Traffic()->Model().rowCount());

  int text = 0;
  while (!params::kCatalogue.IsText(text)) ++text;
  params::DiffList list;
  list.leftCaption = QStringLiteral(u"Окно");
  list.rightCaption = QStringLiteral(u"Файл");
  list.entries = {{2, QStringLiteral("12.6 "), QStringLiteral("12,5"), params::DiffState::differs, {}},
                  {text, QStringLiteral("1.5"), QStringLiteral("A;B"), params::DiffState::differs, {}}};
  ParamDiffWindow diff(&fx.app->Window());
  diff.ShowList(list);
  rows = testing::ReadCsvAsExcel(diff.CsvBytes(), &bom);
  EXPECT_TRUE(bom);
  ASSERT_EQ(rows.size(), 3);
  EXPECT_EQ(rows[0].mid(2, 2), (QStringList{QStringLiteral(u"Окно"), QStringLiteral(u"Файл")}));
  EXPECT_EQ(rows[1].mid(2, 2), (QStringList{QStringLiteral("12,6"), QStringLiteral("12,5")}));
  EXPECT_EQ(rows[2].mid(2, 2), (QStringList{QStringLiteral("1.5"), QStringLiteral("A;B")}));  // a text stays
  ToolContext::Of(&diff).SetCsvDecimalPoint(true);
  EXPECT_EQ(testing::ReadCsvAsExcel(diff.CsvBytes()).value(1).value(2), QStringLiteral("12.6"));
  ToolContext::Of(&diff).SetCsvDecimalPoint(false);
}

TEST(DialogFoldersTest, DocumentsFirstThenTheFolderLastUsedForTheSamePurpose) {
  QTemporaryDir dir;
  const QString documents = dir.filePath(QStringLiteral(u"Документы"));
  const QString logs = dir.filePath(QStringLiteral(u"Журналы"));
  QDir().mkpath(documents);
  QDir().mkpath(logs);
  using Purpose = DialogFolders::Purpose;
  DialogFolders folders(documents);
  EXPECT_EQ(folders.StartFolder(Purpose::csvLog), documents);
  EXPECT_EQ(folders.StartPath(Purpose::report, QStringLiteral(u"отчёт.pdf")), documents + QStringLiteral(u"/отчёт.pdf"));
  folders.Remember(Purpose::csvLog, logs + QStringLiteral(u"/журнал.csv"));
  folders.Remember(Purpose::csvLog, QString());  // a cancelled dialog
  EXPECT_EQ(folders.StartFolder(Purpose::csvLog), logs);
  EXPECT_EQ(folders.StartFolder(Purpose::report), documents);
  QDir(logs).removeRecursively();  // a stick pulled out
  EXPECT_EQ(folders.StartFolder(Purpose::csvLog), documents);
  EXPECT_EQ(DialogFolders(dir.filePath(QStringLiteral(u"нет"))).StartFolder(Purpose::csvLog), QDir::homePath());
}

TEST(ReportPagesTest, CutsOnlyBetweenRowsKeepsHeadingsWithTheirTablesAndRepeatsTheTableHeading) {
  using Unit = ParamReportPages::Unit;
  // A heading (keeps with next), a table's heading row, rows of 10.
  auto section = [](double top, int rows, int table, std::vector<Unit>& units) {
    units.push_back({top, top + 15, true, -1});
    units.push_back({top + 15, top + 25, true, table});
    for (int r = 0; r < rows; ++r) units.push_back({top + 25 + 10 * r, top + 35 + 10 * r, false, table});
    return top + 25 + 10 * rows;
  };
  std::vector<Unit> units;
  const double second = section(0, 6, 0, units);  // 0..85
  section(second, 3, 1, units);                   // 85..140
  const std::vector<ParamReportPages::Table> tables{{15, 25}, {100, 110}};
  struct Case {
    double height;
    std::vector<std::tuple<double, double, int>> pages;  // from, to, repeated heading
  };
  const Case cases[] = {
      {200, {{0, 140, -1}}},
      // The second heading would stand alone at the foot of page 1.
      {100, {{0, 85, -1}, {85, 140, -1}}},
      // Page 2 continues table 0 under its heading; no row is cut.
      {60, {{0, 55, -1}, {55, 85, 0}, {85, 140, -1}}},
      // A page too short for a heading with its table's first row: split.
      {30, {{0, 25, -1}, {25, 45, 0}, {45, 65, 0}, {65, 85, 0}, {85, 110, -1}, {110, 130, 1}, {130, 140, 1}}},
  };
  for (const Case& c : cases) {
    std::vector<std::tuple<double, double, int>> got;
    for (const auto& p : ParamReportPages::Paginate(units, tables, c.height)) got.emplace_back(p.from, p.to, p.repeatHeaderOf);
    EXPECT_EQ(got, c.pages) << c.height;
  }
}

params::ServiceReport LongReport() {
  params::ServiceReport report;
  report.identity = {QStringLiteral(u"ДГУ"), QStringLiteral("130 .3 "), QStringLiteral("1 .7 "), 7,
                     QStringLiteral(u"2057 мч"), QDateTime(QDate(2026, 12, 7), QTime(14, 3, 22))};
  for (int p = 0; p < 6; ++p) {
    params::ReportPage page;
    page.title = QStringLiteral(u"Страница %1").arg(p);
    for (int r = 0; r < 40; ++r) {
      // Long names wrap over two lines, as "Время работы стоп-устройства (сек)" did.
      page.rows.push_back({r, QStringLiteral(u"Время работы стоп-устройства при останове двигателя номер %1 (сек)").arg(r),
                           QString::number(r), QStringLiteral(u"сек"), QStringLiteral(u"Значение из ЭСППЗУ"), 0x80FF80});
    }
    report.pages.push_back(std::move(page));
  }
  return report;
}

TEST(ReportWindowTest, PreviewAndPdfHaveTheSamePagesAndVersionsPrintWithoutTheDesignSpacing) {
  const params::ServiceReport report = LongReport();
  const QString html = report.ToHtml();
  EXPECT_TRUE(html.contains(QStringLiteral(u"<td>2.3</td>")));
  EXPECT_TRUE(html.contains(QStringLiteral(u"<td>1.7</td>")));
  EXPECT_TRUE(html.contains(QStringLiteral(u"<thead>")));

  ParamReportWindow window(report, {}, nullptr);
  QTemporaryDir dir;
  const QString pdf = dir.filePath(QStringLiteral(u"отчёт.pdf"));
  ASSERT_TRUE(window.SavePdf(pdf));
  const QByteArray bytes = FileBytes(pdf);
  if (qEnvironmentVariableIsSet("ZART_REPORT_PDF")) QFile::copy(pdf, qEnvironmentVariable("ZART_REPORT_PDF"));
  const auto pdfPages = bytes.count("/Type /Page\n");
  EXPECT_GT(pdfPages, 3);
  EXPECT_TRUE(bytes.contains("LiberationSans") || !QFontDatabase::hasFamily(QStringLiteral(u"Liberation Sans")));

  QPrinter printer(QPrinter::HighResolution);
  ParamReportWindow::SetUpPrinter(printer);
  QPrintPreviewWidget preview(&printer);
  QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, &window, [&](QPrinter* p) { window.PrintTo(*p); });
  preview.updatePreview();
  EXPECT_EQ(preview.pageCount(), pdfPages);
}

TEST(ReportWindowTest, TheSessionsEventLogGoesIntoTheReportWhenTheUserAsks) {
  QWidget owner;
  monitor::EventLog log;
  log.Record(monitor::StatusSample::FromStatusReply(StatusBlock().Set(392, 1).Store()), 0);
  ToolContext::Of(&owner).SetEvents(&log);
  ParamReportWindow window(LongReport(), {}, &owner);
  ASSERT_TRUE(window.IncludeLog()->isEnabled());
  EXPECT_FALSE(window.Html().contains(QStringLiteral(u"Журнал событий сеанса")));
  window.IncludeLog()->setChecked(true);
  const QString html = window.Html();
  EXPECT_TRUE(html.contains(QStringLiteral(u"Журнал событий сеанса")));
  EXPECT_TRUE(html.contains(QStringLiteral(u"<td>горит (начальное состояние)</td>")));
  EXPECT_TRUE(html.endsWith(QStringLiteral("</body></html>\n")));
  EXPECT_TRUE(window.Preview()->toPlainText().contains(QStringLiteral(u"Журнал событий сеанса")));
}

// Each tool window, as large as it asks to be, stands wholly on the screen's
// free area with every button on it. Run under a real display with
// ZART_SHOTS_DIR set, it leaves a picture of the screen per window.
TEST(WindowFitTest, EveryToolWindowFitsTheScreenWithItsButtonsReachable) {
  QWidget owner;
  params::FrameDescription description;
  link::FrameRecorder recorder;
  monitor::TrendBuffer trends;
  for (int i = 0; i < 600; ++i)
    trends.Add({i * 0.2, 900.0 + i, 400.0, 24.5, 1'796'000'000'000 + i * 200});
  monitor::EventLog log;
  for (int i = 0; i < 400; ++i)
    log.Record(monitor::StatusSample::FromStatusReply(StatusBlock().Set(392, i % 3).Set(400 + i % 5, i).Store()), i);
  params::DiffList mismatches;
  mismatches.title = QStringLiteral(u"Не совпадает после записи");
  mismatches.summary = QStringLiteral(u"Не совпадает после записи: 80 параметров");
  mismatches.leftCaption = QStringLiteral(u"Записано");
  mismatches.rightCaption = QStringLiteral(u"Прочитано");
  for (int slot = 0; slot < 80; ++slot)
    mismatches.entries.push_back({slot, QStringLiteral("1500"), QStringLiteral("1520"), params::DiffState::differs, {}});

  std::vector<std::pair<const char*, QWidget*>> windows;
  auto* report = new ParamReportWindow(LongReport(), {}, &owner);
  windows.emplace_back("report", report);
  auto* diff = new ParamDiffWindow(&owner);
  diff->ShowList(mismatches);
  windows.emplace_back("mismatches", diff);
  auto* trendsWindow = new TrendsWindow(trends, &owner);
  trendsWindow->SetShaftShown(true);
  windows.emplace_back("trends", trendsWindow);
  windows.emplace_back("traffic", new TrafficWindow(recorder, description, &owner));
  windows.emplace_back("events", new EventLogWindow(log, nullptr, {}, &owner));
  const QString shots = qEnvironmentVariable("ZART_SHOTS_DIR");
  for (const auto& [name, window] : windows) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window)) << name;
    QTest::qWait(shots.isEmpty() ? 10 : 600);  // the window manager's frame
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->frameGeometry()))
        << name << ": " << window->frameGeometry().width() << "x" << window->frameGeometry().height() << " on "
        << screen.width() << "x" << screen.height();
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
      if (!button->isVisibleTo(window)) continue;
      const QRect at(button->mapToGlobal(QPoint(0, 0)), button->size());
      EXPECT_TRUE(screen.contains(at)) << name << ": " << button->text().toStdString();
    }
    if (!shots.isEmpty()) {
      const QSize size = window->screen()->size();
      window->screen()->grabWindow(0).save(
          QStringLiteral("%1/%2-%3x%4.png").arg(shots, QString::fromLatin1(name)).arg(size.width()).arg(size.height()));
    }
    window->hide();
  }
}

// "О программе" names the version and which тп.ini is in use, and where.
TEST(AboutDialogTest, NamesTheVersionQtAndTheSettingsFileInUse) {
  for (const auto& [folder, where] : {std::pair{QCoreApplication::applicationDirPath(), u"(рядом с программой)"},
                                      {QDir::tempPath() + QStringLiteral(u"/ЗАРТ"), u"(в папке пользователя)"}}) {
    const QString path = folder + QStringLiteral(u"/тп.ini");
    const AboutDialog about(path);
    QStringList lines;
    for (const QLabel* label : about.findChildren<QLabel*>()) lines << label->text();
    EXPECT_TRUE(lines.contains(QStringLiteral(u"Версия ") + AboutDialog::VersionText()));
    EXPECT_TRUE(lines.contains(QStringLiteral(u"Библиотека Qt ") + QString::fromLatin1(qVersion())));
    EXPECT_TRUE(lines.join(u'\n').contains(QString::fromUtf16(where)));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("lbl_settings_path"))->text(), QDir::toNativeSeparators(path));
  }
}

}  // namespace
}  // namespace zart::ui

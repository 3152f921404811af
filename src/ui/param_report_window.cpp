#include "ui/param_report_window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "monitor/event_log.h"
#include "ui/param_report_pages.h"
#include "ui/tool_context.h"
#include "ui/window_fit.h"

namespace zart::ui {
namespace {

constexpr double kReportPoints = 9;

QString FooterText(const params::ServiceReport& report) {
  return QStringLiteral(u"Параметры контроллера ЗАРТ, адрес %1, %2")
      .arg(report.identity.slaveAddress)
      .arg(report.identity.when.toString(QStringLiteral(u"dd.MM.yyyy HH:mm")));
}

}  // namespace

QString ParamReportWindow::FontFamily() {
  const QString family = QStringLiteral(u"Liberation Sans");
  if (QFontDatabase::hasFamily(family)) return family;
  // The Windows package carries the face beside the program, so that the
  // PDF looks the same there as on Linux (Wine substitutes a serif face
  // for a sans one it lacks).
  const QDir fonts(QCoreApplication::applicationDirPath() + QStringLiteral(u"/fonts"));
  for (const QString& file : fonts.entryList({QStringLiteral(u"LiberationSans-*.ttf")}, QDir::Files))
    QFontDatabase::addApplicationFont(fonts.filePath(file));
  return QFontDatabase::hasFamily(family) ? family : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

ParamReportWindow::ParamReportWindow(params::ServiceReport report, Rebuild rebuild, QWidget* owner)
    : QDialog(owner), m_rebuild(std::move(rebuild)) {
  setWindowTitle(QStringLiteral(u"Отчёт о параметрах контроллера"));
  m_preview = new QTextBrowser(this);
  m_preview->document()->setDefaultFont(QFont(FontFamily(), static_cast<int>(kReportPoints)));
  auto* print = new QPushButton(QStringLiteral(u"Печать…"), this);
  auto* preview = new QPushButton(QStringLiteral(u"Предварительный просмотр…"), this);
  auto* pdf = new QPushButton(QStringLiteral(u"Сохранить PDF…"), this);
  auto* html = new QPushButton(QStringLiteral(u"Сохранить HTML…"), this);
  auto* compare = new QPushButton(QStringLiteral(u"Сравнить с файлом…"), this);
  auto* close = new QPushButton(QStringLiteral(u"Закрыть"), this);
  m_includeLog = new QCheckBox(QStringLiteral(u"Журнал событий сеанса в отчёте"), this);
  const monitor::EventLog* events = ToolContext::Of(this).Events();
  m_includeLog->setEnabled(events != nullptr);
  m_includeLog->setToolTip(QStringLiteral(u"Последние %1 записей журнала событий (меню «Сервис»)").arg(kMaxLogEntries));

  // Two rows, so that every button stays on a 1366-pixel screen at 144 dpi.
  auto* options = new QHBoxLayout;
  options->addWidget(compare);
  options->addWidget(m_includeLog);
  options->addStretch(1);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {print, preview, pdf, html}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_preview, 1);
  layout->addLayout(options);
  layout->addLayout(buttons);

  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(m_includeLog, &QCheckBox::toggled, this, [this] { Refresh(); });
  connect(print, &QPushButton::clicked, this, [this] {
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) PrintTo(printer);
  });
  connect(preview, &QPushButton::clicked, this, [this] {
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer);
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintTo(*p); });
    WindowFit::Apply(&dialog, QSize(1000, 900));
    dialog.exec();
  });
  auto failed = [this](const QString& path) {
    QMessageBox::warning(this, windowTitle(), QStringLiteral(u"Невозможно открыть файл ") + path +
                                                  QStringLiteral(u" для записи"));
  };
  connect(pdf, &QPushButton::clicked, this, [this, failed] {
    const QString path = AskSavePath(QStringLiteral(u"PDF (*.pdf)"), QStringLiteral(u".pdf"));
    if (!path.isEmpty() && !SavePdf(path)) failed(path);
  });
  connect(html, &QPushButton::clicked, this, [this, failed] {
    const QString path = AskSavePath(QStringLiteral(u"HTML (*.html)"), QStringLiteral(u".html"));
    if (!path.isEmpty() && !SaveHtml(path)) failed(path);
  });
  connect(compare, &QPushButton::clicked, this, [this] {
    const QString file = ToolContext::Of(this).Folders().OpenFileName(
        this, DialogFolders::Purpose::compareFiles, QStringLiteral(u"Файл параметров для сравнения"),
        QStringLiteral(u"Все файлы (*);;Файлы параметров (*.ini)"));
    if (file.isEmpty() || !m_rebuild) return;
    params::ServiceReport rebuilt;
    if (!m_rebuild(file, rebuilt)) {
      QMessageBox::warning(this, windowTitle(), QStringLiteral(u"Невозможно открыть файл ") + file +
                                                    QStringLiteral(u" для чтения"));
      return;
    }
    ShowReport(std::move(rebuilt));
  });
  const QFontMetrics fm(font());
  WindowFit::Apply(this, QSize(std::max(960, fm.averageCharWidth() * 120), std::max(720, fm.height() * 40)));
  ShowReport(std::move(report));
}

void ParamReportWindow::ShowReport(params::ServiceReport report) {
  m_report = std::move(report);
  Refresh();
}

void ParamReportWindow::Refresh() { m_preview->setHtml(Html()); }

QString ParamReportWindow::Html() const {
  QString html = m_report.ToHtml();
  const ToolContext& context = ToolContext::Of(this);
  if (m_includeLog->isChecked() && context.Events() != nullptr) {
    const qsizetype end = html.lastIndexOf(QStringLiteral("</body>"));
    html.insert(end < 0 ? html.size() : end, context.Events()->HtmlSection(context.Names(), kMaxLogEntries));
  }
  return html;
}

void ParamReportWindow::SetUpPrinter(QPrinter& printer) {
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setPageMargins(QMarginsF(15, 12, 12, 12), QPageLayout::Millimeter);
}

int ParamReportWindow::PrintTo(QPrinter& printer) const {
  QTextDocument document;
  document.setDefaultFont(QFont(FontFamily(), static_cast<int>(kReportPoints)));
  document.setHtml(Html());
  return ParamReportPages::Print(document, printer, FooterText(m_report));
}

bool ParamReportWindow::SavePdf(const QString& path) const {
  QFile probe(path);
  if (!probe.open(QIODevice::WriteOnly)) return false;
  probe.close();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  SetUpPrinter(printer);
  printer.setDocName(windowTitle());
  PrintTo(printer);
  return QFile(path).size() > 0;
}

bool ParamReportWindow::SaveHtml(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const QByteArray bytes = Html().toUtf8();
  return file.write(bytes) == bytes.size() && file.flush();
}

QString ParamReportWindow::AskSavePath(const QString& filter, const QString& suffix) {
  const QString name = QStringLiteral(u"Параметры ") + m_report.identity.when.toString(QStringLiteral(u"yyyy-MM-dd HH-mm")) +
                       QStringLiteral(u" адрес ") + QString::number(m_report.identity.slaveAddress) + suffix;
  QString path = ToolContext::Of(this).Folders().SaveFileName(this, DialogFolders::Purpose::report, windowTitle(), name,
                                                              filter);
  if (!path.isEmpty() && !path.endsWith(suffix, Qt::CaseInsensitive)) path += suffix;
  return path;
}

}  // namespace zart::ui

#include "ui/param_report_window.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
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

namespace zart::ui {

ParamReportWindow::ParamReportWindow(params::ServiceReport report, Rebuild rebuild, QWidget* owner)
    : QDialog(owner), m_rebuild(std::move(rebuild)) {
  setWindowTitle(QStringLiteral(u"Отчёт о параметрах контроллера"));
  m_preview = new QTextBrowser(this);
  auto* print = new QPushButton(QStringLiteral(u"Печать…"), this);
  auto* preview = new QPushButton(QStringLiteral(u"Предварительный просмотр…"), this);
  auto* pdf = new QPushButton(QStringLiteral(u"Сохранить PDF…"), this);
  auto* html = new QPushButton(QStringLiteral(u"Сохранить HTML…"), this);
  auto* compare = new QPushButton(QStringLiteral(u"Сравнить с файлом…"), this);
  auto* close = new QPushButton(QStringLiteral(u"Закрыть"), this);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {print, preview, pdf, html, compare}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_preview, 1);
  layout->addLayout(buttons);

  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(print, &QPushButton::clicked, this, [this] {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) PrintTo(printer);
  });
  connect(preview, &QPushButton::clicked, this, [this] {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { PrintTo(*p); });
    dialog.exec();
  });
  connect(pdf, &QPushButton::clicked, this, [this] {
    const QString path = AskSavePath(QStringLiteral(u"PDF (*.pdf)"), QStringLiteral(u".pdf"));
    if (!path.isEmpty() && !SavePdf(path)) {
      QMessageBox::warning(this, windowTitle(), QStringLiteral(u"Невозможно открыть файл ") + path +
                                                    QStringLiteral(u" для записи"));
    }
  });
  connect(html, &QPushButton::clicked, this, [this] {
    const QString path = AskSavePath(QStringLiteral(u"HTML (*.html)"), QStringLiteral(u".html"));
    if (!path.isEmpty() && !SaveHtml(path)) {
      QMessageBox::warning(this, windowTitle(), QStringLiteral(u"Невозможно открыть файл ") + path +
                                                    QStringLiteral(u" для записи"));
    }
  });
  connect(compare, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral(u"Файл параметров для сравнения"),
                                                      QDir::homePath(), QStringLiteral(u"Файлы параметров (*.ini);;Все файлы (*)"));
    if (file.isEmpty() || !m_rebuild) return;
    params::ServiceReport rebuilt;
    if (!m_rebuild(file, rebuilt)) {
      QMessageBox::warning(this, windowTitle(), QStringLiteral(u"Невозможно открыть файл ") + file +
                                                    QStringLiteral(u" для чтения"));
      return;
    }
    ShowReport(std::move(rebuilt));
  });
  resize(960, 720);
  ShowReport(std::move(report));
}

void ParamReportWindow::ShowReport(params::ServiceReport report) {
  m_report = std::move(report);
  m_preview->setHtml(m_report.ToHtml());
}

void ParamReportWindow::PrintTo(QPrinter& printer) const {
  QTextDocument document;
  document.setHtml(m_report.ToHtml());
  document.print(&printer);
}

bool ParamReportWindow::SavePdf(const QString& path) const {
  QFile probe(path);
  if (!probe.open(QIODevice::WriteOnly)) return false;
  probe.close();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setPageMargins(QMarginsF(15, 12, 12, 12), QPageLayout::Millimeter);
  printer.setDocName(windowTitle());
  PrintTo(printer);
  return QFile(path).size() > 0;
}

bool ParamReportWindow::SaveHtml(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const QByteArray bytes = m_report.ToHtml().toUtf8();
  return file.write(bytes) == bytes.size() && file.flush();
}

QString ParamReportWindow::AskSavePath(const QString& filter, const QString& suffix) {
  const QString name = QStringLiteral(u"Параметры ") + m_report.identity.when.toString(QStringLiteral(u"yyyy-MM-dd HH-mm")) +
                       QStringLiteral(u" адрес ") + QString::number(m_report.identity.slaveAddress) + suffix;
  QString path = QFileDialog::getSaveFileName(this, windowTitle(), QDir::home().filePath(name), filter);
  if (!path.isEmpty() && !path.endsWith(suffix, Qt::CaseInsensitive)) path += suffix;
  return path;
}

}  // namespace zart::ui

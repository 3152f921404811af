#include "ui/traffic_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSaveFile>
#include <QTableView>
#include <QVBoxLayout>

#include "link/frame_recorder.h"
#include "link/system_reason.h"
#include "monitor/csv_format.h"
#include "ui/tool_context.h"
#include "ui/traffic_model.h"
#include "ui/window_fit.h"

namespace zart::ui {
namespace {

QString CountersRow(const QString& title, const link::TrafficCounters& c) {
  return QStringLiteral(u"<tr><td><b>%1</b></td><td>%2</td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td>"
                        u"<td>%8</td></tr>")
      .arg(title)
      .arg(c.requests)
      .arg(c.validReplies)
      .arg(c.noAnswers)
      .arg(c.crcMismatches)
      .arg(c.exceptions)
      .arg(c.repeats)
      .arg(c.refused);
}

}  // namespace

TrafficWindow::TrafficWindow(link::FrameRecorder& recorder, const params::FrameDescription& description,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_recorder(recorder) {
  setObjectName(QStringLiteral("frm_traffic"));
  setWindowTitle(QStringLiteral(u"Монитор обмена"));
  m_model = new TrafficModel(recorder, description, this);

  m_pause = new QPushButton(QStringLiteral(u"&Пауза"), this);
  m_pause->setCheckable(true);
  auto* clear = new QPushButton(QStringLiteral(u"&Очистить"), this);
  auto* copy = new QPushButton(QStringLiteral(u"&Копировать"), this);
  auto* save = new QPushButton(QStringLiteral(u"&Сохранить…"), this);
  m_hideIdle = new QCheckBox(QStringLiteral(u"&Фильтр: без опроса состояния и пульса"), this);
  m_hideIdle->setToolTip(QStringLiteral(u"Скрывает чтения состояния и пульсы, получившие ответ; сбои видны всегда"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_pause);
  buttons->addWidget(clear);
  buttons->addWidget(copy);
  buttons->addWidget(save);
  buttons->addSpacing(12);
  buttons->addWidget(m_hideIdle);
  buttons->addStretch(1);

  m_counters = new QLabel(this);
  m_counters->setTextFormat(Qt::RichText);

  m_table = new QTableView(this);
  m_table->setModel(m_model);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setWordWrap(false);
  m_table->verticalHeader()->hide();
  m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
  m_table->horizontalHeader()->setStretchLastSection(false);
  m_table->horizontalHeader()->setSectionResizeMode(TrafficModel::kMeaning, QHeaderView::Stretch);
  const int digit = m_table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
  m_table->setColumnWidth(TrafficModel::kTime, digit * 10);
  m_table->setColumnWidth(TrafficModel::kDirection,
                          m_table->fontMetrics().horizontalAdvance(QStringLiteral(u"Направление")) + 24);
  m_table->setColumnWidth(TrafficModel::kFrame, digit * 3 * 13);
  m_table->setColumnWidth(TrafficModel::kVerdict, m_table->fontMetrics().horizontalAdvance(QStringLiteral(u"несовпадение КС")) + 16);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(m_counters);
  layout->addWidget(m_table, 1);
  WindowFit::Apply(this, QSize(1200, std::max(600, m_table->fontMetrics().height() * 30)));

  connect(clear, &QPushButton::clicked, this, [this] { ClearAll(); });
  connect(copy, &QPushButton::clicked, this, [this] { CopyRows(); });
  connect(save, &QPushButton::clicked, this, [this] { SaveRows(); });
  connect(m_hideIdle, &QCheckBox::toggled, this, [this](bool on) { m_model->SetHideIdle(on); });
  m_timer.setInterval(kRefreshMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
  UpdateCounters();
}

void TrafficWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
  m_timer.start();
}

void TrafficWindow::hideEvent(QHideEvent* event) {
  m_timer.stop();
  QWidget::hideEvent(event);
}

void TrafficWindow::Refresh() {
  if (!m_pause->isChecked()) {
    // Follow the newest row only while the user has not scrolled away.
    QScrollBar* bar = m_table->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    m_model->Pull();
    if (atEnd) m_table->scrollToBottom();
  }
  UpdateCounters();
}

void TrafficWindow::UpdateCounters() {
  const double share = m_recorder.GoodShareLastMinute();
  const QString shareText = share < 0 ? QStringLiteral(u"—") : locale().toString(share * 100, 'f', 1) + QStringLiteral(u" %");
  m_counters->setText(
      QStringLiteral(u"<table cellspacing=0 cellpadding=3><tr><td></td><td>запросов</td><td>ответов</td><td>нет ответа</td>"
                     u"<td>несовп. КС</td><td>исключений</td><td>повторов</td><td>отказов очереди</td></tr>") +
      CountersRow(QStringLiteral(u"С начала"), m_recorder.SinceStart()) +
      CountersRow(QStringLiteral(u"С очистки"), m_recorder.SinceCleared()) +
      QStringLiteral(u"</table>Годных ответов за последнюю минуту: <b>%1</b>").arg(shareText));
}

void TrafficWindow::ClearAll() {
  m_model->Clear();
  m_recorder.ClearCounters();
  UpdateCounters();
}

QString TrafficWindow::RowsText(bool csv, bool selectedOnly) const {
  QStringList lines;
  QStringList header;
  for (int c = 0; c < TrafficModel::kColumnCount; ++c) header << m_model->headerData(c, Qt::Horizontal).toString();
  auto add = [&](const QStringList& cells) {
    lines << (csv ? monitor::CsvFormat::Line(cells) : cells.join(QLatin1Char('\t')));
  };
  add(header);
  const QModelIndexList selected = m_table->selectionModel()->selectedRows();
  if (selectedOnly && !selected.isEmpty()) {
    QList<int> rows;
    for (const QModelIndex& index : selected) rows << index.row();
    std::sort(rows.begin(), rows.end());
    for (int row : rows) add(m_model->RowTexts(row));
  } else {
    for (int row = 0; row < m_model->rowCount(); ++row) add(m_model->RowTexts(row));
  }
  return lines.join(QStringLiteral(u"\r\n")) + QStringLiteral(u"\r\n");
}

QByteArray TrafficWindow::FileBytes(bool csv) const {
  // A CSV file in the tool's spreadsheet format (byte-order mark, ";"); the
  // text file as before, plain UTF-8 with tabs.
  if (!csv) return RowsText(false, false).toUtf8();
  QStringList lines = RowsText(true, false).split(QStringLiteral(u"\r\n"));
  lines.removeLast();
  return monitor::CsvFormat::Document(lines);
}

void TrafficWindow::CopyRows() { QApplication::clipboard()->setText(RowsText(false, true)); }

void TrafficWindow::SaveRows() {
  QString filter;
  const QString name =
      QStringLiteral(u"обмен-%1.txt").arg(QDateTime::currentDateTime().toString(QStringLiteral(u"yyyyMMdd-HHmmss")));
  const QString path = ToolContext::Of(this).Folders().SaveFileName(
      this, DialogFolders::Purpose::trafficExport, QStringLiteral(u"Сохранить обмен"), name,
      QStringLiteral(u"Текст (*.txt);;Таблица CSV (*.csv)"), &filter);
  if (path.isEmpty()) return;
  const bool csv = path.endsWith(QStringLiteral(u".csv"), Qt::CaseInsensitive) || filter.contains(QStringLiteral(u"csv"));
  QSaveFile file(path);
  const QByteArray bytes = FileBytes(csv);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral(u"Не удалось сохранить «%1»: %2")
                             .arg(path, link::FileErrorReason(path, file, link::FileAccess::write)));
  }
}

}  // namespace zart::ui

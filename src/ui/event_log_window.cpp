#include "ui/event_log_window.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include "link/exchange_cycle.h"
#include "link/system_reason.h"
#include "monitor/csv_format.h"
#include "monitor/event_log.h"
#include "ui/event_log_model.h"
#include "ui/tool_context.h"
#include "ui/window_fit.h"

namespace zart::ui {
namespace {

constexpr monitor::EventGroup kGroupOrder[5] = {monitor::EventGroup::lamps, monitor::EventGroup::discreteSignals,
                                                monitor::EventGroup::faults, monitor::EventGroup::link,
                                                monitor::EventGroup::other};
const char16_t* const kGroupCaptions[5] = {u"&Лампы", u"&Сигналы", u"&Аварии", u"Свя&зь", u"&Прочее"};
// Typing in the search box filters after a short pause, not at every key.
constexpr int kSearchDelayMs = 300;

}  // namespace

EventLogWindow::EventLogWindow(const monitor::EventLog& log, const monitor::SignalNames* names, FileToggle toggle,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), m_log(log), m_names(names), m_toggle(std::move(toggle)) {
  setObjectName(QStringLiteral("frm_event_log"));
  setWindowTitle(QStringLiteral(u"Журнал событий"));
  m_model = new EventLogModel(log, this);
  m_model->SetNames(names);

  auto* filters = new QHBoxLayout;
  filters->addWidget(new QLabel(QStringLiteral(u"Показать:"), this));
  for (int i = 0; i < 5; ++i) {
    m_groups[i] = new QCheckBox(QString::fromUtf16(kGroupCaptions[i]), this);
    m_groups[i]->setChecked(true);
    filters->addWidget(m_groups[i]);
    connect(m_groups[i], &QCheckBox::toggled, this, [this] { ApplyGroups(); });
  }
  m_groups[4]->setToolTip(QStringLiteral(u"Тип объекта и блокировка управления по Modbus"));
  filters->addSpacing(12);
  auto* searchLabel = new QLabel(QStringLiteral(u"П&оиск:"), this);
  m_search = new QLineEdit(this);
  m_search->setClearButtonEnabled(true);
  m_search->setPlaceholderText(QStringLiteral(u"текст в любом столбце"));
  searchLabel->setBuddy(m_search);
  filters->addWidget(searchLabel);
  filters->addWidget(m_search, 1);

  auto* copy = new QPushButton(QStringLiteral(u"&Копировать"), this);
  auto* save = new QPushButton(QStringLiteral(u"Сохранить &CSV…"), this);
  m_file = new QPushButton(QStringLiteral(u"&Записывать в файл…"), this);
  m_file->setCheckable(true);
  m_file->setToolTip(QStringLiteral(u"Каждая запись сразу пишется в файл CSV (раз в секунду на диск)"));
  m_counts = new QLabel(this);
  m_counts->setWordWrap(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(copy);
  buttons->addWidget(save);
  buttons->addWidget(m_file);
  buttons->addSpacing(12);
  buttons->addWidget(m_counts, 1);

  m_table = new QTableView(this);
  m_table->setModel(m_model);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setWordWrap(false);
  m_table->verticalHeader()->hide();
  // Fixed row heights and column widths: the view never measures 100 000 rows.
  m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
  const QFontMetrics fm = m_table->fontMetrics();
  m_table->setColumnWidth(EventLogModel::kTime, fm.horizontalAdvance(QStringLiteral(u"00.00.0000 00:00:00.000")) + 16);
  m_table->setColumnWidth(EventLogModel::kKind, fm.horizontalAdvance(QStringLiteral(u"Состояние")) + 16);
  m_table->setColumnWidth(EventLogModel::kSubject, fm.horizontalAdvance(QLatin1Char('M')) * 26);
  // Wide enough for a lost link's reason: a narrow window scrolls sideways
  // rather than cut it, a wide one gives the column the rest.
  m_changeWidth = fm.horizontalAdvance(QStringLiteral(u"потеряна: ") + link::ExchangeCycle::NoAnswerMessage()) + 24;
  m_table->setColumnWidth(EventLogModel::kChange, m_changeWidth);
  m_table->horizontalHeader()->setStretchLastSection(false);
  m_table->viewport()->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addLayout(buttons);
  layout->addWidget(m_table, 1);

  connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(RowsText(true)); });
  connect(save, &QPushButton::clicked, this, [this] { SaveRows(); });
  connect(m_file, &QPushButton::clicked, this, [this](bool on) { SetFileOn(m_toggle ? m_toggle(on) : false); });
  m_searchDelay.setSingleShot(true);
  m_searchDelay.setInterval(kSearchDelayMs);
  connect(&m_searchDelay, &QTimer::timeout, this, [this] {
    m_model->SetSearch(m_search->text());
    UpdateCounts();
  });
  connect(m_search, &QLineEdit::textChanged, this, [this] { m_searchDelay.start(); });
  m_timer.setInterval(kRefreshMs);
  connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
  WindowFit::Apply(this, QSize(fm.horizontalAdvance(QLatin1Char('M')) * 110, fm.height() * 36));
  UpdateCounts();
}

void EventLogWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
  m_table->scrollToBottom();
  m_timer.start();
}

bool EventLogWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_table->viewport() && event->type() == QEvent::Resize) {
    int others = 0;
    for (int c = 0; c < EventLogModel::kChange; ++c) others += m_table->columnWidth(c);
    m_table->setColumnWidth(EventLogModel::kChange, std::max(m_changeWidth, m_table->viewport()->width() - others));
  }
  return QWidget::eventFilter(watched, event);
}

void EventLogWindow::hideEvent(QHideEvent* event) {
  m_timer.stop();
  QWidget::hideEvent(event);
}

void EventLogWindow::SetNames(const monitor::SignalNames* names) {
  m_names = names;
  m_model->SetNames(names);
}

void EventLogWindow::SetFileOn(bool on) { m_file->setChecked(on); }

void EventLogWindow::Refresh() {
  // Follow the newest row only while the user has not scrolled away.
  QScrollBar* bar = m_table->verticalScrollBar();
  const bool atEnd = bar->value() >= bar->maximum();
  m_model->Pull();
  if (atEnd) m_table->scrollToBottom();
  UpdateCounts();
}

void EventLogWindow::ApplyGroups() {
  unsigned groups = 0;
  for (int i = 0; i < 5; ++i) {
    if (m_groups[i]->isChecked()) groups |= static_cast<unsigned>(kGroupOrder[i]);
  }
  m_model->SetGroups(groups);
  UpdateCounts();
}

void EventLogWindow::UpdateCounts() {
  const QLocale locale;
  QString text = QStringLiteral(u"Показано %1 из %2")
                     .arg(locale.toString(m_model->rowCount()), locale.toString(m_log.Total() - m_log.OldestNumber()));
  if (m_log.OldestNumber() > 0) {
    text += QStringLiteral(u"; хранятся последние %1 записей, самые старые (%2) удалены")
                .arg(locale.toString(static_cast<qulonglong>(monitor::EventLog::kCapacity)),
                     locale.toString(m_log.OldestNumber()));
  }
  m_counts->setText(text);
}

QString EventLogWindow::RowsText(bool selectedOnly) const {
  QStringList lines{QStringList{QStringLiteral(u"Время"), QStringLiteral(u"Вид"), QStringLiteral(u"Что"),
                                QStringLiteral(u"Изменение")}
                        .join(QLatin1Char('\t'))};
  QList<int> rows;
  if (selectedOnly) {
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end());
  }
  if (rows.isEmpty()) {
    for (int row = 0; row < m_model->rowCount(); ++row) rows << row;
  }
  for (int row : rows) lines << m_model->RowTexts(row).join(QLatin1Char('\t'));
  return lines.join(QStringLiteral(u"\r\n")) + QStringLiteral(u"\r\n");
}

bool EventLogWindow::SaveCsv(const QString& path, QString* error) const {
  const monitor::CsvFormat format = ToolContext::Of(this).Csv();
  QStringList lines{monitor::EventLog::CsvHeader()};
  for (int row = 0; row < m_model->rowCount(); ++row) {
    if (const monitor::EventEntry* e = m_log.Find(m_model->EntryNumber(row))) lines << m_log.CsvLine(format, *e, m_names);
  }
  const QByteArray bytes = monitor::CsvFormat::Document(lines);
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return true;
  if (error != nullptr) {
    *error = QStringLiteral(u"Не удалось сохранить «%1»: %2")
                 .arg(path, link::FileErrorReason(path, file, link::FileAccess::write));
  }
  return false;
}

void EventLogWindow::SaveRows() {
  const QString name = QStringLiteral(u"события-%1.csv")
                           .arg(QDateTime::currentDateTime().toString(QStringLiteral(u"yyyyMMdd-HHmmss")));
  const QString path = ToolContext::Of(this).Folders().SaveFileName(
      this, DialogFolders::Purpose::eventLog, QStringLiteral(u"Сохранить журнал событий"), name,
      QStringLiteral(u"Таблица CSV (*.csv)"));
  QString error;
  if (!path.isEmpty() && !SaveCsv(path, &error)) QMessageBox::warning(this, windowTitle(), error);
}

}  // namespace zart::ui

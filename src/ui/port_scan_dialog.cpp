#include "ui/port_scan_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/window_fit.h"

namespace zart::ui {

PortScanDialog::PortScanDialog(link::ExchangeCycle& cycle, const QString& link, int replyTimeMs, QWidget* parent)
    : QDialog(parent), m_scan(cycle), m_replyTimeMs(replyTimeMs) {
  setWindowTitle(QStringLiteral(u"Поиск контроллера"));
  auto* caption = new QLabel(QStringLiteral(u"Опрос адресов %1…%2 на %3: каждому адресу — одно чтение состояния.")
                                 .arg(kFirstAddress)
                                 .arg(kLastAddress)
                                 .arg(link),
                             this);
  caption->setWordWrap(true);
  m_progress = new QProgressBar(this);
  m_progress->setRange(0, kLastAddress - kFirstAddress + 1);
  m_progress->setFormat(QStringLiteral(u"Опрошено %v из %m"));
  m_list = new QListWidget(this);
  m_list->setObjectName(QStringLiteral("lst_scan_found"));
  m_state = new QLabel(this);
  m_state->setWordWrap(true);
  m_choose = new QPushButton(QStringLiteral(u"Выбрать"), this);
  m_choose->setEnabled(false);
  m_choose->setDefault(true);
  m_cancel = new QPushButton(QStringLiteral(u"Отмена"), this);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_choose);
  buttons->addWidget(m_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(caption);
  layout->addWidget(m_progress);
  layout->addWidget(m_list, 1);
  layout->addWidget(m_state);
  layout->addLayout(buttons);

  m_scan.SetProgressHandler([this](int tried, int) { m_progress->setValue(tried); });
  m_scan.SetFoundHandler([this](const monitor::ScanHit& hit) { Found(hit); });
  m_scan.SetFinishedHandler([this](bool stopped) { Finished(stopped); });
  connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { m_choose->setEnabled(row >= 0); });
  connect(m_list, &QListWidget::itemActivated, this, [this] { Choose(); });
  connect(m_choose, &QPushButton::clicked, this, [this] { Choose(); });
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

  const QFontMetrics fm(font());
  WindowFit::Apply(this, QSize(fm.averageCharWidth() * 64, fm.height() * 18));
}

PortScanDialog::~PortScanDialog() { m_scan.Stop(); }

bool PortScanDialog::Start() {
  m_list->clear();
  m_progress->setValue(0);
  m_cancel->setText(QStringLiteral(u"Отмена"));
  if (!m_scan.Start(kFirstAddress, kLastAddress, m_replyTimeMs)) {
    Refuse(QStringLiteral(u"очередь запросов занята, повторите после передачи параметров."));
    return false;
  }
  m_state->setText(QStringLiteral(u"Поиск…"));
  return true;
}

void PortScanDialog::Refuse(const QString& why) {
  m_state->setText(QStringLiteral(u"Поиск не начат: ") + why);
  m_cancel->setText(QStringLiteral(u"Закрыть"));
}

QString PortScanDialog::StateText() const { return m_state->text(); }

void PortScanDialog::Found(const monitor::ScanHit& hit) {
  auto* item = new QListWidgetItem(hit.Summary(), m_list);
  item->setData(Qt::UserRole, hit.address);
  if (m_list->currentRow() < 0) m_list->setCurrentRow(0);
}

void PortScanDialog::Finished(bool stopped) {
  const int found = m_list->count();
  if (stopped) {
    m_state->setText(QStringLiteral(u"Поиск остановлен. Опрошено адресов: %1, ответили: %2.")
                         .arg(m_scan.Tried())
                         .arg(found));
  } else if (found == 0) {
    m_state->setText(QStringLiteral(u"Ни один адрес %1…%2 не ответил: проверьте подключение, порт и чётность.")
                         .arg(kFirstAddress)
                         .arg(kLastAddress));
  } else {
    m_state->setText(QStringLiteral(u"Поиск закончен. Ответили: %1. Выберите контроллер.").arg(found));
  }
  m_cancel->setText(QStringLiteral(u"Закрыть"));
}

void PortScanDialog::Choose() {
  const QListWidgetItem* item = m_list->currentItem();
  if (item == nullptr) return;
  m_scan.Stop();
  emit addressChosen(item->data(Qt::UserRole).toInt());
  accept();
}

void PortScanDialog::done(int result) {
  // "Отмена", the window's close button and Esc all end here: the scan
  // stops at once.
  m_scan.Stop();
  QDialog::done(result);
}

}  // namespace zart::ui

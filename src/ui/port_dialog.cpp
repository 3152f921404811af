#include "ui/port_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>

#include "link/exchange_cycle.h"
#include "link/serial_port.h"
#include "link/status_line.h"
#include "settings/settings_file.h"
#include "ui/common_layout.h"
#include "ui/port_dialog_state.h"

namespace zart::ui {
namespace {

QString EntryText(int n) { return QStringLiteral("COM") + QString::number(n); }

}  // namespace

PortDialog::PortDialog(link::SerialPort& port, settings::SettingsFile& settings, link::StatusLine& status,
                       const link::ExchangeCycle& exchange, PortDialogState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_port(port),
      m_settings(settings),
      m_status(status),
      m_exchange(exchange),
      m_state(state) {
  setObjectName(QStringLiteral("wndSetCOM"));
  setWindowTitle(QStringLiteral(u"Настройка порта"));
  const CommonLayout layout(this);
  setFont(layout.DefaultFont());
  // Wider than the design's 4665 twips by the room of "Обновить" beside the list.
  setFixedSize(layout.Px(kWidth), layout.Px(2205));
  move(layout.Px(5940), layout.Px(5040));

  Label1 = new QLabel(QStringLiteral(u"Выберите порт:"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  layout.Place(Label1, 480, 600, 1575, 255);

  cmbCOMList = new QComboBox(this);
  cmbCOMList->setObjectName(QStringLiteral("cmbCOMList"));
  cmbCOMList->setEditable(true);
  cmbCOMList->setInsertPolicy(QComboBox::NoInsert);
  layout.Place(cmbCOMList, 2280, 600, 1575, 315);

  m_refresh = new QPushButton(QStringLiteral(u"Обновить"), this);
  m_refresh->setObjectName(QStringLiteral("cmd_refresh"));
  m_refresh->setToolTip(QStringLiteral(u"Найти порты снова: адаптер, подключённый после открытия окна"));
  layout.Place(m_refresh, 3960, 600, 1455, 315);

  // Beside the port: replies judged as soon as they are complete. Stored
  // with "ОК" like the port.
  chk_fast = new QCheckBox(QStringLiteral(u"Быстрый обмен"), this);
  chk_fast->setObjectName(QStringLiteral("chk_fast"));
  chk_fast->setChecked(m_settings.FastExchange());
  layout.Place(chk_fast, 480, 1020, 3375, 285);

  // "ОК" in Cyrillic letters.
  m_ok = new QPushButton(QStringLiteral(u"ОК"), this);
  m_ok->setObjectName(QStringLiteral("OK"));
  layout.Place(m_ok, 2520, 1440, 1335, 375);
  m_cancel = new QPushButton(QStringLiteral(u"Отмена"), this);
  m_cancel->setObjectName(QStringLiteral("Cancel"));
  layout.Place(m_cancel, 480, 1440, 1335, 375);
  // Neither button answers Enter.
  for (QPushButton* b : {m_ok, m_cancel, m_refresh}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  setTabOrder(m_ok, m_cancel);
  setTabOrder(m_cancel, cmbCOMList);
  setTabOrder(cmbCOMList, m_refresh);
  setTabOrder(m_refresh, chk_fast);

  connect(cmbCOMList, &QComboBox::activated, this, [this] { cmbCOMList_Click(); });
  connect(m_ok, &QPushButton::clicked, this, [this] { OK_Click(); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { Cancel_Click(); });
  connect(m_refresh, &QPushButton::clicked, this, [this] { Refresh_Click(); });

  Load();
}

PortDialog::~PortDialog() = default;

void PortDialog::Load() {
  saved_port = m_settings.ComPort();
  Probe();
}

void PortDialog::Refresh_Click() {
  // The port in use is probed with the others; the one picked (or typed)
  // is opened again afterwards.
  const int keep = SelectedPort() > 0 ? SelectedPort() : m_settings.ComPort();
  const int current = m_settings.ComPort();
  m_settings.SetComPort(keep);
  Probe();
  m_settings.SetComPort(current);
}

void PortDialog::Probe() {
  if (m_port.IsOpen()) m_port.Close();
  cmbCOMList->clear();

  for (int n = 1; n <= kProbedPorts; ++n) {
    bool probe_ok = m_port.SetPortNumber(n);
    if (!m_port.Open().ok()) probe_ok = false;
    // A probed port stays open while pending events run once; the exchange
    // may send a frame to it meanwhile, which the next tick judges as no
    // answer.
    QCoreApplication::processEvents();
    if (probe_ok) {
      m_port.Close();
      cmbCOMList->addItem(EntryText(n));
      cmbCOMList->setItemData(cmbCOMList->count() - 1, m_port.DevicePath(n), Qt::ToolTipRole);
    } else if (m_port.IsOpen()) {
      // A refused number with an opening that still succeeded on the old
      // one: close it, or every later probe would be refused as well.
      m_port.Close();
    }
  }

  cmbCOMList->setCurrentIndex(-1);
  cmbCOMList->setEditText(QStringLiteral(u"Выберите порт"));
  const QString current = EntryText(m_settings.ComPort());
  for (int i = 0; i < cmbCOMList->count() && i < kProbedPorts; ++i) {
    if (cmbCOMList->itemText(i) == current) {
      cmbCOMList->setCurrentIndex(i);
      cmbCOMList_Click();
    }
  }

  // Already open when the entry above was selected; both calls then fail
  // harmlessly.
  m_port.SetPortNumber(m_settings.ComPort());
  m_port.Open();
}

int PortDialog::TypedPort(const QString& text) {
  static const QRegularExpression kPort(QStringLiteral(u"^\\s*(?:COM\\s*)?(\\d{1,3})\\s*$"),
                                        QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = kPort.match(text);
  if (!m.hasMatch()) return 0;
  const int n = m.captured(1).toInt();
  return n >= 1 && n <= 255 ? n : 0;
}

int PortDialog::SelectedPort() const {
  const int index = cmbCOMList->currentIndex();
  const QString typed = cmbCOMList->currentText();
  // A port typed over the list (one not probed, COM17 and above, or one
  // plugged in later) counts as typed; the list's own prompt names none.
  if (index < 0 || typed != cmbCOMList->itemText(index)) return TypedPort(typed);
  return TypedPort(cmbCOMList->itemText(index));
}

void PortDialog::cmbCOMList_Click() {
  if (m_port.IsOpen()) m_port.Close();
  m_port.SetPortNumber(SelectedPort());
  m_port.Open();
}

void PortDialog::OK_Click() {
  m_state.port_confirmed = true;
  m_settings.SetComPort(SelectedPort());
  m_settings.SetFastExchange(chk_fast->isChecked());
  m_settings.SaveConfig(m_exchange.SlaveAddress());
  accept();
}

void PortDialog::Cancel_Click() {
  m_state.port_confirmed = false;
  reject();
}

void PortDialog::done(int result) {
  if (!m_unloaded) {
    m_unloaded = true;
    if (m_port.IsOpen()) m_port.Close();
    if (!m_state.port_confirmed) m_settings.SetComPort(saved_port);
    ReopenPort();
  }
  QDialog::done(result);
}

void PortDialog::ReopenPort() {
  if (m_port.IsOpen()) return;
  if (!m_port.SetPortNumber(m_settings.ComPort())) m_status.SetStatusText(QStringLiteral(u"Порт не выбран"));
  // Tried even after a refused number: the port opens on the number it last
  // accepted, if it can.
  if (!m_port.Open().ok()) m_status.SetStatusText(QStringLiteral(u"Порт не выбран"));
}

void PortDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  m_ok->setFocus(Qt::OtherFocusReason);
}

void PortDialog::keyPressEvent(QKeyEvent* event) {
  // Enter picks nothing; Escape closes like the close box.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace zart::ui

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
#include <QSpinBox>

#include "link/exchange_cycle.h"
#include "link/network_port.h"
#include "link/port_switch.h"
#include "link/serial_port.h"
#include "link/status_line.h"
#include "settings/settings_file.h"
#include "ui/common_layout.h"
#include "ui/port_dialog_state.h"
#include "ui/port_scan_dialog.h"

namespace zart::ui {
namespace {

QString EntryText(int n) { return QStringLiteral("COM") + QString::number(n); }

/// The position of a mode in the list: transparent first.
int ModeIndex(link::NetMode mode) { return mode == link::NetMode::modbus_tcp ? 1 : 0; }

}  // namespace

PortDialog::PortDialog(link::PortSwitch& links, settings::SettingsFile& settings, link::StatusLine& status,
                       link::ExchangeCycle& exchange, PortDialogState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_links(links),
      m_port(links.Serial()),
      m_settings(settings),
      m_status(status),
      m_exchange(exchange),
      m_state(state),
      m_check(exchange) {
  setObjectName(QStringLiteral("wndSetCOM"));
  setWindowTitle(QStringLiteral(u"Настройка порта"));
  const CommonLayout layout(this);
  setFont(layout.DefaultFont());
  // Wider than the design's 4665 twips by the room of "Обновить" beside the
  // list and of the gateway's modes, and taller by the network part.
  setFixedSize(layout.Px(kWidth), layout.Px(kHeight));
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

  // For a controller whose address is not known: beside "Быстрый обмен".
  cmd_scan = new QPushButton(QStringLiteral(u"Поиск контроллера…"), this);
  cmd_scan->setObjectName(QStringLiteral("cmd_scan"));
  cmd_scan->setToolTip(QStringLiteral(u"Опросить адреса 0…127 на выбранном порту или шлюзе и выбрать ответивший"));
  layout.Place(cmd_scan, 3960, 1005, 2535, 315);

  BuildNetworkPart(layout);

  // "ОК" in Cyrillic letters; both buttons below the network part.
  constexpr int kButtonsTop = 3840;
  m_ok = new QPushButton(QStringLiteral(u"ОК"), this);
  m_ok->setObjectName(QStringLiteral("OK"));
  layout.Place(m_ok, 2520, kButtonsTop, 1335, 375);
  m_cancel = new QPushButton(QStringLiteral(u"Отмена"), this);
  m_cancel->setObjectName(QStringLiteral("Cancel"));
  layout.Place(m_cancel, 480, kButtonsTop, 1335, 375);
  // Neither button answers Enter.
  for (QPushButton* b : {m_ok, m_cancel, m_refresh, cmd_scan, cmd_net_check}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  setTabOrder(m_ok, m_cancel);
  setTabOrder(m_cancel, cmbCOMList);
  setTabOrder(cmbCOMList, m_refresh);
  setTabOrder(m_refresh, chk_fast);
  setTabOrder(chk_fast, cmd_scan);
  setTabOrder(cmd_scan, chk_net);
  setTabOrder(chk_net, txt_net_address);
  setTabOrder(txt_net_address, cmb_net_mode);
  setTabOrder(cmb_net_mode, txt_reply_timeout);
  setTabOrder(txt_reply_timeout, cmd_net_check);

  connect(cmbCOMList, &QComboBox::activated, this, [this] { cmbCOMList_Click(); });
  connect(m_ok, &QPushButton::clicked, this, [this] { OK_Click(); });
  connect(m_cancel, &QPushButton::clicked, this, [this] { Cancel_Click(); });
  connect(m_refresh, &QPushButton::clicked, this, [this] { Refresh_Click(); });
  connect(cmd_net_check, &QPushButton::clicked, this, [this] { cmd_net_check_Click(); });
  connect(cmd_scan, &QPushButton::clicked, this, [this] { cmd_scan_Click(); });
  connect(chk_net, &QCheckBox::toggled, this, [this] { EnableNetworkPart(); });

  Load();
}

void PortDialog::BuildNetworkPart(const CommonLayout& layout) {
  chk_net = new QCheckBox(QStringLiteral(u"Через шлюз Ethernet (по сети)"), this);
  chk_net->setObjectName(QStringLiteral("chk_net"));
  layout.Place(chk_net, 480, 1440, 6015, 285);

  const auto caption = [&](const char* name, const char16_t* text, int top) {
    auto* label = new QLabel(QString::fromUtf16(text), this);
    label->setObjectName(QLatin1String(name));
    layout.Place(label, 720, top + 45, 1560, 255);
    return label;
  };
  caption("lblc_net_address", u"Адрес шлюза:", 1800);
  txt_net_address = new QLineEdit(this);
  txt_net_address->setObjectName(QStringLiteral("txt_net_address"));
  txt_net_address->setPlaceholderText(QStringLiteral(u"192.168.10.20:4001"));
  txt_net_address->setToolTip(QStringLiteral(u"Адрес или имя шлюза и порт TCP, например 192.168.10.20:4001"));
  layout.Place(txt_net_address, 2280, 1800, 4215, 315);

  caption("lblc_net_mode", u"Режим:", 2220);
  cmb_net_mode = new QComboBox(this);
  cmb_net_mode->setObjectName(QStringLiteral("cmb_net_mode"));
  cmb_net_mode->addItem(QStringLiteral(u"RTU поверх TCP (прозрачный шлюз)"));
  cmb_net_mode->addItem(QStringLiteral(u"Modbus TCP (шлюз с преобразованием)"));
  layout.Place(cmb_net_mode, 2280, 2220, 4215, 315);

  caption("lblc_reply_timeout", u"Время ответа, мс:", 2640);
  txt_reply_timeout = new QSpinBox(this);
  txt_reply_timeout->setObjectName(QStringLiteral("txt_reply_timeout"));
  txt_reply_timeout->setRange(link::NetworkPort::kMinReplyTimeoutMs, link::NetworkPort::kMaxReplyTimeoutMs);
  txt_reply_timeout->setSingleStep(100);
  txt_reply_timeout->setToolTip(
      QStringLiteral(u"Сколько ждать ответа контроллера через сеть; через VPN или сотовую связь больше"));
  layout.Place(txt_reply_timeout, 2280, 2640, 1575, 315);

  cmd_net_check = new QPushButton(QStringLiteral(u"Проверить"), this);
  cmd_net_check->setObjectName(QStringLiteral("cmd_net_check"));
  cmd_net_check->setToolTip(QStringLiteral(u"Подключиться к шлюзу и один раз прочитать состояние контроллера"));
  layout.Place(cmd_net_check, 3960, 2640, 1455, 315);

  lbl_net_result = new QLabel(this);
  lbl_net_result->setObjectName(QStringLiteral("lbl_net_result"));
  lbl_net_result->setWordWrap(true);
  lbl_net_result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lbl_net_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout.Place(lbl_net_result, 720, 3060, 5775, 660);

  // The link in force, or the gateway last chosen.
  std::optional<link::LinkAddress> address = link::LinkAddress::Parse(m_settings.Link());
  if (!address && !m_links.Network().Address().host.isEmpty()) address = m_links.Network().Address();
  if (address) {
    txt_net_address->setText(address->Name());
    cmb_net_mode->setCurrentIndex(ModeIndex(address->mode));
  }
  txt_reply_timeout->setValue(m_settings.ReplyTimeoutMs());
  chk_net->setChecked(!m_settings.Link().isEmpty());
  EnableNetworkPart();
}

void PortDialog::EnableNetworkPart() {
  const bool on = chk_net->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{txt_net_address, cmb_net_mode, txt_reply_timeout, cmd_net_check}) {
    w->setEnabled(on && (w != cmd_net_check || !m_check.Running()));
  }
  for (const char* name : {"lblc_net_address", "lblc_net_mode", "lblc_reply_timeout"}) {
    if (auto* label = findChild<QLabel*>(QLatin1String(name))) label->setEnabled(on);
  }
}

std::optional<link::LinkAddress> PortDialog::EnteredAddress(QString* error) const {
  QString text = txt_net_address->text().trimmed();
  if (text.isEmpty()) {
    if (error) *error = QStringLiteral(u"Укажите адрес шлюза, например 192.168.10.20:4001");
    return std::nullopt;
  }
  // A whole address pasted from the settings file keeps its own mode.
  if (!text.contains(QStringLiteral(u"://"))) {
    const bool mbap = cmb_net_mode->currentIndex() == ModeIndex(link::NetMode::modbus_tcp);
    text = (mbap ? QStringLiteral(u"tcp://") : QStringLiteral(u"rtuovertcp://")) + text;
  }
  return link::LinkAddress::Parse(text, error);
}

void PortDialog::ShowResult(const QString& text, bool good) {
  lbl_net_result->setText(text);
  lbl_net_result->setStyleSheet(good ? QStringLiteral(u"color: #006400") : QStringLiteral(u"color: #B00000"));
}

void PortDialog::UseGateway(const link::LinkAddress& address, int replyTimeoutMs) {
  link::NetworkPort& net = m_links.Network();
  net.SetReplyTimeoutMs(replyTimeoutMs);
  const bool same = m_links.UsesNetwork() && net.Address() == address && (net.IsOpen() || net.Connecting());
  m_links.UseNetwork();
  if (same) return;
  net.Close();
  net.SetAddress(address);
  net.Open();
}

void PortDialog::cmd_net_check_Click() {
  QString error;
  const std::optional<link::LinkAddress> address = EnteredAddress(&error);
  if (!address) {
    ShowResult(error, false);
    return;
  }
  txt_net_address->setText(address->Name());
  cmb_net_mode->setCurrentIndex(ModeIndex(address->mode));
  UseGateway(*address, txt_reply_timeout->value());
  lbl_net_result->setStyleSheet(QString());
  lbl_net_result->setText(QStringLiteral(u"Проверка связи с %1…").arg(address->Name()));
  m_check.Start([this](bool found, const QString& text) {
    ShowResult(text, found);
    EnableNetworkPart();
  });
  EnableNetworkPart();
}

void PortDialog::cmd_scan_Click() {
  // A gateway adds its own turn-around to every reply.
  const bool network = m_links.UsesNetwork();
  PortScanDialog scan(m_exchange, m_links.LinkName(), network ? kScanReplyMsNetwork : 0, this);
  m_scanDialog = &scan;
  connect(&scan, &PortScanDialog::addressChosen, this, [this](int address) { m_exchange.SwitchSlaveAddress(address); });
  // Through a closed port or a gateway not connected the requests would
  // only wait in the queue.
  if (m_links.IsOpen()) {
    scan.Start();
  } else {
    scan.Refuse(m_links.NotOpenMessage() + QStringLiteral(u"."));
  }
  scan.exec();
  m_scanDialog = nullptr;
}

PortDialog::~PortDialog() = default;

void PortDialog::Load() {
  saved_port = m_settings.ComPort();
  m_savedLink = m_settings.Link();
  m_savedTimeoutMs = m_settings.ReplyTimeoutMs();
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
  // With a gateway in use the serial port stays closed: its entry is only
  // shown.
  const bool serial = !m_links.UsesNetwork();
  const QString current = EntryText(m_settings.ComPort());
  for (int i = 0; i < cmbCOMList->count() && i < kProbedPorts; ++i) {
    if (cmbCOMList->itemText(i) == current) {
      cmbCOMList->setCurrentIndex(i);
      if (serial) cmbCOMList_Click();
    }
  }
  if (!serial) return;

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
  // A port picked is the link from now on, as in the serial-only dialog.
  if (m_links.UsesNetwork()) {
    m_check.Cancel();
    m_links.UseSerial();
    chk_net->setChecked(false);
  }
  if (m_port.IsOpen()) m_port.Close();
  m_port.SetPortNumber(SelectedPort());
  m_port.Open();
}

void PortDialog::OK_Click() {
  if (chk_net->isChecked()) {
    QString error;
    const std::optional<link::LinkAddress> address = EnteredAddress(&error);
    if (!address) {
      // Nothing is stored and the dialog stays for the address to be mended.
      ShowResult(error, false);
      txt_net_address->setFocus(Qt::OtherFocusReason);
      return;
    }
    m_settings.SetLink(address->ToUrl());
    m_settings.SetReplyTimeoutMs(txt_reply_timeout->value());
    // The serial port stays as stored unless one was picked, ready for a
    // return to the line.
    if (SelectedPort() > 0) m_settings.SetComPort(SelectedPort());
  } else {
    m_settings.SetLink(QString());
    m_settings.SetComPort(SelectedPort());
  }
  m_state.port_confirmed = true;
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
    m_check.Cancel();
    if (!m_state.port_confirmed) {
      m_settings.SetComPort(saved_port);
      m_settings.SetLink(m_savedLink);
      m_settings.SetReplyTimeoutMs(m_savedTimeoutMs);
    }
    // The link in force now: the gateway (kept connected when it is the one
    // in use already), or the serial port closed and opened again.
    const std::optional<link::LinkAddress> gateway = link::LinkAddress::Parse(m_settings.Link());
    if (gateway) {
      UseGateway(*gateway, m_settings.ReplyTimeoutMs());
    } else {
      m_links.UseSerial();
      if (m_port.IsOpen()) m_port.Close();
      ReopenPort();
    }
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

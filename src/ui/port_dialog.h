#pragma once

#include <optional>

#include <QDialog>

#include "link/link_address.h"
#include "monitor/link_check.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zart::link {
class ExchangeCycle;
class PortSwitch;
class SerialPort;
class StatusLine;
}  // namespace zart::link
namespace zart::settings {
class SettingsFile;
}

namespace zart::ui {

class CommonLayout;
class PortScanDialog;
struct PortDialogState;

/// `wndSetCOM`: lists the ports COM1..COM16 that can be opened right now,
/// switches the main window's port to the entry picked, stores the choice
/// with "ОК" and goes back to the previous port with "Отмена" or the close
/// box. Works on the program's one serial port object while the exchange
/// keeps running; failures of the port are swallowed. A port typed into
/// the list ("COM3", "3") is stored as typed; "Обновить" probes again for
/// adapters plugged in while the dialog is open.
///
/// Below the serial part, the link through an Ethernet gateway: its address,
/// its mode, the reply time-out and "Проверить", which switches the live
/// link to the gateway and reads the controller's status once. "ОК" stores
/// the network link when "Через шлюз Ethernet" is checked, the serial port
/// otherwise; "Отмена" goes back to the link in use before.
class PortDialog : public QDialog {
  Q_OBJECT

 public:
  /// Highest port number probed.
  static constexpr int kProbedPorts = 16;
  /// The wait for each address when the controller is looked for through a
  /// gateway, ms: its own turn-around comes on top of the line's.
  static constexpr int kScanReplyMsNetwork = 300;
  /// Client size in twips: the design's serial part, widened for
  /// "Обновить" and the gateway's modes, and the network part below it.
  static constexpr int kWidth = 6975;
  static constexpr int kHeight = 4575;

  /// Probes the ports at once (the dialog's load); the port is left open on
  /// the port in force whenever that can be opened, unless a network link
  /// is in use.
  PortDialog(link::PortSwitch& links, settings::SettingsFile& settings, link::StatusLine& status,
             link::ExchangeCycle& exchange, PortDialogState& state, QWidget* parent = nullptr);
  ~PortDialog() override;

  QComboBox* PortList() const { return cmbCOMList; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }
  QPushButton* RefreshButton() const { return m_refresh; }
  /// "Поиск контроллера…": opens the scan of the slave addresses on the
  /// link in use; the address chosen there goes to the main window.
  QPushButton* ScanButton() const { return cmd_scan; }
  /// The scan window while it is open.
  PortScanDialog* ScanDialog() const { return m_scanDialog; }
  /// "Быстрый обмен": shows the stored choice; "ОК" stores it.
  QCheckBox* FastExchangeBox() const { return chk_fast; }
  /// The network part.
  QCheckBox* NetworkBox() const { return chk_net; }
  QLineEdit* AddressEdit() const { return txt_net_address; }
  QComboBox* ModeList() const { return cmb_net_mode; }
  QSpinBox* ReplyTimeoutBox() const { return txt_reply_timeout; }
  QPushButton* CheckButton() const { return cmd_net_check; }
  /// What "Проверить" found, or why the address is refused.
  QLabel* NetworkResult() const { return lbl_net_result; }

  /// The port number of the selected entry, or of a port typed over it
  /// ("COM3", "com 3", "3"); 0 with none.
  int SelectedPort() const;
  /// The port number a typed text names, 0 when it names none.
  static int TypedPort(const QString& text);
  /// The gateway's address and mode as entered; nothing, with the reason
  /// in `error`, when the address does not read. A whole address with its
  /// scheme ("tcp://host:502") chooses the mode itself.
  std::optional<link::LinkAddress> EnteredAddress(QString* error = nullptr) const;

  /// The dialog's close: close the port, go back to the earlier link unless
  /// confirmed, reopen. Runs once, whichever way the dialog closes.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildNetworkPart(const CommonLayout& layout);
  void Load();
  /// Probes COM1..COM16 and lists those that open.
  void Probe();
  void Refresh_Click();
  void cmbCOMList_Click();
  void cmd_net_check_Click();
  void cmd_scan_Click();
  void OK_Click();
  void Cancel_Click();
  void ReopenPort();
  /// The live link goes to the gateway at `address`; a connection to that
  /// same gateway is kept.
  void UseGateway(const link::LinkAddress& address, int replyTimeoutMs);
  void ShowResult(const QString& text, bool good);
  void EnableNetworkPart();

  link::PortSwitch& m_links;
  link::SerialPort& m_port;
  settings::SettingsFile& m_settings;
  link::StatusLine& m_status;
  link::ExchangeCycle& m_exchange;
  PortDialogState& m_state;
  monitor::LinkCheck m_check;
  int saved_port = 0;
  QString m_savedLink;
  int m_savedTimeoutMs = 0;
  bool m_unloaded = false;

  QLabel* Label1 = nullptr;
  QComboBox* cmbCOMList = nullptr;
  QCheckBox* chk_fast = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
  QPushButton* m_refresh = nullptr;
  QPushButton* cmd_scan = nullptr;
  PortScanDialog* m_scanDialog = nullptr;
  QCheckBox* chk_net = nullptr;
  QLineEdit* txt_net_address = nullptr;
  QComboBox* cmb_net_mode = nullptr;
  QSpinBox* txt_reply_timeout = nullptr;
  QPushButton* cmd_net_check = nullptr;
  QLabel* lbl_net_result = nullptr;
};

}  // namespace zart::ui

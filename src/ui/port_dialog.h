#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace zart::link {
class ExchangeCycle;
class SerialPort;
class StatusLine;
}  // namespace zart::link
namespace zart::settings {
class SettingsFile;
}

namespace zart::ui {

struct PortDialogState;

/// `wndSetCOM`: lists the ports COM1..COM16 that can be opened right now,
/// switches the main window's port to the entry picked, stores the choice
/// with "ОК" and goes back to the previous port with "Отмена" or the close
/// box. Works on the program's one serial port object while the exchange
/// keeps running; failures of the port are swallowed. A port typed into
/// the list ("COM3", "3") is stored as typed; "Обновить" probes again for
/// adapters plugged in while the dialog is open.
class PortDialog : public QDialog {
  Q_OBJECT

 public:
  /// Highest port number probed.
  static constexpr int kProbedPorts = 16;
  /// Client width in twips: the design's 4665 and the room of "Обновить".
  static constexpr int kWidth = 5775;

  /// Probes the ports at once (the dialog's load); the port is left open on
  /// the port in force whenever that can be opened.
  PortDialog(link::SerialPort& port, settings::SettingsFile& settings, link::StatusLine& status,
             const link::ExchangeCycle& exchange, PortDialogState& state, QWidget* parent = nullptr);
  ~PortDialog() override;

  QComboBox* PortList() const { return cmbCOMList; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }
  QPushButton* RefreshButton() const { return m_refresh; }
  /// "Быстрый обмен": shows the stored choice; "ОК" stores it.
  QCheckBox* FastExchangeBox() const { return chk_fast; }

  /// The port number of the selected entry, or of a port typed over it
  /// ("COM3", "com 3", "3"); 0 with none.
  int SelectedPort() const;
  /// The port number a typed text names, 0 when it names none.
  static int TypedPort(const QString& text);

  /// The dialog's close: close the port, go back to the earlier port unless
  /// confirmed, reopen. Runs once, whichever way the dialog closes.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Load();
  /// Probes COM1..COM16 and lists those that open.
  void Probe();
  void Refresh_Click();
  void cmbCOMList_Click();
  void OK_Click();
  void Cancel_Click();
  void ReopenPort();

  link::SerialPort& m_port;
  settings::SettingsFile& m_settings;
  link::StatusLine& m_status;
  const link::ExchangeCycle& m_exchange;
  PortDialogState& m_state;
  int saved_port = 0;
  bool m_unloaded = false;

  QLabel* Label1 = nullptr;
  QComboBox* cmbCOMList = nullptr;
  QCheckBox* chk_fast = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
  QPushButton* m_refresh = nullptr;
};

}  // namespace zart::ui

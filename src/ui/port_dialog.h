#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace zart::link {
class LinkView;
class SerialPort;
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
/// keeps running; failures of the port are swallowed.
class PortDialog : public QDialog {
  Q_OBJECT

 public:
  /// Highest port number probed.
  static constexpr int kProbedPorts = 16;

  /// Probes the ports at once (the dialog's load); the port is left open on
  /// the port in force whenever that can be opened.
  PortDialog(link::SerialPort& port, settings::SettingsFile& settings, link::LinkView& mainWindow,
             PortDialogState& state, QWidget* parent = nullptr);
  ~PortDialog() override;

  QComboBox* PortList() const { return cmbCOMList; }
  QPushButton* OkButton() const { return m_ok; }
  QPushButton* CancelButton() const { return m_cancel; }
  /// "Быстрый обмен": shows the stored choice; "ОК" stores it.
  QCheckBox* FastExchangeBox() const { return chk_fast; }

  /// The port number of the selected entry, 0 with none selected.
  int SelectedPort() const;

  /// The dialog's close: close the port, go back to the earlier port unless
  /// confirmed, reopen. Runs once, whichever way the dialog closes.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Load();
  void cmbCOMList_Click();
  void OK_Click();
  void Cancel_Click();
  void ReopenPort();

  link::SerialPort& m_port;
  settings::SettingsFile& m_settings;
  link::LinkView& m_mainWindow;
  PortDialogState& m_state;
  int saved_port = 0;
  bool m_unloaded = false;

  QLabel* Label1 = nullptr;
  QComboBox* cmbCOMList = nullptr;
  QCheckBox* chk_fast = nullptr;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
};

}  // namespace zart::ui

#pragma once

#include <memory>

#include <QPointer>
#include <QWidget>
#include <QTimer>
#include <QString>

#include "link/eeprom_refusal_watch.h"
#include "link/native_serial_port.h"
#include "link/network_port.h"
#include "link/serial_port.h"
#include "monitor/start_up_host.h"
#include "settings/prompter.h"

namespace zart::link {
class ExchangeCycle;
class ExchangeTimer;
class LinkReconnector;
class PortReconnector;
class PortSwitch;
}  // namespace zart::link
namespace zart::monitor {
class MainWindowLogic;
class ParamWindowHook;
}  // namespace zart::monitor
namespace zart::settings {
class SettingsFile;
}  // namespace zart::settings

namespace zart::ui {

class ApplicationTranslations;
class MainWindow;
class ParamWindowController;
class PortDialog;
struct PortDialogState;
class ServiceTools;

/// The program for one run: message boxes, the main window, the settings
/// file, the serial port, the exchange and its timer, built in that order
/// and living until the program ends. Needs a QApplication.
class Application : private monitor::StartUpHost {
 public:
  /// How often the main window looks whether its values are still live.
  static constexpr int kFreshnessCheckMs = 250;

  /// Replacements for tests; everything left empty is the real thing.
  struct Setup {
    /// Folder of "тп.ini"; empty: settings::SettingsFolder::ForThisProgram().
    QString settingsFolder;
    std::unique_ptr<settings::Prompter> prompter;
    std::unique_ptr<link::SerialPort> port;
    /// The link to an Ethernet gateway; empty: a TCP connection.
    std::unique_ptr<link::NetworkPort> network;
  };

  Application();
  explicit Application(Setup setup);
  ~Application() override;
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  /// Start-up: settings, address list, signal cells, the port (with the
  /// error box and the port dialog), then the window and the timer. False
  /// when the user cancelled: nothing was shown and the program is to end.
  bool Start();
  /// Start() and then the event loop until the main window is closed;
  /// the process exit code.
  int Run();

  /// Attaches another parameters window (tests); null detaches it.
  void SetParamWindowHook(monitor::ParamWindowHook* hook);
  /// The parameters window's owner, for the whole run.
  ParamWindowController& ParamWindows() { return *m_params; }

  link::ExchangeCycle& Cycle() { return *m_cycle; }
  link::SerialPort& Port() { return *m_port; }
  /// The link to a gateway, whether in use or not.
  link::NetworkPort& Network() { return *m_network; }
  /// What the exchange talks through: the serial port or the gateway.
  link::PortSwitch& Links() { return *m_links; }
  settings::SettingsFile& Settings() { return *m_settings; }
  MainWindow& Window() { return *m_window; }
  settings::Prompter& Prompter() { return *m_prompter; }
  monitor::MainWindowLogic& Logic() { return *m_logic; }
  link::ExchangeTimer& Timer() { return *m_timer; }
  /// The "Сервис" menu's tools: traffic monitor, trends, CSV log.
  ServiceTools& Service() { return *m_service; }
  /// The port dialog while it is open (from the menu or at start-up).
  PortDialog* OpenPortDialog() const;
  /// The box telling that a converting gateway refuses the EEPROM
  /// functions, while it is shown.
  QWidget* GatewayAdvice() const { return m_advice.data(); }

  /// Fast exchange on or off at once (for a menu item), stored in "тп.ini"
  /// as the port dialog's "Быстрый обмен" is.
  void SetFastExchange(bool on);
  bool FastExchange() const;

  /// `mnu_settings_Click`: the port dialog modeless, without owner; an open
  /// one is brought forward instead of opening a second.
  void mnu_settings_Click();

 private:
  // monitor::StartUpHost
  void ReadConfig() override;
  int ComPort() const override;
  bool OpenNetworkLink() override;
  void FillSlaveAddresses(int selected) override;
  void CreateSignalCells() override;
  void ShowPortDialogModal() override;
  void ShowWindow() override;
  void StartTimer() override;

  /// The link the settings name: the gateway of "Link", or the serial port
  /// when it is empty or (after a message) does not read.
  void ChooseLinkFromSettings();
  /// Each reconnector acts for its own kind of link, and neither while the
  /// port dialog is open.
  void EnableReconnectors(bool dialogOpen);
  /// Looks through the exchanges judged since the last look for a gateway
  /// that refuses the EEPROM functions.
  void WatchEepromRefusals();

  std::unique_ptr<ApplicationTranslations> m_translations;  // before any window
  std::unique_ptr<settings::Prompter> m_prompter;
  std::unique_ptr<MainWindow> m_window;
  std::unique_ptr<settings::SettingsFile> m_settings;
  std::unique_ptr<link::SerialPort> m_port;
  link::NativeSerialPort* m_nativePort = nullptr;  // m_port when it is the real one
  std::unique_ptr<link::NetworkPort> m_network;
  std::unique_ptr<link::PortSwitch> m_links;
  std::unique_ptr<link::ExchangeCycle> m_cycle;
  std::unique_ptr<link::ExchangeTimer> m_timer;
  std::unique_ptr<monitor::MainWindowLogic> m_logic;
  std::unique_ptr<ParamWindowController> m_params;
  std::unique_ptr<link::PortReconnector> m_reconnector;
  std::unique_ptr<link::LinkReconnector> m_linkReconnector;
  link::EepromRefusalWatch m_refusalWatch;
  QTimer m_refusalTimer;
  std::uint64_t m_nextWatched = 1;
  QString m_watchedLink;
  QPointer<QWidget> m_advice;
  std::unique_ptr<ServiceTools> m_service;
  std::unique_ptr<PortDialogState> m_portState;
  QTimer m_freshness;
  QPointer<PortDialog> m_portDialog;
};

}  // namespace zart::ui

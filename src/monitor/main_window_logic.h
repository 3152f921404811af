#pragma once

#include <array>
#include <cstdint>

#include <QString>

#include "link/serial_port.h"
#include "monitor/status_decoder.h"

namespace zart::link {
class ExchangeCycle;
}
namespace zart::settings {
class Prompter;
}

namespace zart::monitor {

class ParamWindowHook;
class StartUpHost;
class StatusView;

/// The main window's behaviour without its widgets: start-up, the command
/// buttons, the parameters menu and the decoding of status replies.
class MainWindowLogic {
 public:

  MainWindowLogic(link::ExchangeCycle& cycle, link::SerialPort& port, settings::Prompter& prompter,
                  StartUpHost& host, StatusView& view);

  /// Runs the start-up sequence: settings, slave addresses, signal cells,
  /// opening the port (with the error box and the port dialog on failure),
  /// showing the window and starting the timer. Returns false when the user
  /// chose Cancel in the error box: the program is to end, the window was
  /// never shown.
  bool StartUp();

  /// Queues the command of button `index` (0..3); other indexes are ignored.
  void cmd_mode_Click(int index);
  /// Opens the parameters window, unless the controller blocks Modbus
  /// control or no parameters window is attached.
  void mnu_param_Click();

  /// For the exchange's status handler.
  void DecodeStatus(const link::RxStore& rx) { m_decoder.DecodeStatus(rx); }
  StatusDecoder& Decoder() { return m_decoder; }

  void SetParamWindowHook(ParamWindowHook* hook);

  /// The error box's title and text for a port that would not open.
  static QString PortErrorTitle();
  static QString PortErrorText(int port, bool busy);
  /// The detail text: the system's reason, plus how to get access when the
  /// system refused permission.
  static QString PortErrorDetail(const link::OpenResult& result);

 private:
  /// Shows the error box; on OK runs the port dialog. False on Cancel.
  bool ReportOpenFailure(int port, const link::OpenResult& result);

  link::ExchangeCycle& m_cycle;
  link::SerialPort& m_port;
  settings::Prompter& m_prompter;
  StartUpHost& m_host;
  StatusDecoder m_decoder;
  ParamWindowHook* m_hook = nullptr;
};

}  // namespace zart::monitor

#include "monitor/main_window_logic.h"

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "monitor/command_codes.h"
#include "monitor/param_window_hook.h"
#include "monitor/start_up_host.h"
#include "settings/prompter.h"

namespace zart::monitor {

MainWindowLogic::MainWindowLogic(link::ExchangeCycle& cycle, link::SerialPort& port, settings::Prompter& prompter,
                                 StartUpHost& host, StatusView& view)
    : m_cycle(cycle), m_port(port), m_prompter(prompter), m_host(host), m_decoder(view) {}

void MainWindowLogic::SetParamWindowHook(ParamWindowHook* hook) {
  m_hook = hook;
  m_decoder.SetParamWindowHook(hook);
}

QString MainWindowLogic::PortErrorTitle() { return QStringLiteral(u"Ошибка открытия порта"); }

QString MainWindowLogic::PortErrorText(int port, bool busy) {
  return QStringLiteral(u"Порт COM") + QString::number(port) +
         (busy ? QStringLiteral(u" занят другим приложением") : QStringLiteral(u" не доступен")) +
         QStringLiteral(u"\r\nВыберите другой порт");
}

QString MainWindowLogic::PortErrorDetail(const link::OpenResult& result) {
  QString detail = result.reason;
  if (result.permissionDenied) {
    if (!detail.isEmpty()) detail += QLatin1Char('\n');
    detail += QStringLiteral(
        u"Добавьте пользователя в группу dialout: sudo usermod -aG dialout $USER, затем войдите в систему заново.");
  }
  return detail;
}

bool MainWindowLogic::ReportOpenFailure(int port, const link::OpenResult& result) {
  settings::Message box;
  box.title = PortErrorTitle();
  box.text = PortErrorText(port, result.status == link::OpenResult::Status::busy);
  box.buttons = settings::Message::Buttons::ok_cancel;
  box.icon = settings::Message::Icon::error;
  box.detail = PortErrorDetail(result);
  if (m_prompter.Ask(box) != settings::Answer::ok) return false;
  m_host.ShowPortDialogModal();
  return true;
}

bool MainWindowLogic::StartUp() {
  m_host.ReadConfig();

  // Address 7 at every start; the selection made last run is not restored.
  m_cycle.SetSlaveAddress(link::ExchangeCycle::kInitialSlaveAddress);
  m_host.FillSlaveAddresses(m_cycle.SlaveAddress());

  m_host.CreateSignalCells();

  // A gateway named in the settings is connected in the background and the
  // serial port left alone; so is one the user chose in the port dialog.
  if (!m_host.OpenNetworkLink()) {
    const int configured = m_host.ComPort();
    if (!m_port.SetPortNumber(configured)) {
      link::OpenResult rejected;
      rejected.status = link::OpenResult::Status::unavailable;
      rejected.reason = QStringLiteral(u"Номер порта %1 не допускается: допустимы номера от 1 до 255").arg(configured);
      if (!ReportOpenFailure(configured, rejected)) return false;
    }
    // The port dialog leaves the port open when the user found one that
    // works; opening it a second time would only fail and report a sound
    // port as held by another program.
    if (!m_port.IsOpen() && !m_host.OpenNetworkLink()) {
      const link::OpenResult opened = m_port.Open();
      if (!opened.ok() && !ReportOpenFailure(m_host.ComPort(), opened)) return false;
    }
  }

  m_host.ShowWindow();
  m_host.StartTimer();
  return true;
}

void MainWindowLogic::cmd_mode_Click(int index) {
  if (index < 0 || index >= static_cast<int>(command_codes.size())) return;
  const std::uint16_t code = command_codes[static_cast<std::size_t>(index)];
  // No check of the link or the port: the command waits in the queue until
  // everything before it has been answered.
  m_cycle.EnqueueRequest(link::FC_WRITE_SINGLE_REGISTER,
                         {link::ByteOfValue(link::kCommandRegister, 1), link::ByteOfValue(link::kCommandRegister, 0),
                          link::ByteOfValue(code, 1), link::ByteOfValue(code, 0)});
}

void MainWindowLogic::mnu_param_Click() {
  if (m_hook && !m_decoder.Blocked()) m_hook->OpenParamWindow();
}

}  // namespace zart::monitor

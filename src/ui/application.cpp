#include "ui/application.h"

#include <QAction>
#include <QDateTime>
#include <QApplication>
#include <QLabel>
#include <QMenu>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/port_reconnector.h"
#include "link/native_serial_port.h"
#include "monitor/main_window_logic.h"
#include "settings/settings_file.h"
#include "settings/settings_folder.h"
#include "ui/about_dialog.h"
#include "ui/application_translations.h"
#include "ui/common_prompter.h"
#include "ui/main_window.h"
#include "ui/param_window_controller.h"
#include "ui/port_dialog.h"
#include "ui/port_dialog_state.h"
#include "ui/service_tools.h"

namespace zart::ui {
namespace {

constexpr int kSlaveAddressCount = 128;

}  // namespace

Application::Application() : Application(Setup{}) {}

Application::Application(Setup setup) : m_translations(std::make_unique<ApplicationTranslations>()) {
  if (setup.prompter) {
    m_prompter = std::move(setup.prompter);
  } else {
    m_prompter = std::make_unique<CommonPrompter>();
  }
  m_window = std::make_unique<MainWindow>();
  if (auto* boxes = dynamic_cast<CommonPrompter*>(m_prompter.get())) boxes->SetParent(m_window.get());

  const QString folder =
      setup.settingsFolder.isEmpty() ? settings::SettingsFolder::ForThisProgram() : setup.settingsFolder;
  m_settings = std::make_unique<settings::SettingsFile>(folder, *m_window, *m_prompter);

  if (setup.port) {
    m_port = std::move(setup.port);
  } else {
    // The device map and parity come from the settings file, read at
    // start-up before the port is first opened.
    auto real = std::make_unique<link::NativeSerialPort>();
    m_nativePort = real.get();
    m_port = std::move(real);
  }

  m_cycle = std::make_unique<link::ExchangeCycle>(*m_port, *m_window);
  m_timer = std::make_unique<link::ExchangeTimer>(*m_cycle);
  monitor::StartUpHost& host = *this;
  m_logic = std::make_unique<monitor::MainWindowLogic>(*m_cycle, *m_port, *m_prompter, host, *m_window);
  m_portState = std::make_unique<PortDialogState>();

  m_service = std::make_unique<ServiceTools>(*m_cycle, *m_window, *m_settings);
  // "Быстрый обмен" in the Сервис menu is the port dialog's check box, at
  // hand without opening the dialog; the menu shows the state in force.
  QAction* fast = m_window->ServiceMenu()->addAction(QStringLiteral(u"&Быстрый обмен"));
  fast->setObjectName(QStringLiteral("mnu_fast_exchange"));
  fast->setCheckable(true);
  QObject::connect(fast, &QAction::triggered, m_window.get(), [this](bool on) { SetFastExchange(on); });
  QObject::connect(m_window->ServiceMenu(), &QMenu::aboutToShow, fast, [this, fast] { fast->setChecked(FastExchange()); });
  m_window->ServiceMenu()->addSeparator();
  QAction* about = m_window->ServiceMenu()->addAction(QStringLiteral(u"&О программе"));
  about->setObjectName(QStringLiteral("mnu_about"));
  QObject::connect(about, &QAction::triggered, m_window.get(),
                   [this] { AboutDialog(m_settings->Path(), m_window.get()).exec(); });
  m_cycle->SetStatusHandler([this](const link::Reply& reply) {
    m_logic->DecodeStatus(reply.rx);
    m_service->OnStatusReply(reply.rx);
  });
  // A few times a second: values older than a second are shown as such.
  m_freshness.setInterval(kFreshnessCheckMs);
  QObject::connect(&m_freshness, &QTimer::timeout, m_window.get(),
                   [this] { m_logic->Decoder().CheckFreshness(QDateTime::currentDateTime()); });
  // The parameter session takes the exchange's EEPROM replies; the
  // parameters window is built when the menu first asks for it.
  m_params = std::make_unique<ParamWindowController>(*m_cycle, m_window.get(), *m_window, *m_prompter);
  m_logic->SetParamWindowHook(m_params.get());
  // Reports and backups name the controller as the main window shows it.
  m_params->Service().SetIdentityProvider([this] {
    params::ReportIdentity id;
    auto text = [this](monitor::ValueLabel label) {
      const QLabel* shown = m_window->ValueLabelOf(label);
      return shown != nullptr ? shown->text() : QString();
    };
    id.objectType = text(monitor::ValueLabel::lbl_object);
    id.protocolVersion = text(monitor::ValueLabel::lbl_pr_ver);
    id.softwareVersion = text(monitor::ValueLabel::lbl_sw_ver);
    id.runningHours = text(monitor::ValueLabel::lbl_motomin);
    id.slaveAddress = m_cycle->SlaveAddress();
    return id;
  });
  m_reconnector = std::make_unique<link::PortReconnector>(*m_port);

  QObject::connect(m_window.get(), &MainWindow::commandClicked, m_window.get(),
                   [this](int index) { m_logic->cmd_mode_Click(index); });
  QObject::connect(m_window.get(), &MainWindow::slaveAddressChosen, m_window.get(),
                   [this](int address) { m_cycle->SetSlaveAddress(address); });
  QObject::connect(m_window.get(), &MainWindow::protectionOffToggled, m_window.get(),
                   [this](bool on) { m_cycle->SetProtectionOff(on); });
  QObject::connect(m_window.get(), &MainWindow::paramMenuTriggered, m_window.get(),
                   [this] { m_logic->mnu_param_Click(); });
  QObject::connect(m_window.get(), &MainWindow::portMenuTriggered, m_window.get(), [this] { mnu_settings_Click(); });
  QObject::connect(m_window.get(), &MainWindow::closing, m_window.get(), [this] {
    // The program ends at once: no more ticks, every other window goes with
    // the event loop, nothing is saved.
    m_timer->Stop();
    m_freshness.stop();
    if (m_portDialog) m_portDialog->hide();
    QCoreApplication::quit();
  });
}

Application::~Application() {
  // The dialog and the exchange use the port; they go first.
  m_timer->Stop();
  delete m_portDialog.data();
  // Windows owned by the main window (the parameters window) work on the
  // exchange too; they go before it.
  for (QWidget* child : m_window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow()) delete child;
  }
  m_reconnector.reset();
  m_timer.reset();
  m_service.reset();
  m_logic->SetParamWindowHook(nullptr);
  m_params.reset();
  m_logic.reset();
  m_cycle.reset();
  if (m_port) m_port->Close();
}

PortDialog* Application::OpenPortDialog() const { return m_portDialog.data(); }

bool Application::Start() { return m_logic->StartUp(); }

int Application::Run() {
  if (!Start()) return 0;
  return QApplication::exec();
}

void Application::SetParamWindowHook(monitor::ParamWindowHook* hook) { m_logic->SetParamWindowHook(hook); }

void Application::mnu_settings_Click() {
  if (m_portDialog) {
    m_portDialog->show();
    m_portDialog->raise();
    m_portDialog->activateWindow();
    return;
  }
  // While the user chooses a port, nothing reopens a vanished one behind
  // the dialog's back; that starts with the probe the dialog runs as it is
  // built, which lets timers fire between ports.
  m_reconnector->SetEnabled(false);
  auto* dialog = new PortDialog(*m_port, *m_settings, *m_window, *m_cycle, *m_portState, nullptr);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  m_portDialog = dialog;
  QObject::connect(dialog, &QObject::destroyed, m_window.get(), [this] { m_reconnector->SetEnabled(true); });
  QObject::connect(dialog, &QDialog::accepted, m_window.get(),
                   [this] { m_timer->SetFastExchange(m_settings->FastExchange()); });
  dialog->show();
}

void Application::SetFastExchange(bool on) {
  m_settings->SetFastExchange(on);
  m_timer->SetFastExchange(on);
  m_settings->SaveConfig(m_cycle->SlaveAddress());
}

bool Application::FastExchange() const { return m_timer->FastExchange(); }

void Application::ReadConfig() {
  m_settings->ReadConfig();
  m_timer->SetFastExchange(m_settings->FastExchange());
  m_service->ApplySettings();
  if (m_nativePort) {
    m_nativePort->SetPortMap(link::PortMap(m_settings->PortDevices()));
    m_nativePort->SetParity(link::ParseParity(m_settings->ParityText()));
  }
}

int Application::ComPort() const { return m_settings->ComPort(); }

void Application::FillSlaveAddresses(int selected) { m_window->FillSlaveAddresses(kSlaveAddressCount, selected); }

void Application::CreateSignalCells() {
  m_window->CreateSignalCells();
  m_service->ApplySignalNames();
}

void Application::ShowPortDialogModal() {
  PortDialog dialog(*m_port, *m_settings, *m_window, *m_cycle, *m_portState, m_window.get());
  m_portDialog = &dialog;
  m_reconnector->SetEnabled(false);
  dialog.exec();
  m_timer->SetFastExchange(m_settings->FastExchange());
  m_reconnector->SetEnabled(true);
  m_portDialog = nullptr;
}

void Application::ShowWindow() {
  m_window->PlaceOnScreen();
  m_window->show();
}

void Application::StartTimer() {
  m_timer->Start();
  m_reconnector->Start();
  m_freshness.start();
}

}  // namespace zart::ui

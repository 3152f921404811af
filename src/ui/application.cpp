#include "ui/application.h"

#include <QAction>
#include <QDateTime>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>

#include "link/exchange_cycle.h"
#include "link/exchange_timer.h"
#include "link/frame_recorder.h"
#include "link/link_reconnector.h"
#include "link/port_reconnector.h"
#include "link/port_switch.h"
#include "link/native_serial_port.h"
#include "link/tcp_port.h"
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
/// How often the exchanges judged are looked through for a gateway that
/// refuses the EEPROM functions.
constexpr int kRefusalWatchMs = 500;

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

  if (setup.network) {
    m_network = std::move(setup.network);
  } else {
    m_network = std::make_unique<link::TcpPort>();
  }
  // The exchange holds one link for the whole run; the port dialog switches
  // what stands behind it.
  m_links = std::make_unique<link::PortSwitch>(*m_port, *m_network);
  m_cycle = std::make_unique<link::ExchangeCycle>(*m_links, *m_window);
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
    id.link = m_links->LinkName();
    return id;
  });
  m_reconnector = std::make_unique<link::PortReconnector>(*m_port);
  m_linkReconnector = std::make_unique<link::LinkReconnector>(*m_network);
  m_refusalTimer.setInterval(kRefusalWatchMs);
  QObject::connect(&m_refusalTimer, &QTimer::timeout, m_window.get(), [this] { WatchEepromRefusals(); });

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
    m_refusalTimer.stop();
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
  m_linkReconnector.reset();
  m_timer.reset();
  m_service.reset();
  m_logic->SetParamWindowHook(nullptr);
  m_params.reset();
  m_logic.reset();
  m_cycle.reset();
  m_links.reset();
  if (m_network) m_network->Close();
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
  EnableReconnectors(true);
  auto* dialog = new PortDialog(*m_links, *m_settings, *m_window, *m_cycle, *m_portState, nullptr);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  m_portDialog = dialog;
  QObject::connect(dialog, &QObject::destroyed, m_window.get(), [this] { EnableReconnectors(false); });
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
  ChooseLinkFromSettings();
}

void Application::ChooseLinkFromSettings() {
  m_network->SetReplyTimeoutMs(m_settings->ReplyTimeoutMs());
  if (m_settings->Link().isEmpty()) {
    m_links->UseSerial();
    return;
  }
  QString error;
  const std::optional<link::LinkAddress> address = link::LinkAddress::Parse(m_settings->Link(), &error);
  if (!address) {
    // The user meant a gateway; say why it is not used, then go on with the
    // serial port as without the key.
    m_prompter->Ask(settings::Message(
        QStringLiteral(u"Ошибка в файле ") + settings::SettingsFile::FileName(),
        QStringLiteral(u"Адрес шлюза «%1» в ключе Link не читается: %2\r\nИспользуется порт COM%3.")
            .arg(m_settings->Link(), error)
            .arg(m_settings->ComPort()),
        settings::Message::Buttons::ok, settings::Message::Icon::warning));
    m_links->UseSerial();
    return;
  }
  m_links->UseNetwork();
  m_network->Close();
  m_network->SetAddress(*address);
}

bool Application::OpenNetworkLink() {
  if (!m_links->UsesNetwork()) return false;
  // Connecting runs in the background; the status line tells how it went.
  if (!m_network->IsOpen() && !m_network->Connecting()) (void)m_network->Open();
  return true;
}

void Application::EnableReconnectors(bool dialogOpen) {
  m_reconnector->SetEnabled(!dialogOpen && !m_links->UsesNetwork());
  m_linkReconnector->SetEnabled(!dialogOpen && m_links->UsesNetwork());
}

void Application::WatchEepromRefusals() {
  // Another link chosen: its gateway may refuse too, and is told of once.
  if (m_links->LinkName() != m_watchedLink) {
    m_watchedLink = m_links->LinkName();
    m_refusalWatch.Reset();
  }
  const link::FrameRecorder& recorder = m_service->Recorder();
  m_nextWatched = std::max(m_nextWatched, recorder.OldestNumber());
  while (const link::RecordedExchange* e = recorder.Find(m_nextWatched)) {
    if (e->verdict == link::ExchangeVerdict::pending) break;
    ++m_nextWatched;
    if (!m_refusalWatch.Judged(*e) || m_advice) continue;
    // Told once, in a box that lets the user go on working meanwhile.
    auto* box = new QMessageBox(QMessageBox::Warning, link::EepromRefusalWatch::AdviceTitle(),
                                link::EepromRefusalWatch::AdviceText(), QMessageBox::Ok, m_window.get());
    box->setObjectName(QStringLiteral("msg_gateway_eeprom"));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_advice = box;
    box->show();
  }
}

int Application::ComPort() const { return m_settings->ComPort(); }

void Application::FillSlaveAddresses(int selected) { m_window->FillSlaveAddresses(kSlaveAddressCount, selected); }

void Application::CreateSignalCells() {
  m_window->CreateSignalCells();
  m_service->ApplySignalNames();
}

void Application::ShowPortDialogModal() {
  PortDialog dialog(*m_links, *m_settings, *m_window, *m_cycle, *m_portState, m_window.get());
  m_portDialog = &dialog;
  EnableReconnectors(true);
  dialog.exec();
  m_timer->SetFastExchange(m_settings->FastExchange());
  EnableReconnectors(false);
  m_portDialog = nullptr;
}

void Application::ShowWindow() {
  m_window->PlaceOnScreen();
  m_window->show();
}

void Application::StartTimer() {
  m_timer->Start();
  EnableReconnectors(false);
  m_reconnector->Start();
  m_linkReconnector->Start();
  m_freshness.start();
  m_refusalTimer.start();
}

}  // namespace zart::ui

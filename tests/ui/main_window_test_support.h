#pragma once

#include <memory>

#include <QFile>
#include <QTemporaryDir>

#include "../support/fake_serial_port.h"
#include "monitor_fakes.h"
#include "settings/ini_file.h"
#include "ui/application.h"

namespace zart::testing {

/// The real application over a fake port and scripted message boxes, with
/// its settings file in a temporary folder.
struct AppFixture {
  QTemporaryDir folder;
  FakeSerialPort* port = nullptr;
  ScriptedPrompter* prompter = nullptr;
  std::unique_ptr<ui::Application> app;

  explicit AppFixture(int comPort = 1, std::set<int> openable = {1}) {
    WriteSettings(QStringLiteral("COM=%1").arg(comPort));
    auto fakePort = std::make_unique<FakeSerialPort>();
    fakePort->openable = std::move(openable);
    port = fakePort.get();
    auto fakePrompter = std::make_unique<ScriptedPrompter>();
    prompter = fakePrompter.get();
    ui::Application::Setup setup;
    setup.settingsFolder = folder.path();
    setup.port = std::move(fakePort);
    setup.prompter = std::move(fakePrompter);
    app = std::make_unique<ui::Application>(std::move(setup));
  }

  /// One tick that finds `reply` waiting, as if the controller had answered
  /// the request sent at the previous tick.
  void Tick(const std::vector<std::uint8_t>& reply) {
    port->Receive(reply);
    app->Cycle().ExchangeTick();
  }
  QString SettingsPath() const { return folder.path() + QStringLiteral(u"/тп.ini"); }
  void WriteSettings(const QString& pcConfigLine) {
    QFile f(SettingsPath());
    f.open(QIODevice::WriteOnly);
    f.write("[PC config]\r\n");
    f.write(pcConfigLine.toLatin1() + "\r\n");
  }
  QString Setting(const QString& section, const QString& key) const {
    return settings::ReadIniKey(SettingsPath(), section, key, QStringLiteral("<none>"));
  }
};

}  // namespace zart::testing

// zart-cli: the controller's service from a script, a test bench or a
// remote shell. The commands live in src/cli; here are the process's own
// concerns: the console, Ctrl+C, and the serial and network adapters.
#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_runner.h"
#include "cli/exit_code.h"
#include "cli/link_factory.h"
#include "link/native_serial_port.h"
#include "link/tcp_port.h"

namespace {

using namespace zart;

// Set by the signal handler, which may touch nothing else.
volatile std::sig_atomic_t g_interrupted = 0;
// Standard output went away (the reader of a pipe, such as head, ended).
bool g_outputGone = false;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return ::isatty(::fileno(stderr)) != 0;
#endif
}

void Write(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  const std::size_t written = std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
  // Lines go out as they come, so a pipe into a log sees them live.
  if (std::fflush(stream) != 0 || written != static_cast<std::size_t>(bytes.size())) {
    if (stream == stdout) g_outputGone = true;
  }
}

class NativeLinks final : public cli::LinkFactory {
 public:
  std::unique_ptr<cli::NamedPort> Serial(const cli::SerialChoice& choice, QString* error) override {
    std::map<int, QString> ports = choice.ports;
    int number = choice.number;
    if (!choice.device.isEmpty()) {
#ifdef _WIN32
      *error = QStringLiteral(u"«") + choice.device + QStringLiteral(u"»: на Windows порт задаётся как COMn");
      return nullptr;
#else
      // A device named on the command line stands in for the last port
      // number, which no default maps to a device.
      number = kDevicePortNumber;
      ports[number] = choice.device;
#endif
    }
    auto port = std::make_unique<link::NativeSerialPort>(link::PortMap(ports), choice.parity);
    if (!port->SetPortNumber(number)) {
      *error = QStringLiteral(u"номер порта %1 не принят").arg(number);
      return nullptr;
    }
    return std::make_unique<cli::NamedPort>(std::move(port), choice.name, false);
  }

  std::unique_ptr<cli::NamedPort> Network(const link::LinkAddress& address, QString*) override {
    auto port = std::make_unique<link::TcpPort>(address);
    link::TcpPort* tcp = port.get();
    return std::make_unique<cli::NamedPort>(std::move(port), address.Name(), true, [tcp] { return tcp->LossReason(); });
  }

 private:
  static constexpr int kDevicePortNumber = 255;
};

}  // namespace

int main(int argc, char* argv[]) {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
#endif
  QCoreApplication app(argc, argv);
  const cli::ParseResult parsed = cli::ParseCommandLine(QCoreApplication::arguments().mid(1));
  const auto out = [](const QString& text) { Write(stdout, text); };
  const auto err = [](const QString& text) { Write(stderr, text); };
  if (!parsed.ok()) {
    err(QStringLiteral(u"zart-cli: ") + parsed.error + QStringLiteral(u"\nСправка: zart-cli --help\n"));
    if (parsed.options.json) {
      const QJsonObject o{{QStringLiteral("ok"), false}, {QStringLiteral("exitCode"), cli::kExitUsage}, {QStringLiteral("error"), parsed.error}};
      out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + u'\n');
    }
    return cli::kExitUsage;
  }
  if (parsed.options.help) {
    out(cli::HelpText());
    return cli::kExitDone;
  }
  if (parsed.options.version) {
    out(QStringLiteral(u"zart-cli " ZART_CLI_VERSION "\n"));
    return cli::kExitDone;
  }
  // Ctrl+C ends a monitor or a scan with what it has; any other command is
  // ended by the system as usual, and no file is left half written.
  if (parsed.options.command == cli::Command::monitor || parsed.options.command == cli::Command::scan) {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
  }
#ifndef _WIN32
  // A reader that leaves ("monitor | head") ends the command as Ctrl+C does,
  // with the port closed properly, instead of killing it in mid-exchange.
  std::signal(SIGPIPE, SIG_IGN);
#endif

  cli::CliOutput output(out, err, parsed.options.json, parsed.options.quiet, StderrIsTerminal());
  cli::CliEnvironment environment;
  environment.settingsFolder = QCoreApplication::applicationDirPath();
  environment.stderrIsTerminal = StderrIsTerminal();
  environment.interrupted = [] { return g_interrupted != 0 || g_outputGone; };
  NativeLinks links;
  cli::CliRunner runner(parsed.options, environment, links, output);
  return runner.Run();
}

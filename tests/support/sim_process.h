#pragma once

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include "support/files.h"

namespace zart::testing {

/// The simulated controller `zart-sim` as a child process on a
/// pseudo-terminal, for end-to-end tests. The binary's path comes from the
/// build (ZART_SIM_PATH). Every wait is bounded.
class SimProcess {
 public:
  explicit SimProcess(QString binary) : m_binary(std::move(binary)) {}
  ~SimProcess() { Stop(); }

  /// Starts the simulator with a --link symlink in a temporary folder and
  /// waits for it to print its device. False when it does not come up.
  bool Start(const QStringList& extraArgs = {}, int timeoutMs = 5000) {
    m_linkPath = m_dir.filePath(QStringLiteral("zart-sim.pty"));
    QStringList args{QStringLiteral("--link"), m_linkPath};
    args << extraArgs;
    m_process.setProgram(m_binary);
    m_process.setArguments(args);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs)) return false;
    const QString first = ReadLine(timeoutMs);
    m_device = first.trimmed();
    const QDeadlineTimer deadline(timeoutMs);
    while (!QFile::exists(m_linkPath) && !deadline.hasExpired()) QThread::msleep(10);
    return !m_device.isEmpty() && QFile::exists(m_linkPath);
  }

  /// Starts the simulator as a TCP server on a free loopback port
  /// (`--tcp 127.0.0.1:0`, then `extraArgs`, such as "--mbap") and returns
  /// the address it prints ("rtuovertcp://127.0.0.1:40123"); empty when it
  /// does not come up.
  QString StartTcp(const QStringList& extraArgs = {}, int timeoutMs = 5000) {
    m_process.setProgram(m_binary);
    m_process.setArguments(QStringList{QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0")} + extraArgs);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs)) return {};
    m_device = ReadLine(timeoutMs).trimmed();
    return m_device;
  }

  /// Sends one control line and returns the simulator's answer line
  /// ("ok ..." or "error ..."); empty on time-out.
  QString Command(const QString& line, int timeoutMs = 3000) {
    m_process.write((line + QLatin1Char('\n')).toUtf8());
    m_process.waitForBytesWritten(timeoutMs);
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
      const QString answer = ReadLine(static_cast<int>(deadline.remainingTime()));
      if (answer.startsWith(QStringLiteral("ok")) || answer.startsWith(QStringLiteral("error"))) return answer.trimmed();
      if (answer.isEmpty()) break;
    }
    return {};
  }

  void Stop() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(2000)) {
      m_process.terminate();
      if (!m_process.waitForFinished(2000)) m_process.kill();
      m_process.waitForFinished(1000);
    }
  }

  /// Where the tests keep the simulator's EEPROM image (its "--eeprom" file).
  QString ImagePath() const { return m_dir.filePath(QStringLiteral("eeprom.bin")); }
  /// The simulator's whole EEPROM image as it stands now; empty when it cannot be saved.
  QByteArray Image() {
    return Command(QStringLiteral("save")).startsWith(QStringLiteral("ok")) ? FileBytes(ImagePath()) : QByteArray();
  }

  QString LinkPath() const { return m_linkPath; }
  QString Device() const { return m_device; }
  QString Folder() const { return m_dir.path(); }
  QProcess& Process() { return m_process; }

  /// The simulator's next line of output; empty on time-out.
  QString ReadLine(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine() && !deadline.hasExpired()) {
      if (!m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())))) break;
    }
    return m_process.canReadLine() ? QString::fromUtf8(m_process.readLine()) : QString();
  }

 private:
  QString m_binary;
  QTemporaryDir m_dir;
  QProcess m_process;
  QString m_linkPath;
  QString m_device;
};

}  // namespace zart::testing

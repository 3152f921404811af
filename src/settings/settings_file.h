#pragma once

#include <map>

#include <QString>

namespace zart::link {
class StatusLine;
}

namespace zart::settings {

class Prompter;

/// The tool's own settings file "тп.ini" beside the executable.
///
/// Section "PC config": "COM" (the port number, default 1), "Parity"
/// ("E", "N" or "O"; only ever written by hand), "FastExchange" (1: fast
/// exchange on; written once it has been turned on), "SignalNames" (the
/// signal names file chosen in "Сервис"; written once one was chosen),
/// "CsvDecimalPoint" (1: CSV files with a decimal point for scripts; only
/// ever written by hand), "Link" (a network link to an Ethernet gateway,
/// "rtuovertcp://192.168.10.20:4001" or "tcp://host:502"; absent or empty:
/// the serial port of "COM") and "ReplyTimeout" (ms a reply may take over
/// the network, default 1000; both written once a network link has been
/// chosen). Section "KZR config":
/// "MBSLAD" (the slave-address index, written, never read back). Section
/// "Ports": optional "COMn=/dev/..." entries mapping port numbers to devices.
class SettingsFile {
 public:
  static QString FileName() { return QStringLiteral(u"тп.ini"); }

  /// `folder` is the executable's folder.
  SettingsFile(QString folder, link::StatusLine& status, Prompter& prompter);

  /// Start-up: sets com_port (1 when the key is missing), creating the file
  /// when it is missing; a value that is not a port number 0..255, or a file
  /// that exists but cannot be read, opens the Retry/Cancel box (Retry reads
  /// the file again, Cancel keeps com_port). Also reads "Parity" and the
  /// "Ports" section.
  void ReadConfig();
  /// Writes "COM" = com_port and "MBSLAD" = slaveIndex (-1: none selected),
  /// both in one rewrite of the file. A refused write opens the Retry/Cancel
  /// box; true when the file was written, false after Cancel.
  bool SaveConfig(int slaveIndex);

  /// The folder, "/", then FileName(); no doubled separator for "/".
  QString Path() const;

  int ComPort() const { return com_port; }
  void SetComPort(int port) { com_port = port; }
  /// The "Parity" value as read ("E" when absent).
  QString ParityText() const { return m_parity; }
  /// Fast exchange, as read (off when the key is missing or not "1") or as
  /// set; SaveConfig stores it.
  bool FastExchange() const { return m_fastExchange; }
  void SetFastExchange(bool on) { m_fastExchange = on; }
  /// The signal names file, as read or set (empty: none); SaveConfig stores it.
  QString SignalNamesFile() const { return m_signalNames; }
  void SetSignalNamesFile(const QString& path) { m_signalNames = path; }
  /// CSV files with a decimal point whatever the locale ("CsvDecimalPoint=1").
  bool CsvDecimalPoint() const { return m_csvDecimalPoint; }
  /// The network link as read or set ("Link"); empty: the serial port.
  QString Link() const { return m_link; }
  void SetLink(const QString& link) { m_link = link.trimmed(); }
  /// "ReplyTimeout": 1000 when absent or not a number, else kept within
  /// 100..60000.
  int ReplyTimeoutMs() const { return m_replyTimeoutMs; }
  void SetReplyTimeoutMs(int ms);
  /// Port number -> device, from section "Ports".
  const std::map<int, QString>& PortDevices() const { return m_ports; }

 private:
  QString m_folder;
  link::StatusLine& m_status;
  Prompter& m_prompter;
  int com_port = 1;
  QString m_parity = QStringLiteral("E");
  bool m_fastExchange = false;
  QString m_signalNames;
  bool m_csvDecimalPoint = false;
  QString m_link;
  int m_replyTimeoutMs = 1000;  // link::NetworkPort::kDefaultReplyTimeoutMs
  std::map<int, QString> m_ports;
};

}  // namespace zart::settings

#include "settings/settings_file.h"

#include <algorithm>
#include <optional>
#include <utility>

#include <QFileInfo>

#include "link/network_port.h"
#include "link/status_line.h"
#include "settings/ini_file.h"
#include "settings/prompter.h"

namespace zart::settings {
namespace {

QString sectionPc() { return QStringLiteral(u"PC config"); }
QString fastExchangeKey() { return QStringLiteral(u"FastExchange"); }
QString linkKey() { return QStringLiteral(u"Link"); }
QString replyTimeoutKey() { return QStringLiteral(u"ReplyTimeout"); }
using link::NetworkPort;
QString signalNamesKey() { return QStringLiteral(u"SignalNames"); }
QString sectionKzr() { return QStringLiteral(u"KZR config"); }
QString sectionPorts() { return QStringLiteral(u"Ports"); }

constexpr int kMaxPort = 255;

// A decimal number with optional blanks around it and an optional sign. It
// must fit a signed 16-bit value first and then 0..255, so "-1", "300" and
// "99999" are all refused the same way.
std::optional<int> parsePortNumber(const QString& text) {
  qsizetype i = 0;
  qsizetype end = text.size();
  while (i < end && (text[i] == u' ' || text[i] == u'\t')) {
    ++i;
  }
  while (end > i && (text[end - 1] == u' ' || text[end - 1] == u'\t')) {
    --end;
  }
  bool negative = false;
  if (i < end && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == end) {
    return std::nullopt;
  }
  long value = 0;
  for (; i < end; ++i) {
    const char16_t c = text[i].unicode();
    if (c < u'0' || c > u'9') {
      return std::nullopt;
    }
    value = value * 10 + (c - u'0');
    if (value > 32768) {
      return std::nullopt;  // beyond 16 bits either way
    }
  }
  if (negative) {
    value = -value;
  }
  // Whatever fits 16 bits must still be a port number 0..255.
  if (value < 0 || value > kMaxPort) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

// "COM7" -> 7; other keys of the "Ports" section are ignored.
std::optional<int> portOfKey(const QString& key) {
  if (!key.startsWith(QStringLiteral(u"COM"), Qt::CaseInsensitive) || key.size() == 3 || key.size() > 6) {
    return std::nullopt;
  }
  int port = 0;
  for (qsizetype i = 3; i < key.size(); ++i) {
    const char16_t c = key[i].unicode();
    if (c < u'0' || c > u'9') {
      return std::nullopt;
    }
    port = port * 10 + (c - u'0');
  }
  if (port < 1 || port > kMaxPort) {
    return std::nullopt;
  }
  return port;
}

Message openError(const QString& text, const QString& detail) {
  Message message;
  message.title = QStringLiteral(u"Ошибка открытия файла ");
  message.text = text;
  message.buttons = Message::Buttons::retry_cancel;
  message.icon = Message::Icon::error;
  message.detail = detail;
  return message;
}

}  // namespace

SettingsFile::SettingsFile(QString folder, link::StatusLine& status, Prompter& prompter)
    : m_folder(std::move(folder)), m_status(status), m_prompter(prompter) {}

QString SettingsFile::Path() const {
  if (m_folder.isEmpty()) {
    return FileName();
  }
  if (m_folder.endsWith(u'/')) {
    return m_folder + FileName();
  }
  return m_folder + u'/' + FileName();
}

void SettingsFile::ReadConfig() {
  com_port = 1;
  const QString path = Path();

  // Only a regular file counts: a folder of that name leads to SaveConfig,
  // whose refused write is then reported.
  if (!QFileInfo(path).isFile()) {
    SaveConfig(-1);  // the slave-address list is not filled yet at start-up
    m_status.SetStatusText(QString());
    return;
  }

  m_status.ShowStatusNow(QStringLiteral(u"Чтение конфигурации"));
  for (;;) {
    // Every attempt reads the file afresh, so a file the user mended while
    // the box was open is picked up by Retry.
    IniFile ini;
    QString reason;
    std::optional<int> port;
    if (ini.Load(path, &reason)) {
      m_parity = ini.Read(sectionPc(), QStringLiteral(u"Parity"), QStringLiteral(u"E"));
      m_fastExchange = ini.Read(sectionPc(), fastExchangeKey(), QStringLiteral(u"0")).trimmed() == u"1";
      SetLink(ini.Read(sectionPc(), linkKey(), QString()));
      bool isNumber = false;
      const int timeout = ini.Read(sectionPc(), replyTimeoutKey(), QString()).trimmed().toInt(&isNumber);
      m_replyTimeoutMs = NetworkPort::kDefaultReplyTimeoutMs;
      if (isNumber) SetReplyTimeoutMs(timeout);
      m_signalNames = ini.Read(sectionPc(), signalNamesKey(), QString());
      m_csvDecimalPoint = ini.Read(sectionPc(), QStringLiteral(u"CsvDecimalPoint"), QStringLiteral(u"0")).trimmed() == u"1";
      m_ports.clear();
      for (const QString& key : ini.Keys(sectionPorts())) {
        const std::optional<int> number = portOfKey(key);
        const QString device = ini.Read(sectionPorts(), key, QString());
        if (number && !device.isEmpty()) {
          m_ports.emplace(*number, device);
        }
      }
      port = parsePortNumber(ini.Read(sectionPc(), QStringLiteral(u"COM"), QStringLiteral(u"1")));
      if (!port) {
        reason.clear();
      }
    }
    if (port) {
      com_port = *port;
      break;
    }
    const Answer answer = m_prompter.Ask(openError(
        QStringLiteral(u"Ошибка открытия файла ") + FileName() + QStringLiteral(u" для чтения\r\n"), reason));
    if (answer != Answer::retry) {
      return;  // com_port stays 1, the status line keeps its text
    }
  }
  m_status.SetStatusText(QString());
}

void SettingsFile::SetReplyTimeoutMs(int ms) {
  m_replyTimeoutMs = std::clamp(ms, NetworkPort::kMinReplyTimeoutMs, NetworkPort::kMaxReplyTimeoutMs);
}

bool SettingsFile::SaveConfig(int slaveIndex) {
  m_status.ShowStatusNow(QStringLiteral(u"Сохранение конфигурации"));
  const QString path = Path();
  for (;;) {
    // Both keys go into one rewrite of the file, so the file never holds the
    // new port without the new address.
    IniFile ini;
    QString reason;
    bool saved = ini.Load(path, &reason);
    if (saved) {
      ini.Write(sectionPc(), QStringLiteral(u"COM"), QString::number(com_port));
      ini.Write(sectionKzr(), QStringLiteral(u"MBSLAD"), QString::number(slaveIndex));
      // Fast exchange is an option beside the usual two keys: a file that
      // never had it on keeps exactly the keys it always had.
      const QStringList present = ini.Keys(sectionPc());
      if (m_fastExchange || present.contains(fastExchangeKey(), Qt::CaseInsensitive)) {
        ini.Write(sectionPc(), fastExchangeKey(), m_fastExchange ? QStringLiteral(u"1") : QStringLiteral(u"0"));
      }
      // So is the network link: written once one has been chosen, emptied
      // (the serial port again) rather than removed.
      if (!m_link.isEmpty() || present.contains(linkKey(), Qt::CaseInsensitive)) {
        ini.Write(sectionPc(), linkKey(), m_link);
        ini.Write(sectionPc(), replyTimeoutKey(), QString::number(m_replyTimeoutMs));
      }
      // The signal names file likewise, once one was chosen.
      if (!m_signalNames.isEmpty() || present.contains(signalNamesKey(), Qt::CaseInsensitive)) {
        ini.Write(sectionPc(), signalNamesKey(), m_signalNames);
      }
      saved = ini.Save(path, &reason);
    }
    if (saved) {
      break;
    }
    const Answer answer = m_prompter.Ask(openError(
        QStringLiteral(u"Ошибка открытия файла ") + FileName() + QStringLiteral(u" для записи"), reason));
    if (answer != Answer::retry) {
      m_status.SetStatusText(QString());
      return false;
    }
  }
  m_status.SetStatusText(QString());
  return true;
}

}  // namespace zart::settings

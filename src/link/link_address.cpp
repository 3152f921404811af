#include "link/link_address.h"

namespace zart::link {

namespace {

constexpr QStringView kRtuScheme = u"rtuovertcp";
constexpr QStringView kTcpScheme = u"tcp";

bool fail(QString* error, const QString& text) {
  if (error) *error = text;
  return false;
}

QString quoted(const QString& s) { return QStringLiteral(u"«") + s + QStringLiteral(u"»"); }

QString example(NetMode mode) {
  return mode == NetMode::rtu_over_tcp ? QStringLiteral(u"rtuovertcp://192.168.10.20:4001")
                                       : QStringLiteral(u"tcp://192.168.10.20:502");
}

// A host name (letters of any script, digits, '-', '_', '.') or an IPv4
// address; IPv6 comes in brackets and is checked apart. Resolution is the
// network's business: this only keeps out what can never be a host.
bool hostNameOk(const QString& host, QString* error) {
  for (const QChar c : host) {
    if (c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'.') continue;
    return fail(error, QStringLiteral(u"Недопустимый символ %1 в имени шлюза %2").arg(quoted(QString(c)), quoted(host)));
  }
  return true;
}

bool ipv6Ok(const QString& host, QString* error) {
  // Hex groups, colons, an embedded IPv4 tail and a zone after '%'.
  const qsizetype zone = host.indexOf(u'%');
  const QString address = zone < 0 ? host : host.left(zone);
  bool colon = false;
  for (const QChar c : address) {
    if (c == u':') {
      colon = true;
      continue;
    }
    if (c.isDigit() || c == u'.' || (c.toLower() >= u'a' && c.toLower() <= u'f')) continue;
    return fail(error, QStringLiteral(u"Неверный адрес IPv6 %1").arg(quoted(host)));
  }
  if (!colon || zone == host.size() - 1) return fail(error, QStringLiteral(u"Неверный адрес IPv6 %1").arg(quoted(host)));
  return true;
}

}  // namespace

std::optional<LinkAddress> LinkAddress::Parse(const QString& text, QString* error) {
  const QString t = text.trimmed();
  if (t.isEmpty()) {
    fail(error, QStringLiteral(u"Адрес шлюза не задан"));
    return std::nullopt;
  }
  const qsizetype sep = t.indexOf(QStringLiteral(u"://"));
  if (sep < 0) {
    fail(error, QStringLiteral(u"Адрес %1 должен начинаться с rtuovertcp:// или tcp://, например %2")
                    .arg(quoted(t), example(NetMode::rtu_over_tcp)));
    return std::nullopt;
  }
  LinkAddress a;
  const QString scheme = t.left(sep).toLower();
  if (scheme == kRtuScheme) {
    a.mode = NetMode::rtu_over_tcp;
  } else if (scheme == kTcpScheme) {
    a.mode = NetMode::modbus_tcp;
  } else {
    fail(error, QStringLiteral(u"Неизвестный вид связи %1: ожидается rtuovertcp:// (прозрачный шлюз) или tcp:// "
                               u"(Modbus TCP)")
                    .arg(quoted(t.left(sep))));
    return std::nullopt;
  }

  QString rest = t.mid(sep + 3);
  if (rest.endsWith(u'/')) rest.chop(1);  // "tcp://host:502/" as browsers write it
  QString portText;
  bool hasPort = false;
  if (rest.startsWith(u'[')) {
    const qsizetype close = rest.indexOf(u']');
    if (close < 0) {
      fail(error, QStringLiteral(u"В адресе %1 нет закрывающей скобки «]»").arg(quoted(t)));
      return std::nullopt;
    }
    a.host = rest.mid(1, close - 1);
    const QString after = rest.mid(close + 1);
    if (!after.isEmpty()) {
      if (!after.startsWith(u':')) {
        fail(error, QStringLiteral(u"Лишние символы %1 после адреса в %2: ожидается адрес:порт").arg(quoted(after), quoted(t)));
        return std::nullopt;
      }
      hasPort = true;
      portText = after.mid(1);
    }
    if (!ipv6Ok(a.host, error)) return std::nullopt;
  } else {
    const qsizetype colon = rest.lastIndexOf(u':');
    if (colon >= 0 && rest.indexOf(u':') != colon) {
      fail(error, QStringLiteral(u"Адрес IPv6 пишется в скобках: %1").arg(
                      a.mode == NetMode::rtu_over_tcp ? QStringLiteral(u"rtuovertcp://[fe80::1]:4001")
                                                      : QStringLiteral(u"tcp://[fe80::1]:502")));
      return std::nullopt;
    }
    a.host = colon < 0 ? rest : rest.left(colon);
    if (colon >= 0) {
      hasPort = true;
      portText = rest.mid(colon + 1);
    }
    if (!a.host.isEmpty() && !hostNameOk(a.host, error)) return std::nullopt;
  }
  if (a.host.isEmpty()) {
    fail(error, QStringLiteral(u"В %1 не задан адрес шлюза, например %2").arg(quoted(t), example(a.mode)));
    return std::nullopt;
  }

  if (!hasPort) {
    if (a.mode == NetMode::modbus_tcp) {
      a.port = kModbusTcpPort;
      return a;
    }
    fail(error, QStringLiteral(u"В %1 не задан порт шлюза, например %2").arg(quoted(t), example(a.mode)));
    return std::nullopt;
  }
  bool digits = !portText.isEmpty() && portText.size() <= 5;
  for (const QChar c : portText) digits = digits && c >= u'0' && c <= u'9';
  const int port = digits ? portText.toInt() : 0;
  if (port < 1 || port > 65535) {
    fail(error, QStringLiteral(u"Неверный порт %1: ожидается число от 1 до 65535").arg(quoted(portText)));
    return std::nullopt;
  }
  a.port = port;
  return a;
}

QString LinkAddress::Name() const {
  const QString h = host.contains(u':') ? QStringLiteral(u"[") + host + QStringLiteral(u"]") : host;
  return h + QStringLiteral(u":") + QString::number(port);
}

QString LinkAddress::ToUrl() const {
  return (mode == NetMode::rtu_over_tcp ? kRtuScheme : kTcpScheme).toString() + QStringLiteral(u"://") + Name();
}

}  // namespace zart::link

#include "cli/named_port.h"

namespace zart::cli {

NamedPort::NamedPort(std::unique_ptr<link::Port> inner, QString name, bool network, std::function<QString()> reason)
    : m_inner(std::move(inner)), m_name(std::move(name)), m_network(network), m_reason(std::move(reason)) {}

QString NamedPort::FailureReason() const {
  const QString own = m_inner->FailureReason();
  if (!own.isEmpty() || !m_reason) return own;
  return m_reason();
}

QString NamedPort::NotOpenMessage() const {
  if (!m_network) return Port::NotOpenMessage();
  const QString reason = FailureReason();
  return QStringLiteral(u"Нет соединения с ") + m_name +
         (reason.isEmpty() ? QStringLiteral(u": соединение устанавливается") : QStringLiteral(u": ") + reason);
}

}  // namespace zart::cli

#pragma once

#include <algorithm>

#include <QString>

#include "link/link_address.h"
#include "link/port.h"

namespace zart::link {

/// A link to the controller through an Ethernet gateway: a TCP connection
/// that comes and goes, with a reply time-out of its own.
class NetworkPort : public Port {
 public:
  /// Reply time-out unless the settings file says otherwise, and its bounds.
  static constexpr int kDefaultReplyTimeoutMs = 1000;
  static constexpr int kMinReplyTimeoutMs = 100;
  static constexpr int kMaxReplyTimeoutMs = 60000;

  /// Chooses the gateway and the mode; refused (false) unless closed. A new
  /// address forgets the loss of the old one.
  virtual bool SetAddress(const LinkAddress& address) = 0;
  virtual const LinkAddress& Address() const = 0;
  /// Why the link went down, in Russian ("соединение отвергнуто (Connection
  /// refused)"); empty until a connection failed or dropped.
  virtual QString LossReason() const = 0;
  /// A connection attempt is under way.
  virtual bool Connecting() const = 0;

  /// The link as messages name it: "192.168.10.20:4001".
  QString LinkName() const override { return Address().Name(); }
  QString FailureReason() const override { return LossReason(); }
  /// "Нет соединения с 192.168.10.20:4001: <why>".
  QString NotOpenMessage() const override {
    QString why = LossReason();
    if (why.isEmpty() && Connecting()) why = QStringLiteral(u"соединение устанавливается");
    return QStringLiteral(u"Нет соединения с ") + LinkName() + (why.isEmpty() ? QString() : QStringLiteral(u": ") + why);
  }

  int ReplyTimeoutMs() const override { return m_replyTimeoutMs; }
  /// Kept within kMinReplyTimeoutMs..kMaxReplyTimeoutMs.
  void SetReplyTimeoutMs(int ms) { m_replyTimeoutMs = std::clamp(ms, kMinReplyTimeoutMs, kMaxReplyTimeoutMs); }

 private:
  int m_replyTimeoutMs = kDefaultReplyTimeoutMs;
};

}  // namespace zart::link

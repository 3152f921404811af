#include "monitor/link_check.h"

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "link/port.h"
#include "monitor/status_registers.h"

namespace zart::monitor {

namespace reg = status_registers;

LinkCheck::LinkCheck(link::ExchangeCycle& cycle) : m_cycle(cycle) {
  m_timer.setInterval(kPollMs);
  QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
}

LinkCheck::~LinkCheck() { m_cycle.CancelRequests(this); }

void LinkCheck::Start(Done done) {
  Cancel();
  m_done = std::move(done);
  m_address = m_cycle.SlaveAddress();
  m_since.start();
  m_timer.start();
  Poll();
}

void LinkCheck::Cancel() {
  m_timer.stop();
  m_cycle.CancelRequests(this);
  m_queued = false;
  m_done = nullptr;
}

void LinkCheck::Finish(bool found, const QString& text) {
  Done done = std::move(m_done);
  Cancel();
  if (done) done(found, text);
}

QString LinkCheck::NoAnswerText() const {
  return QStringLiteral(u"Нет ответа от контроллера ЗАРТ (адрес %1) через %2")
      .arg(m_address)
      .arg(m_cycle.LinkPort().LinkName());
}

void LinkCheck::Poll() {
  if (!Running()) return;
  const link::Port& port = m_cycle.LinkPort();
  if (!m_queued) {
    if (port.IsOpen()) {
      const std::uint8_t hi = link::ByteOfValue(link::kStatusFirstRegister, 1);
      const std::uint8_t lo = link::ByteOfValue(link::kStatusFirstRegister, 0);
      link::RequestOptions options;
      options.client = this;
      options.attempts = kAttempts;
      if (!m_cycle.EnqueueRequest(link::FC_READ_INPUT_REGISTERS, {hi, lo, 0x00, link::kStatusRegisterCount}, options)) {
        Finish(false, link::ExchangeCycle::QueueFullMessage());
        return;
      }
      m_queued = true;
      // Its turn may come behind queued work; each attempt then has the
      // link's reply time (100 ms on the line) and the pace between.
      const int perAttempt = std::max(port.ReplyTimeoutMs(), 100) + 200;
      m_deadlineMs = static_cast<int>(m_since.elapsed()) + kAttempts * perAttempt + 2000;
      return;
    }
    // A refusal, an unknown host or a port that cannot be opened says so at
    // once; a connection still being made gets its time.
    if (port.DeviceLost() || !port.FailureReason().isEmpty() || m_since.elapsed() > kConnectWaitMs) {
      Finish(false, port.NotOpenMessage());
    }
    return;
  }
  if (m_since.elapsed() > m_deadlineMs) Finish(false, NoAnswerText());
}

bool LinkCheck::RequestAnswered(int, const link::Reply& reply) {
  if (reply.IsException()) {
    Finish(false, QStringLiteral(u"Контроллер ответил исключением %1 (%2)")
                      .arg(reply.ExceptionCode())
                      .arg(link::ExceptionMeaning(reply.ExceptionCode())));
  } else {
    Finish(true, FoundText(reply.rx, m_address));
  }
  // The status goes on to the main window as any other.
  return false;
}

void LinkCheck::RequestGivenUp(int) { Finish(false, NoAnswerText()); }

QString LinkCheck::FoundText(const link::RxStore& rx, int address) {
  const auto version = [](int word, int majorMask) {
    return QString::number((word >> 8) & majorMask) + QLatin1Char('.') + QString::number(word & 0xFF);
  };
  const int protocol = reg::U16(rx, reg::kProtocolVersion);
  const int type = reg::U16(rx, reg::kObjectType);
  const QString named = reg::ObjectTypeName(type);
  QString text = QStringLiteral(u"Найден контроллер ЗАРТ: ") +
                 (named.isEmpty() ? QStringLiteral(u"тип объекта %1").arg(type) : named) +
                 QStringLiteral(u", версия протокола ") + version(protocol, 0x7F) + QStringLiteral(u", версия ПО ") +
                 version(reg::U16(rx, reg::kSoftwareVersion), 0xFF) + QStringLiteral(u" (адрес %1)").arg(address);
  if ((protocol & reg::kBlockedBit) != 0) text += QStringLiteral(u"; управление по Modbus заблокировано");
  return text;
}

}  // namespace zart::monitor

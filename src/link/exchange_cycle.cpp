#include "link/exchange_cycle.h"

#include <QString>

#include "link/frame_recorder.h"
#include "link/port.h"
#include "link/status_line.h"

namespace zart::link {
namespace {

/// Clears a flag when the scope ends, however it is left.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : m_flag(flag) { m_flag = true; }
  ~FlagGuard() { m_flag = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& m_flag;
};

}  // namespace

ExchangeCycle::ExchangeCycle(Port& port, LinkView& view) : m_port(port), m_view(view) {
  tx_frame.reserve(RequestQueue::kMaxLastIndex + 3);
}

QString ExchangeCycle::NoAnswerMessage() { return QStringLiteral(u"Ошибка обмена: Нет ответа от контроллера ЗАРТ"); }
QString ExchangeCycle::CrcMismatchMessage() { return QStringLiteral(u"Ошибка обмена: Несовпадение КС"); }
QString ExchangeCycle::LinkUpMessage() { return QStringLiteral(u"Связь с контроллером ЗАРТ установлена"); }
QString ExchangeCycle::QueueFullMessage() {
  return QStringLiteral(u"Очередь запросов переполнена: запрос не принят");
}
QString ExchangeCycle::ExceptionText(int code) {
  return QStringLiteral(u" Нарушение протокола, код: ") + QString::number(code);
}

void ExchangeCycle::SwitchSlaveAddress(int address) {
  SetSlaveAddress(address);
  m_view.SetSlaveAddress(m_slaveAddress);
}

void ExchangeCycle::ShowLinkMessage() { m_view.SetStatusText(m_linkMessage + m_exceptionText); }

void ExchangeCycle::ExchangeTick() {
  // Nothing a tick calls lets events run, but a tick must never start
  // inside another: rx_store, rx_count and the queue head belong to one
  // tick at a time.
  if (m_inTick) {
    ++m_counters.nestedTicksSkipped;
    return;
  }
  FlagGuard inTick(m_inTick);
  ++m_counters.ticks;

  // With fast exchange the reply may have been gathered already, bit by
  // bit since the request went out; the tick then judges all of it.
  if (!m_gathering) rx_count = 0;
  m_gathering = false;
  CollectBytes();

  const ReplyOutcome outcome = CheckReply(rx_store, rx_count);
  if (m_recorder) m_recorder->RecordReply(rx_store, rx_count, outcome, m_port.ReplyHeader());
  m_exceptionText.clear();
  m_linkUp = outcome == ReplyOutcome::valid;
  switch (outcome) {
    case ReplyOutcome::no_answer:
      ++m_counters.noAnswers;
      // A closed port cannot answer: say so, with the reason, rather than
      // blame the controller.
      m_linkMessage = m_port.IsOpen() ? NoAnswerMessage() : m_port.NotOpenMessage();
      break;
    case ReplyOutcome::crc_mismatch:
      ++m_counters.crcMismatches;
      m_linkMessage = CrcMismatchMessage();
      break;
    case ReplyOutcome::valid:
      ++m_counters.validReplies;
      m_linkMessage = LinkUpMessage();
      break;
  }
  ShowLinkMessage();

  if (outcome == ReplyOutcome::valid) {
    // A whole frame that arrived while nothing was outstanding (bytes left
    // on the line before the very first request) answers nothing: moving
    // the read index past an empty queue would make it look 511 deep.
    if (!request_queue.QueueIsEmpty()) {
      const RequestOptions answered = request_queue.Head().options;
      const bool withdrawn = request_queue.Head().cancelled;
      request_queue.AdvanceReadIndex();
      const Reply reply{rx_store, rx_count};
      const bool taken = answered.client != nullptr && !withdrawn && answered.client->RequestAnswered(answered.tag, reply);
      ProcessReply(reply, taken);
    }
  } else if (!request_queue.QueueIsEmpty()) {
    // Unanswered or garbled: the head stays and goes out again below. There
    // is no retry limit for the design's requests; the controller may simply
    // be powered down for a while, and the queued work must survive that.
    // Only a request that asked for a limit (a scan of addresses) leaves.
    RequestSlot& head = request_queue.Head();
    if (head.options.attempts > 0 && head.sent >= head.options.attempts) {
      const RequestOptions given = head.options;
      const bool withdrawn = head.cancelled;
      request_queue.AdvanceReadIndex();
      if (given.client != nullptr && !withdrawn) given.client->RequestGivenUp(given.tag);
    }
  }

  if (!m_judgeOnly) SendNextRequest();
}

int ExchangeCycle::CollectBytes() {
  int collected = 0;
  // The port is asked how much is waiting once per batch, not per byte:
  // asking may cost a system call.
  for (int waiting = m_port.BytesWaiting(); waiting > 0; waiting = m_port.BytesWaiting()) {
    for (; waiting > 0; --waiting) {
      const int byte = m_port.ReadByte();
      if (byte < 0) return collected;
      ++collected;
      // A reply longer than the store is cut to its first 256 bytes; the
      // rest is read and dropped so it cannot spill into the next exchange.
      if (rx_count < RxStore::kMaxStored) {
        rx_store.Store(rx_count, byte);
        ++rx_count;
      }
    }
  }
  return collected;
}

int ExchangeCycle::GatherReply() {
  if (m_inTick) return 0;
  if (!m_gathering) {
    rx_count = 0;
    m_gathering = true;
  }
  return CollectBytes();
}

void ExchangeCycle::JudgeReply() {
  m_judgeOnly = true;
  ExchangeTick();
  m_judgeOnly = false;
}

void ExchangeCycle::ProcessReply(const Reply& reply, bool taken) {
  const int functionCode = reply.FunctionCode();
  if (functionCode >= FC_EXCEPTION_FLAG) {
    // The controller refused the request; it is not sent again. The link
    // message stays in front of the report.
    ++m_counters.exceptionReplies;
    m_exceptionText = ExceptionText(reply.ExceptionCode());
    ShowLinkMessage();
    return;
  }
  if (taken) return;
  if (functionCode == FC_READ_INPUT_REGISTERS) {
    ++m_counters.statusReplies;
    if (m_statusHandler) m_statusHandler(reply);
  } else if (functionCode == FC_EEPROM_READ || functionCode == FC_EEPROM_WRITE) {
    if (m_paramHandler) m_paramHandler(reply);
  }
  // Echoes of the command (6) and heartbeat (16) writes need nothing.
}

bool ExchangeCycle::WorkPending() const {
  for (int k = 0; k < request_queue.PendingCount(); ++k)
    if (!request_queue.Pending(k).cancelled) return true;
  return false;
}

void ExchangeCycle::SkipCancelled() {
  while (!request_queue.QueueIsEmpty() && request_queue.Head().cancelled) request_queue.AdvanceReadIndex();
}

void ExchangeCycle::SendNextRequest() {
  SkipCancelled();
  if (request_queue.QueueIsEmpty()) {
    if (!idle_toggle) {
      idle_toggle = true;
      request_queue.EnqueueRequest(FC_READ_INPUT_REGISTERS,
                                   {ByteOfValue(kStatusFirstRegister, 1), ByteOfValue(kStatusFirstRegister, 0),
                                    ByteOfValue(kStatusRegisterCount, 1), ByteOfValue(kStatusRegisterCount, 0)});
    } else {
      idle_toggle = false;
      ++transaction_counter;
      if (transaction_counter > kMaxTransaction) transaction_counter = 0;
      m_view.SetTransactionId(transaction_counter);
      request_queue.EnqueueRequest(
          FC_WRITE_MULTIPLE_REGISTERS,
          {ByteOfValue(kHeartbeatRegister, 1), ByteOfValue(kHeartbeatRegister, 0), 0x00, 0x02, 0x04,
           ByteOfValue(transaction_counter, 1), ByteOfValue(transaction_counter, 0), 0x00,
           static_cast<std::uint8_t>(m_protectionOff ? 1 : 0)});
    }
  }

  RequestSlot& head = request_queue.Head();
  const int slaveAddress = head.options.address >= 0 ? ClampSlaveAddress(head.options.address) : m_slaveAddress;
  const bool repeat = head.sent > 0;
  if (!repeat && head.options.switchAddressTo >= 0) {
    // The write of the controller's own address still goes to the old
    // address; the controller answers on the new one from then on, and so
    // do the repeats of this request.
    SwitchSlaveAddress(head.options.switchAddressTo);
  }
  ++head.sent;

  tx_frame = BuildFrame(slaveAddress, head.slot_bytes, head.last_index);
  if (m_port.IsOpen()) {
    m_port.Write(tx_frame);
    ++m_counters.framesSent;
    if (m_recorder) m_recorder->RecordRequest(tx_frame, repeat, m_port.RequestHeader());
  }
  if (head.options.client != nullptr && !head.cancelled) head.options.client->RequestSent(head.options.tag, repeat);
}

bool ExchangeCycle::EnqueueRequest(int functionCode, std::span<const std::uint8_t> data, const RequestOptions& options) {
  if (request_queue.EnqueueRequest(functionCode, data, options)) return true;
  ++m_counters.refusedRequests;
  if (m_recorder) m_recorder->RecordRefused();
  m_view.SetStatusText(QueueFullMessage());
  return false;
}

}  // namespace zart::link

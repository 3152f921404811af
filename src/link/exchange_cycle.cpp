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

void ExchangeCycle::ExchangeTick() {
  // The first status reply builds the parameters window, and its builders
  // let pending events run; a timer tick delivered then must not judge or
  // send anything, or the reply in rx_store would be judged twice and the
  // queue head moved under the running tick.
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
  if (m_recorder) m_recorder->RecordReply(rx_store, rx_count, outcome);
  switch (outcome) {
    case ReplyOutcome::no_answer:
      ++m_counters.noAnswers;
      m_view.SetStatusText(NoAnswerMessage());
      break;
    case ReplyOutcome::crc_mismatch:
      ++m_counters.crcMismatches;
      m_view.SetStatusText(CrcMismatchMessage());
      break;
    case ReplyOutcome::valid: {
      ++m_counters.validReplies;
      m_view.SetStatusText(LinkUpMessage());
      // A whole frame that arrived while nothing was outstanding (bytes left
      // on the line before the very first request) answers nothing: moving
      // the read index past an empty queue would make it look 511 deep.
      if (request_queue.QueueIsEmpty()) break;
      const int answered = request_queue.ReadIndex();
      request_queue.AdvanceReadIndex();
      if (m_completionHandler) m_completionHandler(answered);
      ProcessReply();
      break;
    }
  }

  // Unanswered or garbled: the head stays and goes out again below. There is
  // no retry limit; the controller may simply be powered down for a while,
  // and the queued work must survive that.
  if (!m_judgeOnly) SendNextRequest();
}

int ExchangeCycle::CollectBytes() {
  int collected = 0;
  while (m_port.BytesWaiting() > 0) {
    const int byte = m_port.ReadByte();
    if (byte < 0) break;
    ++collected;
    // A reply longer than the store is cut to its first 256 bytes; the rest
    // is read and dropped so it cannot spill into the next exchange.
    if (rx_count < RxStore::kMaxStored) {
      rx_store.Store(rx_count, byte);
      ++rx_count;
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

void ExchangeCycle::ProcessReply() {
  const int functionCode = rx_store[1];
  if (functionCode == FC_READ_INPUT_REGISTERS) {
    if (m_statusHandler) m_statusHandler(rx_store);
  } else if (functionCode == FC_EEPROM_READ || functionCode == FC_EEPROM_WRITE) {
    if (m_paramHandler) m_paramHandler(rx_store);
  } else if (functionCode >= FC_EXCEPTION_FLAG) {
    // The controller refused the request; it is not sent again. The link
    // message just set stays in front of the report.
    ++m_counters.exceptionReplies;
    m_view.SetStatusText(m_view.StatusText() + QStringLiteral(u" Нарушение протокола, код: ") +
                         QString::number(rx_store[2]));
  }
  // Echoes of the command (6) and heartbeat (16) writes need nothing.
}

void ExchangeCycle::SendNextRequest() {
  if (request_queue.QueueIsEmpty()) {
    if (!idle_toggle) {
      idle_toggle = true;
      request_queue.EnqueueRequest(FC_READ_INPUT_REGISTERS,
                                   {ByteOfValue(kStatusFirstRegister, 1), ByteOfValue(kStatusFirstRegister, 0),
                                    ByteOfValue(kStatusRegisterCount, 1), ByteOfValue(kStatusRegisterCount, 0)});
    } else {
      idle_toggle = false;
      const int flag = m_view.ProtectionOff() ? 1 : 0;
      ++transaction_counter;
      if (transaction_counter > kMaxTransaction) transaction_counter = 0;
      m_view.SetTransactionId(transaction_counter);
      request_queue.EnqueueRequest(
          FC_WRITE_MULTIPLE_REGISTERS,
          {ByteOfValue(kHeartbeatRegister, 1), ByteOfValue(kHeartbeatRegister, 0), 0x00, 0x02, 0x04,
           ByteOfValue(transaction_counter, 1), ByteOfValue(transaction_counter, 0), 0x00,
           static_cast<std::uint8_t>(flag)});
    }
  }

  const RequestSlot& head = request_queue.Head();
  const int slaveAddress = m_view.SlaveAddress();

  if (pending_address_switch.armed && pending_address_switch.trigger_slot == request_queue.ReadIndex()) {
    // The write of the controller's own address still goes to the old
    // address; the controller answers on the new one from then on.
    if (pending_address_switch.new_address > 127) pending_address_switch.new_address = 127;
    m_view.SetSlaveAddress(pending_address_switch.new_address);
    pending_address_switch.armed = false;
  }

  tx_frame = BuildFrame(slaveAddress, head.slot_bytes, head.last_index);
  if (m_port.IsOpen()) {
    m_port.Write(tx_frame);
    ++m_counters.framesSent;
    if (m_recorder) m_recorder->RecordRequest(tx_frame);
  }
}

bool ExchangeCycle::EnqueueRequest(int functionCode, std::span<const std::uint8_t> data) {
  if (request_queue.EnqueueRequest(functionCode, data)) return true;
  ++m_counters.refusedRequests;
  if (m_recorder) m_recorder->RecordRefused();
  m_view.SetStatusText(QueueFullMessage());
  return false;
}

void ExchangeCycle::ArmAddressSwitch(int newAddress) {
  pending_address_switch.armed = true;
  pending_address_switch.trigger_slot = static_cast<std::uint16_t>(request_queue.WriteIndex());
  pending_address_switch.new_address = static_cast<std::uint16_t>(newAddress < 0 ? 0 : newAddress);
}

}  // namespace zart::link

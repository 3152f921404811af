#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <vector>

#include <QString>

#include "link/frame.h"
#include "link/request_queue.h"
#include "link/rx_store.h"

namespace zart::link {

class FrameRecorder;
class LinkView;
class Port;

/// A change of slave address that waits for one queued request to be sent:
/// the parameter editor arms it when it queues a write of the controller's
/// own address, so that the write still goes to the old address and every
/// later frame to the new one.
struct PendingAddressSwitch {
  bool armed = false;
  std::uint16_t trigger_slot = 0;
  std::uint16_t new_address = 0;
};

/// Running totals of the exchange, for diagnostics and long runs.
struct ExchangeCounters {
  std::uint64_t ticks = 0;
  std::uint64_t framesSent = 0;
  std::uint64_t validReplies = 0;
  std::uint64_t noAnswers = 0;
  std::uint64_t crcMismatches = 0;
  std::uint64_t exceptionReplies = 0;
  std::uint64_t nestedTicksSkipped = 0;
  std::uint64_t refusedRequests = 0;
};

/// The Modbus RTU master's exchange: one request outstanding, judged at the
/// next tick. Owns the receive store, the request queue, the idle toggle,
/// the transaction counter and the pending address switch for the whole run.
class ExchangeCycle {
 public:
  using ReplyHandler = std::function<void(const RxStore&)>;
  using CompletionHandler = std::function<void(int slot)>;

  static constexpr int kMaxTransaction = 65534;

  ExchangeCycle(Port& port, LinkView& view);

  /// One tick of the 100 ms timer: collect the reply, judge it, report the
  /// link state, dispatch, send the next request. A tick that is started
  /// while another one runs (through events processed inside a tick) returns
  /// at once without touching anything.
  void ExchangeTick();

  /// Sends the head of the queue, topping it up with one idle request
  /// (status read and heartbeat alternately) when it is empty.
  void SendNextRequest();

  /// Fast exchange: reads what has arrived since the last request was sent
  /// into the receive store without judging it; the number of bytes read.
  /// The next ExchangeTick or JudgeReply judges everything gathered.
  int GatherReply();
  /// Fast exchange: forgets what was gathered (a stray reply to an earlier
  /// request); gathering goes on with the bytes that arrive next.
  void DropGathered() { rx_count = 0; }
  /// Fast exchange: ExchangeTick without the send at its end, so that the
  /// next request can wait for the line's gap or for the idle pace.
  void JudgeReply();

  /// Queues a request for the controller (`data` are the bytes after the
  /// function code). A request that would overfill the queue is refused:
  /// nothing queued is lost, the status line says so, false is returned.
  bool EnqueueRequest(int functionCode, std::span<const std::uint8_t> data);
  bool EnqueueRequest(int functionCode, std::initializer_list<std::uint8_t> data) {
    return EnqueueRequest(functionCode, std::span<const std::uint8_t>(data.begin(), data.size()));
  }

  /// Arms the address switch for the request about to be enqueued next.
  void ArmAddressSwitch(int newAddress);
  /// At start-up the switch's address follows the initial selection.
  void SetInitialAddress(int address) { pending_address_switch.new_address = static_cast<std::uint16_t>(address); }

  /// Replies with function code 4 (status) and 100/101 (EEPROM).
  void SetStatusHandler(ReplyHandler handler) { m_statusHandler = std::move(handler); }
  void SetParamHandler(ReplyHandler handler) { m_paramHandler = std::move(handler); }
  /// Called with the queue slot of each request that leaves the queue after
  /// a valid reply (exception replies included), before dispatch.
  void SetCompletionHandler(CompletionHandler handler) { m_completionHandler = std::move(handler); }

  /// Every frame sent and every reply judged is also handed to `recorder`
  /// (raw bytes only); null stops recording.
  void SetRecorder(FrameRecorder* recorder) { m_recorder = recorder; }

  const RequestQueue& Queue() const { return request_queue; }
  const RxStore& Rx() const { return rx_store; }
  int RxCount() const { return rx_count; }
  int TransactionCounter() const { return transaction_counter; }
  bool IdleToggle() const { return idle_toggle; }
  bool InTick() const { return m_inTick; }
  const std::vector<std::uint8_t>& LastFrame() const { return tx_frame; }
  const ExchangeCounters& Counters() const { return m_counters; }

  PendingAddressSwitch pending_address_switch;

  /// Link messages shown in the status line.
  static QString NoAnswerMessage();
  static QString CrcMismatchMessage();
  static QString LinkUpMessage();
  static QString QueueFullMessage();

 private:
  void ProcessReply();
  int CollectBytes();

  Port& m_port;
  LinkView& m_view;

  RxStore rx_store;
  RequestQueue request_queue;
  int rx_count = 0;
  std::vector<std::uint8_t> tx_frame;
  bool idle_toggle = false;
  std::int32_t transaction_counter = 0;

  bool m_inTick = false;
  bool m_gathering = false;  // rx_store holds bytes gathered since the last send
  bool m_judgeOnly = false;  // JudgeReply: no send at the end of the tick
  ReplyHandler m_statusHandler;
  ReplyHandler m_paramHandler;
  CompletionHandler m_completionHandler;
  ExchangeCounters m_counters;
  FrameRecorder* m_recorder = nullptr;
};

}  // namespace zart::link

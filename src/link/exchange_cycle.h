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
  std::uint64_t statusReplies = 0;
};

/// The Modbus RTU master's exchange: one request outstanding, judged at the
/// next tick. Owns, for the whole run, the receive store, the request queue,
/// the idle toggle, the transaction counter, the slave address in force, the
/// protection-off flag and the link message; the main window shows them and
/// hands the user's changes in.
class ExchangeCycle {
 public:
  using ReplyHandler = std::function<void(const Reply&)>;

  static constexpr int kMaxTransaction = 65534;
  /// The address selected at every start.
  static constexpr int kInitialSlaveAddress = 7;

  ExchangeCycle(Port& port, LinkView& view);

  /// One tick of the 100 ms timer: collect the reply, judge it, report the
  /// link state, dispatch, send the next request. A tick that is started
  /// while another one runs returns at once without touching anything.
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
  bool EnqueueRequest(int functionCode, std::span<const std::uint8_t> data, const RequestOptions& options = {});
  bool EnqueueRequest(int functionCode, std::initializer_list<std::uint8_t> data, const RequestOptions& options = {}) {
    return EnqueueRequest(functionCode, std::span<const std::uint8_t>(data.begin(), data.size()), options);
  }
  /// Withdraws every request of `client` still queued; the others keep
  /// their order. A withdrawn request that is out on the line is not sent
  /// again, and its answer, should it come, goes to no client.
  int CancelRequests(const RequestClient* client) { return request_queue.Cancel(client); }

  /// The slave address every request goes to (0..127; higher is lowered to
  /// 127): the user's choice in `cmb_slad`, or the address a write of the
  /// controller's own address switched to.
  int SlaveAddress() const { return m_slaveAddress; }
  void SetSlaveAddress(int address) { m_slaveAddress = ClampSlaveAddress(address); }
  /// An address chosen away from `cmb_slad` (the controller scan): in force
  /// from the next request, and shown there.
  void SwitchSlaveAddress(int address);
  /// The flag the heartbeat carries in register 401 (`chk_armoff`).
  bool ProtectionOff() const { return m_protectionOff; }
  void SetProtectionOff(bool on) { m_protectionOff = on; }

  /// Every valid reply with function code 4 (status) and 100/101 (EEPROM)
  /// that its request's client did not take.
  void SetStatusHandler(ReplyHandler handler) { m_statusHandler = std::move(handler); }
  void SetParamHandler(ReplyHandler handler) { m_paramHandler = std::move(handler); }

  /// Every frame sent and every reply judged is also handed to `recorder`
  /// (raw bytes only); null stops recording.
  void SetRecorder(FrameRecorder* recorder) { m_recorder = recorder; }

  /// The link the exchange talks through, for the timer (arrivals, the
  /// reply time-out) and for naming it ("COM5", "192.168.10.20:4001").
  Port& LinkPort() { return m_port; }
  const Port& LinkPort() const { return m_port; }

  const RequestQueue& Queue() const { return request_queue; }
  /// Some request not withdrawn is queued (the head included).
  bool WorkPending() const;
  const RxStore& Rx() const { return rx_store; }
  int RxCount() const { return rx_count; }
  int TransactionCounter() const { return transaction_counter; }
  bool IdleToggle() const { return idle_toggle; }
  bool InTick() const { return m_inTick; }
  const std::vector<std::uint8_t>& LastFrame() const { return tx_frame; }
  const ExchangeCounters& Counters() const { return m_counters; }
  /// What the link last put in the status line: its message, and the
  /// exception report behind it.
  QString LinkMessage() const { return m_linkMessage + m_exceptionText; }
  /// The last tick found a valid reply.
  bool LinkUp() const { return m_linkUp; }

  /// Link messages shown in the status line.
  static QString NoAnswerMessage();
  static QString CrcMismatchMessage();
  static QString LinkUpMessage();
  static QString QueueFullMessage();
  /// " Нарушение протокола, код: N", appended to the link message.
  static QString ExceptionText(int code);

 private:
  void ProcessReply(const Reply& reply, bool taken);
  int CollectBytes();
  void ShowLinkMessage();
  /// Drops withdrawn requests from the head of the queue.
  void SkipCancelled();

  Port& m_port;
  LinkView& m_view;

  RxStore rx_store;
  RequestQueue request_queue;
  int rx_count = 0;
  std::vector<std::uint8_t> tx_frame;
  bool idle_toggle = false;
  std::int32_t transaction_counter = 0;
  int m_slaveAddress = kInitialSlaveAddress;
  bool m_protectionOff = false;
  QString m_linkMessage;
  QString m_exceptionText;
  bool m_linkUp = false;

  bool m_inTick = false;
  bool m_gathering = false;  // rx_store holds bytes gathered since the last send
  bool m_judgeOnly = false;  // JudgeReply: no send at the end of the tick
  ReplyHandler m_statusHandler;
  ReplyHandler m_paramHandler;
  ExchangeCounters m_counters;
  FrameRecorder* m_recorder = nullptr;
};

}  // namespace zart::link

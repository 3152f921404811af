#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "link/request_queue.h"

namespace zart::link {
class ExchangeCycle;
}

namespace zart::monitor {

/// A slave address that answered a scan, and what its controller said of
/// itself.
struct ScanHit {
  int address = 0;
  /// Register 302 (0 "ДГУ", 1 "ДРА", other values as sent); -1 when the
  /// controller answered with an exception instead of the registers.
  int objectType = -1;
  /// Registers 300 and 301: major version in the high byte, minor in the low
  /// one; the blocked flag (bit 15 of register 300) is cleared here.
  int protocolVersion = 0;
  int softwareVersion = 0;
  /// Control over Modbus is blocked in the panel (bit 15 of register 300).
  bool blocked = false;
  /// The exception code when the address answered with a refusal; 0 otherwise.
  int exceptionCode = 0;

  /// "2.5": major and minor of a version register.
  static QString VersionText(int version);
  /// "ДГУ", "ДРА", "тип 5" for another type, empty after an exception.
  QString ObjectTypeText() const;
  /// "адрес 7: ДГУ, протокол 2.5, ПО 1.3" (with "управление по Modbus
  /// заблокировано" when it is).
  QString Summary() const;
};

/// Finds the controllers on the line whose slave address is not known: one
/// short status read (registers 300..302) to each address of a range in
/// turn, each to its own address, sent once and awaited briefly, so that a
/// silent address costs about 30 ms and the whole range 0..127 a few
/// seconds. Addresses that answer are collected with their object type and
/// versions. The requests go through the exchange's queue one at a time,
/// behind whatever is queued; the exchange's own slave address is left
/// alone, and when the scan ends or is stopped the idle traffic goes on as
/// before.
class ControllerScan final : public link::RequestClient {
 public:
  /// Registers asked of each address: the versions and the object type.
  static constexpr int kRegisters = 3;
  /// How long each address is given to answer, ms: the short reply takes
  /// about 1 ms on the line, a USB adapter may hold bytes back up to 16 ms.
  static constexpr int kReplyTimeMs = 30;

  explicit ControllerScan(link::ExchangeCycle& cycle);
  /// Withdraws what is still queued.
  ~ControllerScan() override;
  ControllerScan(const ControllerScan&) = delete;
  ControllerScan& operator=(const ControllerScan&) = delete;

  /// Starts a scan of `from`..`to` (each held to 0..127; swapped when
  /// reversed), dropping a scan under way. `replyTimeMs`: the wait for each
  /// address (0: kReplyTimeMs). False when the queue has no room.
  bool Start(int from, int to, int replyTimeMs = kReplyTimeMs);
  /// Ends the scan at once: nothing more is sent. A request already out on
  /// the line still gets its reply time, and its reply is taken here, not
  /// shown as the controller's status. The finished handler is called with
  /// `stopped` set.
  void Stop();
  bool Running() const { return m_running; }

  /// Addresses tried so far and in all.
  int Tried() const { return m_tried; }
  int Total() const { return m_to - m_from + 1; }
  /// What answered, in address order, each address once, named by the
  /// address its reply carries.
  const std::vector<ScanHit>& Found() const { return m_found; }

  /// Called after each address, with the counts above.
  void SetProgressHandler(std::function<void(int tried, int total)> handler) { m_progress = std::move(handler); }
  /// Called for each address that answers, as it answers.
  void SetFoundHandler(std::function<void(const ScanHit&)> handler) { m_foundHandler = std::move(handler); }
  /// Called once when the scan has tried every address, or was stopped.
  void SetFinishedHandler(std::function<void(bool stopped)> handler) { m_finished = std::move(handler); }

  // link::RequestClient
  bool RequestAnswered(int tag, const link::Reply& reply) override;
  void RequestSent(int tag, bool repeat) override;
  void RequestGivenUp(int tag) override;

 private:
  /// The request to address `m_next`; false when the queue refused it.
  bool QueueNext();
  /// One address is done: on to the next, or the end.
  void Advance();
  void Finish(bool stopped);

  link::ExchangeCycle& m_cycle;
  int m_from = 0;
  int m_to = -1;
  int m_next = 0;
  int m_tried = 0;
  int m_replyTimeMs = kReplyTimeMs;
  bool m_running = false;
  /// A request of this scan (running or stopped) is out on the line.
  bool m_onLine = false;
  /// Counts the scans, so the late reply of a stopped one is told apart.
  int m_generation = 0;
  std::vector<ScanHit> m_found;
  std::function<void(int, int)> m_progress;
  std::function<void(const ScanHit&)> m_foundHandler;
  std::function<void(bool)> m_finished;
};

}  // namespace zart::monitor

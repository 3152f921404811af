#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "link/request_queue.h"
#include "params/param_diff.h"
#include "params/param_editor.h"

namespace zart::link {
class ExchangeCycle;
}

namespace zart::params {

class ParamSet;

/// Checks a write-all: once the controller has echoed the writes, the whole
/// EEPROM is read again with requests of its own and compared, slot by slot,
/// with the bytes that were written. The read-back replies are taken here and
/// never shown in the boxes, which keep what the user wrote; the set's record
/// of the controller's bytes does take them.
class WriteVerifier : public link::RequestClient {
 public:
  WriteVerifier(link::ExchangeCycle& link, ParamSet& set);
  ~WriteVerifier() override;
  WriteVerifier(const WriteVerifier&) = delete;
  WriteVerifier& operator=(const WriteVerifier&) = delete;

  /// Queues the read-back. `written` holds each slot's bytes as sent (empty
  /// for a slot not written); `leftOut` is how many slots write-all left
  /// out. A running check is dropped first. False when the queue has no
  /// room for the read-back (nothing is queued).
  bool Start(std::vector<std::vector<std::uint8_t>> written, int leftOut);
  /// Drops a running check and its requests; no result is reported.
  void Cancel();
  bool Running() const { return m_total > 0; }
  TransferProgress Progress() const;

  /// Called once per check with the slots that do not match (an empty list
  /// when all do), the number of slots compared and of those left out.
  void SetFinishedHandler(std::function<void(const DiffList& mismatches, int compared, int leftOut)> handler) {
    m_finished = std::move(handler);
  }
  /// Called whenever the progress of the read-back changes.
  void SetProgressHandler(std::function<void(const TransferProgress&)> handler) { m_progress = std::move(handler); }

  /// The slots whose read-back bytes differ from the written ones, or that
  /// were not read back; texts as the boxes would show them.
  static DiffList Compare(const std::vector<std::vector<std::uint8_t>>& written,
                          const std::vector<std::vector<std::uint8_t>>& read);
  /// "Запись проверена: все 1208 параметров совпадают", with how many were
  /// left out when write-all left some out.
  static QString SuccessText(int compared, int leftOut);

  // link::RequestClient
  bool RequestAnswered(int tag, const link::Reply& reply) override;
  void RequestSent(int tag, bool repeat) override;

 private:
  void Finish();
  void Notify();

  link::ExchangeCycle& m_link;
  ParamSet& m_set;
  std::function<void(const DiffList&, int, int)> m_finished;
  std::function<void(const TransferProgress&)> m_progress;
  int m_total = 0;
  int m_answered = 0;
  bool m_stalled = false;
  int m_leftOut = 0;
  std::vector<std::vector<std::uint8_t>> m_written;
  std::vector<std::vector<std::uint8_t>> m_read;
};

}  // namespace zart::params

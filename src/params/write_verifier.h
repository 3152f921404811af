#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "params/catalogue.h"
#include "params/param_diff.h"

namespace zart::link {
class ExchangeCycle;
class RxStore;
}  // namespace zart::link

namespace zart::params {

class ParamEditor;

/// Checks a write-all: once the controller has echoed all 133 writes, the
/// whole EEPROM is read again and compared, slot by slot, with the bytes
/// that were written. The read-back replies are taken here and never shown
/// in the boxes, which keep what the user wrote.
class WriteVerifier {
 public:
  enum class Phase { idle, writing, reading };

  WriteVerifier(link::ExchangeCycle& link, const ParamCatalogue& catalogue, ParamEditor& editor);

  /// Starts watching a write-all just queued: `written` holds each slot's
  /// bytes as sent (empty for a slot not written), `lastWriteSlot` is the
  /// queue slot of its last request. A running check is dropped.
  void Begin(std::vector<std::vector<std::uint8_t>> written, int lastWriteSlot);
  /// Forgets a running check.
  void Cancel();

  /// The link's notice that queue slot `slot` was answered (after the
  /// editor has had it): the last write starts the read-back.
  void OnRequestCompleted(int slot);
  /// A function-100/101 reply: true when it is one of the read-back's and
  /// was taken here (it must not reach the boxes).
  bool Consume(const link::RxStore& rx, int rxCount);

  Phase CurrentPhase() const { return m_phase; }
  /// Called once per check with the slots that do not match (an empty list
  /// when all do) and the number of slots compared.
  void SetFinishedHandler(std::function<void(const DiffList& mismatches, int compared)> handler) {
    m_finished = std::move(handler);
  }

  /// The slots whose read-back bytes differ from the written ones, or that
  /// were not read back; texts as the boxes would show them.
  static DiffList Compare(const ParamCatalogue& catalogue, const std::vector<std::vector<std::uint8_t>>& written,
                          const std::vector<std::vector<std::uint8_t>>& read);
  /// "Запись проверена: все 1208 параметров совпадают".
  static QString SuccessText(int compared);

 private:
  void StartReading();
  void Finish();

  link::ExchangeCycle& m_link;
  const ParamCatalogue& m_catalogue;
  ParamEditor& m_editor;
  std::function<void(const DiffList&, int)> m_finished;
  Phase m_phase = Phase::idle;
  int m_lastWriteSlot = -1;
  std::deque<int> m_readSlots;  // queue slots of the read-back still unanswered
  bool m_currentIsOurs = false;  // the reply being dispatched answers a read-back
  std::vector<std::vector<std::uint8_t>> m_written;
  std::vector<std::vector<std::uint8_t>> m_read;
};

}  // namespace zart::params

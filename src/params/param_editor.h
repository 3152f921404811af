#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "params/conversions.h"
#include "params/eeprom_requests.h"

namespace zart::link {
class ExchangeCycle;
class StatusLine;
struct Reply;
}  // namespace zart::link

namespace zart::params {

class ParamSet;

/// How far the transfers queued so far have got.
struct TransferProgress {
  int answered = 0;      ///< requests of the transfers answered so far
  int total = 0;         ///< requests queued for them; 0 when none runs
  bool stalled = false;  ///< the controller did not answer: a request goes out again
  bool active() const { return total > 0 && answered < total; }
};

enum class TransferKind : std::uint8_t { read_all, write_all };

/// How a read-all or write-all ended.
struct TransferOutcome {
  /// Which transfer: the number ReadAllParams or WriteAllParams gave it.
  int id = 0;
  TransferKind kind = TransferKind::read_all;
  int requests = 0;
  /// Requests the controller refused (exception replies), and the code of
  /// the last refusal.
  int refused = 0;
  int exceptionCode = 0;
  /// Read-all: slots no reply filled; they are marked not read.
  int notRead = 0;
  /// Write-all: slots whose write was refused.
  SlotSet refusedSlots;
  /// Stopped by the user ("Прервать"); the rest was dropped from the queue.
  bool aborted = false;

  /// "Не прочитано 1208 параметров: контроллер отказал, код 1 —
  /// недопустимая функция"; empty when everything went through.
  QString Summary() const;
};

/// A slot write-all would not write, and why.
struct SlotProblem {
  int slot = 0;
  QString text;
  TextProblem problem = TextProblem::none;
};

/// What Enter in a box did.
struct EditResult {
  bool sent = false;
  /// Why nothing was sent, for the user: "«99999» вне диапазона 0 … 5100".
  QString message;
};

/// EEPROM transfers and single-parameter editing over the parameter set:
/// builds the function-100 and -101 requests into the link's queue, follows
/// each transfer by its own requests, and shows the replies in the set.
class ParamEditor {
 public:
  static constexpr int kKeyEnter = 13;

  /// `status`: the main window's status line, told when a whole transfer
  /// does not fit into the request queue (may be null).
  ParamEditor(link::ExchangeCycle& link, ParamSet& set, link::StatusLine* status = nullptr);
  ~ParamEditor();
  ParamEditor(const ParamEditor&) = delete;
  ParamEditor& operator=(const ParamEditor&) = delete;

  /// Shown when a read-all or write-all would overfill the request queue;
  /// the transfer is then not started at all.
  static QString TransferRefusedMessage();

  /// 131 block reads of the whole catalogue; the transfer's number (1, 2,
  /// ...). Nothing is queued, and 0 returned, when the queue has no room
  /// for all of them.
  int ReadAllParams();
  /// 131 block writes from the set's texts, then slot 23 (switching the
  /// address once sent), then slot 26: 133 requests. Slots in `leaveOut`,
  /// and every slot whose text cannot be written (WriteAllProblems), are
  /// left out, never written clamped or as a placeholder. The transfer's
  /// number; nothing is queued, and 0 returned, when the requests do not
  /// all fit. `written` receives each slot's bytes as sent (empty for a
  /// slot left out).
  int WriteAllParams(const SlotSet& leaveOut = {}, std::vector<std::vector<std::uint8_t>>* written = nullptr);
  /// The slots write-all would leave out: no value ever reached them (they
  /// show the text the window was created with), or their text is no
  /// number or out of range. In slot order.
  std::vector<SlotProblem> WriteAllProblems() const;

  /// Any valid reply with function code 100 or 101: its slots are shown in
  /// the set, in order from the one at the reply's start address.
  void HandleParamReply(const link::Reply& reply);

  /// "Прочитать всё из ЭСППЗУ": every box white, then the read-all.
  void cmd_readall_Click();
  /// "Записать всё в ЭСППЗУ": every box white, then the write-all.
  int cmd_writeall_Click(const SlotSet& leaveOut = {}, std::vector<std::vector<std::uint8_t>>* written = nullptr);
  /// The box's text changed (typed): the set takes it, the box turns white.
  void txt_par_Change(int index, const QString& text);
  /// Enter (13) writes the box's slot; other keys do nothing here. A text
  /// that is no number, or a value the slot cannot hold, is not sent: the
  /// box keeps it and the result says which range the slot takes.
  EditResult txt_par_KeyPress(int index, int key);

  /// "Прервать": drops the rest of every running transfer from the queue;
  /// the boxes keep the state they reached.
  void AbortTransfers();

  TransferProgress Progress() const;
  /// Called whenever the progress changes.
  void SetProgressHandler(std::function<void(const TransferProgress&)> handler) { m_progressHandler = std::move(handler); }
  /// Called as each transfer ends.
  void SetFinishedHandler(std::function<void(const TransferOutcome&)> handler) { m_finishedHandler = std::move(handler); }

 private:
  class Transfer;
  /// What a write-all sends: the blocks, and whether slots 23 and 26 follow.
  struct WritePlan {
    std::vector<Block> blocks;
    bool address = false;
    bool control = false;
    int Requests() const { return static_cast<int>(blocks.size()) + (address ? 1 : 0) + (control ? 1 : 0); }
  };
  WritePlan PlanWriteAll(const SlotSet& leaveOut) const;
  bool TransferFits(int requests);
  Transfer& StartTransfer(TransferKind kind);
  void Finished(Transfer* transfer);
  void NotifyProgress();

  link::ExchangeCycle& m_link;
  ParamSet& m_set;
  link::StatusLine* m_status;
  std::deque<std::unique_ptr<Transfer>> m_transfers;  // in queue order
  int m_lastId = 0;
  int m_answeredInDone = 0;  // requests of transfers already finished while others run
  int m_totalInDone = 0;
  std::function<void(const TransferProgress&)> m_progressHandler;
  std::function<void(const TransferOutcome&)> m_finishedHandler;
};

}  // namespace zart::params

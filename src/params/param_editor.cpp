#include "params/param_editor.h"

#include <algorithm>

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "link/status_line.h"
#include "params/param_set.h"

namespace zart::params {

QString TransferOutcome::Summary() const {
  QString refusal;
  if (refused > 0)
    refusal = QStringLiteral(u"контроллер отказал, код %1 — ").arg(exceptionCode) + link::ExceptionMeaning(exceptionCode);
  if (kind == TransferKind::read_all) {
    if (notRead == 0) return QString();
    QString text = QStringLiteral(u"Не прочитано %1 параметров").arg(notRead);
    if (!refusal.isEmpty()) text += QStringLiteral(u": ") + refusal;
    else if (aborted) text += QStringLiteral(u": чтение прервано");
    return text;
  }
  if (refused > 0)
    return QStringLiteral(u"Запись не выполнена для %1 параметров: ").arg(refusedSlots.count()) + refusal;
  if (aborted) return QStringLiteral(u"Запись прервана");
  return QString();
}

/// One read-all or write-all: its own requests, counted as they are
/// answered, and the slots a read-all still waits for.
class ParamEditor::Transfer final : public link::RequestClient {
 public:
  Transfer(ParamEditor& editor, TransferKind kind) : m_editor(editor) { outcome.kind = kind; }

  /// The request for `block` (its slots from `start`, `count` of them).
  link::RequestOptions Next(int start, int count) {
    m_blocks.push_back({start, count});
    ++outcome.requests;
    link::RequestOptions options;
    options.client = this;
    options.tag = static_cast<int>(m_blocks.size()) - 1;
    if (outcome.kind == TransferKind::read_all)
      for (int k = start; k < start + count; ++k) waiting.set(static_cast<std::size_t>(k));
    return options;
  }

  bool RequestAnswered(int tag, const link::Reply& reply) override {
    ++answered;
    stalled = false;
    bool taken = false;
    if (reply.IsException()) {
      // Nothing of the block came; the exchange still reports the code.
      ++outcome.refused;
      outcome.exceptionCode = reply.ExceptionCode();
      if (tag >= 0 && tag < static_cast<int>(m_blocks.size())) {
        const Span& b = m_blocks[static_cast<std::size_t>(tag)];
        for (int k = b.start; k < b.start + b.count; ++k) outcome.refusedSlots.set(static_cast<std::size_t>(k));
      }
    } else if (reply.FunctionCode() == link::FC_EEPROM_READ || reply.FunctionCode() == link::FC_EEPROM_WRITE) {
      m_editor.HandleParamReply(reply);
      taken = true;
    }
    m_editor.NotifyProgress();
    if (answered == outcome.requests) m_editor.Finished(this);
    return taken;
  }

  void RequestSent(int, bool repeat) override {
    if (repeat == stalled) return;
    stalled = repeat;
    m_editor.NotifyProgress();
  }

  TransferOutcome outcome;
  int answered = 0;
  bool stalled = false;
  SlotSet waiting;  // read-all: slots no reply has filled yet

 private:
  struct Span {
    int start;
    int count;
  };
  ParamEditor& m_editor;
  std::vector<Span> m_blocks;
};

ParamEditor::ParamEditor(link::ExchangeCycle& link, ParamSet& set, link::StatusLine* status)
    : m_link(link), m_set(set), m_status(status) {}

ParamEditor::~ParamEditor() {
  for (const auto& t : m_transfers) m_link.CancelRequests(t.get());
}

QString ParamEditor::TransferRefusedMessage() {
  return QStringLiteral(u"Очередь запросов переполнена: передача параметров не начата");
}

bool ParamEditor::TransferFits(int requests) {
  if (m_link.Queue().FreeSlots() >= requests) return true;
  // Half a transfer would leave the controller's EEPROM half written, so
  // the whole transfer is refused and the queue keeps what it holds.
  if (m_status) m_status->SetStatusText(TransferRefusedMessage());
  return false;
}

ParamEditor::Transfer& ParamEditor::StartTransfer(TransferKind kind) {
  m_transfers.push_back(std::make_unique<Transfer>(*this, kind));
  m_transfers.back()->outcome.id = ++m_lastId;
  return *m_transfers.back();
}

int ParamEditor::ReadAllParams() {
  const std::vector<Block> blocks = ParamBlocks();
  if (!TransferFits(static_cast<int>(blocks.size()))) return 0;
  Transfer& t = StartTransfer(TransferKind::read_all);
  for (const Block& b : blocks)
    QueueEepromRead(m_link, kCatalogue.par_addr[static_cast<std::size_t>(b.start)], b.bytes, t.Next(b.start, b.count));
  NotifyProgress();
  return t.outcome.id;
}

std::vector<SlotProblem> ParamEditor::WriteAllProblems() const {
  std::vector<SlotProblem> problems;
  for (int k = 0; k < kSlotCount; ++k) {
    const QString& text = m_set.Text(k);
    TextProblem problem = TextProblem::none;
    if (!m_set.HasValue(k))
      problem = TextProblem::initial;
    else if (!kCatalogue.IsText(k))
      problem = EncodeSlotText(k, text).problem;
    if (problem != TextProblem::none) problems.push_back({k, text, problem});
  }
  return problems;
}

ParamEditor::WritePlan ParamEditor::PlanWriteAll(const SlotSet& leaveOut) const {
  // The controller's own address and its external-control flag are kept out
  // of the blocks and written last, apart; slots that cannot be written are
  // never sent at all.
  WritePlan plan;
  SlotSet out = leaveOut;
  for (const SlotProblem& p : WriteAllProblems()) out.set(static_cast<std::size_t>(p.slot));
  plan.address = !out.test(SLOT_MODBUS_ADDRESS);
  plan.control = !out.test(SLOT_MODBUS_CONTROL);
  out.set(SLOT_MODBUS_ADDRESS);
  out.set(SLOT_MODBUS_CONTROL);
  plan.blocks = ParamBlocks(out);
  return plan;
}

int ParamEditor::WriteAllParams(const SlotSet& leaveOut, std::vector<std::vector<std::uint8_t>>* written) {
  const WritePlan plan = PlanWriteAll(leaveOut);
  if (!TransferFits(plan.Requests())) return 0;
  const std::vector<Block>& blocks = plan.blocks;
  const bool address = plan.address;
  const bool control = plan.control;

  if (written) written->assign(kSlotCount, {});
  auto record = [&](int slot, const std::vector<std::uint8_t>& bytes) {
    if (written) (*written)[static_cast<std::size_t>(slot)] = bytes;
  };
  Transfer& t = StartTransfer(TransferKind::write_all);
  std::vector<std::uint8_t> data;
  data.reserve(3 + kMaxReadCount);
  for (const Block& b : blocks) {
    const int a = kCatalogue.par_addr[static_cast<std::size_t>(b.start)];
    data.assign({link::ByteOfValue(a, 1), link::ByteOfValue(a, 0), static_cast<std::uint8_t>(b.bytes)});
    for (int k = b.start; k < b.start + b.count; ++k) {
      const std::vector<std::uint8_t> bytes = SlotWriteBytes(k, m_set.Text(k));
      data.insert(data.end(), bytes.begin(), bytes.end());
      record(k, bytes);
    }
    m_link.EnqueueRequest(link::FC_EEPROM_WRITE, data, t.Next(b.start, b.count));
  }

  // The controller's own address goes after every block: the requests before
  // it still reach the old address, and everything from the next request on
  // goes to the new one.
  auto single = [&](int slot, bool switchAddress) {
    const auto k = static_cast<std::size_t>(slot);
    const SlotEncoding v = EncodeSlotText(slot, m_set.Text(slot));
    link::RequestOptions options = t.Next(slot, 1);
    if (switchAddress) options.switchAddressTo = v.raw;
    QueueEepromWrite(m_link, kCatalogue.par_addr[k], v.raw, kCatalogue.par_size[k], options);
    record(slot, SlotWriteBytes(slot, m_set.Text(slot)));
  };
  if (address) single(SLOT_MODBUS_ADDRESS, true);
  // Control over Modbus last of all, so that switching it off cannot cut the
  // transfer short.
  if (control) single(SLOT_MODBUS_CONTROL, false);
  NotifyProgress();
  return t.outcome.id;
}

void ParamEditor::HandleParamReply(const link::Reply& reply) {
  const bool read = reply.FunctionCode() == link::FC_EEPROM_READ;
  for (const SlotBytes& s : SplitParamReply(reply)) {
    m_set.TakeControllerBytes(s.slot, s.Bytes(), read);
    for (const auto& t : m_transfers) t->waiting.reset(static_cast<std::size_t>(s.slot));
  }
}

void ParamEditor::Finished(Transfer* transfer) {
  // Transfers end in the order they were queued; the one that ended is the
  // oldest still recorded.
  const auto it = std::find_if(m_transfers.begin(), m_transfers.end(), [transfer](const auto& t) { return t.get() == transfer; });
  if (it == m_transfers.end()) return;
  std::unique_ptr<Transfer> done = std::move(*it);
  m_transfers.erase(it);
  m_link.CancelRequests(done.get());  // an aborted transfer leaves nothing behind
  if (done->outcome.kind == TransferKind::read_all && !done->outcome.aborted) {
    // A block the controller refused, or whose reply did not cover it: its
    // boxes say that the value was not read, instead of showing what they
    // held before as if it were the controller's.
    for (int k = 0; k < kSlotCount; ++k) {
      if (!done->waiting.test(static_cast<std::size_t>(k))) continue;
      m_set.SetState(k, SlotState::not_read);
      ++done->outcome.notRead;
    }
  } else if (done->outcome.aborted) {
    done->outcome.notRead = static_cast<int>(done->waiting.count());
  }
  if (m_transfers.empty()) {
    m_answeredInDone = 0;
    m_totalInDone = 0;
  } else {
    m_answeredInDone += done->answered;
    m_totalInDone += done->outcome.requests;
  }
  NotifyProgress();
  if (m_finishedHandler) m_finishedHandler(done->outcome);
}

void ParamEditor::AbortTransfers() {
  while (!m_transfers.empty()) {
    Transfer* t = m_transfers.front().get();
    m_link.CancelRequests(t);
    t->outcome.aborted = true;
    // The dropped requests will never be answered: count them as ended.
    t->answered = t->outcome.requests;
    Finished(t);
  }
}

void ParamEditor::cmd_readall_Click() {
  if (!TransferFits(static_cast<int>(ParamBlocks().size()))) return;
  m_set.SetAllStates(SlotState::changed);
  ReadAllParams();
}

int ParamEditor::cmd_writeall_Click(const SlotSet& leaveOut, std::vector<std::vector<std::uint8_t>>* written) {
  // Decided before the boxes turn white: a refusal leaves them as they were.
  if (!TransferFits(PlanWriteAll(leaveOut).Requests())) return 0;
  m_set.SetAllStates(SlotState::changed);
  return WriteAllParams(leaveOut, written);
}

void ParamEditor::txt_par_Change(int index, const QString& text) { m_set.SetText(index, text, SlotState::changed); }

EditResult ParamEditor::txt_par_KeyPress(int index, int key) {
  EditResult result;
  if (key != kKeyEnter || index < 0 || index >= kSlotCount) return result;
  const auto k = static_cast<std::size_t>(index);
  const QString text = m_set.Text(index);
  m_set.SetState(index, SlotState::changed);

  if (kCatalogue.IsText(index)) {
    result.sent = QueueEepromTextWrite(m_link, text, kCatalogue.par_addr[k], kCatalogue.par_size[k]);
    return result;
  }
  const SlotEncoding v = EncodeSlotText(index, text);
  if (!v.ok()) {
    // Nothing reaches the EEPROM that the user did not type: the box keeps
    // the text and the user learns which values the slot takes.
    result.message = ProblemText(index, text, v.problem);
    return result;
  }
  link::RequestOptions options;
  if (index == SLOT_MODBUS_ADDRESS) {
    m_set.SetText(index, QString::number(v.raw), SlotState::changed);
    // Every request after this write goes to the new address.
    options.switchAddressTo = v.raw;
  }
  result.sent = QueueEepromWrite(m_link, kCatalogue.par_addr[k], v.raw, kCatalogue.par_size[k], options);
  return result;
}

TransferProgress ParamEditor::Progress() const {
  TransferProgress p;
  if (m_transfers.empty()) return p;
  p.answered = m_answeredInDone;
  p.total = m_totalInDone;
  for (const auto& t : m_transfers) {
    p.answered += t->answered;
    p.total += t->outcome.requests;
  }
  p.stalled = m_transfers.front()->stalled;
  return p;
}

void ParamEditor::NotifyProgress() {
  if (m_progressHandler) m_progressHandler(Progress());
}

}  // namespace zart::params

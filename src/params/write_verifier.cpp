#include "params/write_verifier.h"

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "params/conversions.h"
#include "params/eeprom_requests.h"
#include "params/param_set.h"

namespace zart::params {

WriteVerifier::WriteVerifier(link::ExchangeCycle& link, ParamSet& set) : m_link(link), m_set(set) {}

WriteVerifier::~WriteVerifier() { m_link.CancelRequests(this); }

bool WriteVerifier::Start(std::vector<std::vector<std::uint8_t>> written, int leftOut) {
  Cancel();
  const std::vector<Block> blocks = ParamBlocks();
  if (m_link.Queue().FreeSlots() < static_cast<int>(blocks.size())) return false;
  m_written = std::move(written);
  m_written.resize(kSlotCount);
  m_read.assign(kSlotCount, {});
  m_leftOut = leftOut;
  link::RequestOptions options;
  options.client = this;
  for (const Block& b : blocks) QueueEepromRead(m_link, kCatalogue.par_addr[static_cast<std::size_t>(b.start)], b.bytes, options);
  m_total = static_cast<int>(blocks.size());
  m_answered = 0;
  Notify();
  return true;
}

void WriteVerifier::Cancel() {
  m_link.CancelRequests(this);
  const bool was = Running();
  m_total = 0;
  m_answered = 0;
  m_stalled = false;
  if (was) Notify();
}

TransferProgress WriteVerifier::Progress() const { return {m_answered, m_total, m_stalled}; }

void WriteVerifier::Notify() {
  if (m_progress) m_progress(Progress());
}

bool WriteVerifier::RequestAnswered(int, const link::Reply& reply) {
  if (!Running()) return false;
  ++m_answered;
  m_stalled = false;
  // An exception reply brings no data: the slots it covered count as not
  // read back. The exchange still reports its code.
  const bool taken = reply.FunctionCode() == link::FC_EEPROM_READ;
  if (taken) {
    for (const SlotBytes& s : SplitParamReply(reply)) {
      m_read[static_cast<std::size_t>(s.slot)].assign(s.Bytes().begin(), s.Bytes().end());
      m_set.RecordControllerBytes(s.slot, s.Bytes(), true);
    }
  }
  Notify();
  if (m_answered == m_total) Finish();
  return taken;
}

void WriteVerifier::RequestSent(int, bool repeat) {
  if (repeat == m_stalled) return;
  m_stalled = repeat;
  Notify();
}

void WriteVerifier::Finish() {
  const DiffList mismatches = Compare(m_written, m_read);
  int compared = 0;
  for (const auto& w : m_written) compared += w.empty() ? 0 : 1;
  m_total = 0;
  m_answered = 0;
  Notify();
  if (m_finished) m_finished(mismatches, compared, m_leftOut);
}

DiffList WriteVerifier::Compare(const std::vector<std::vector<std::uint8_t>>& written,
                                const std::vector<std::vector<std::uint8_t>>& read) {
  DiffList list;
  list.title = QStringLiteral(u"Не совпадает после записи");
  list.leftCaption = QStringLiteral(u"Записано");
  list.rightCaption = QStringLiteral(u"Прочитано");
  for (int k = 0; k < kSlotCount && static_cast<std::size_t>(k) < written.size(); ++k) {
    const auto& w = written[static_cast<std::size_t>(k)];
    if (w.empty()) continue;
    const auto* r = static_cast<std::size_t>(k) < read.size() ? &read[static_cast<std::size_t>(k)] : nullptr;
    if (r == nullptr || r->empty()) {
      list.entries.push_back({k, SlotTextOfBytes(k, w), QString(), DiffState::notRead, {}});
      ++list.missing;
    } else if (*r != w) {
      list.entries.push_back({k, SlotTextOfBytes(k, w), SlotTextOfBytes(k, *r), DiffState::differs, {}});
      ++list.differs;
    }
  }
  list.summary = QStringLiteral(u"Не совпадает после записи: отличий %1, не прочитано %2").arg(list.differs).arg(list.missing);
  return list;
}

QString WriteVerifier::SuccessText(int compared, int leftOut) {
  if (leftOut == 0) return QStringLiteral(u"Запись проверена: все %1 параметров совпадают").arg(compared);
  return QStringLiteral(u"Запись проверена: все %1 записанных параметров совпадают; не записано %2").arg(compared).arg(leftOut);
}

}  // namespace zart::params

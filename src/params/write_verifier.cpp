#include "params/write_verifier.h"

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "link/rx_store.h"
#include "params/controller_image.h"
#include "params/param_editor.h"

namespace zart::params {

WriteVerifier::WriteVerifier(link::ExchangeCycle& link, const ParamCatalogue& catalogue, ParamEditor& editor)
    : m_link(link), m_catalogue(catalogue), m_editor(editor) {}

void WriteVerifier::Begin(std::vector<std::vector<std::uint8_t>> written, int lastWriteSlot) {
  Cancel();
  m_written = std::move(written);
  m_written.resize(kSlotCount);
  m_lastWriteSlot = lastWriteSlot;
  m_phase = Phase::writing;
}

void WriteVerifier::Cancel() {
  m_phase = Phase::idle;
  m_readSlots.clear();
  m_currentIsOurs = false;
  m_read.assign(kSlotCount, {});
}

void WriteVerifier::OnRequestCompleted(int slot) {
  m_currentIsOurs = false;
  switch (m_phase) {
    case Phase::idle:
      return;
    case Phase::writing:
      // Requests leave the queue in order: once the last write is answered,
      // every write of the set has been echoed.
      if (slot == m_lastWriteSlot) StartReading();
      return;
    case Phase::reading:
      if (!m_readSlots.empty() && m_readSlots.front() == slot) {
        m_readSlots.pop_front();
        m_currentIsOurs = true;
        return;
      }
      // The last read-back was answered with an exception (no data came):
      // the slots it covered count as not read.
      if (m_readSlots.empty()) Finish();
      return;
  }
}

void WriteVerifier::StartReading() {
  m_phase = Phase::reading;
  m_read.assign(kSlotCount, {});
  const int first = m_link.Queue().WriteIndex();
  if (!m_editor.ReadAllParams()) {
    // No room for the read-back: the check ends with every slot unread.
    Finish();
    return;
  }
  const int count = (m_link.Queue().WriteIndex() - first + link::RequestQueue::kSlots) % link::RequestQueue::kSlots;
  for (int i = 0; i < count; ++i) m_readSlots.push_back((first + i) % link::RequestQueue::kSlots);
}

bool WriteVerifier::Consume(const link::RxStore& rx, int rxCount) {
  if (m_phase != Phase::reading || !m_currentIsOurs || rx[1] != link::FC_EEPROM_READ) return false;
  m_currentIsOurs = false;
  for (SlotBytes& s : SplitParamReply(m_catalogue, rx, rxCount)) m_read[static_cast<std::size_t>(s.slot)] = std::move(s.bytes);
  if (m_readSlots.empty()) Finish();
  return true;
}

void WriteVerifier::Finish() {
  const DiffList mismatches = Compare(m_catalogue, m_written, m_read);
  int compared = 0;
  for (const auto& w : m_written) compared += w.empty() ? 0 : 1;
  m_phase = Phase::idle;
  m_readSlots.clear();
  if (m_finished) m_finished(mismatches, compared);
}

DiffList WriteVerifier::Compare(const ParamCatalogue& catalogue, const std::vector<std::vector<std::uint8_t>>& written,
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
      list.entries.push_back({k, SlotTextOfBytes(catalogue, k, w), QString(), DiffState::notRead});
      ++list.missing;
    } else if (*r != w) {
      list.entries.push_back({k, SlotTextOfBytes(catalogue, k, w), SlotTextOfBytes(catalogue, k, *r), DiffState::differs});
      ++list.differs;
    }
  }
  list.summary = QStringLiteral(u"Не совпадает после записи: отличий %1, не прочитано %2").arg(list.differs).arg(list.missing);
  return list;
}

QString WriteVerifier::SuccessText(int compared) {
  return QStringLiteral(u"Запись проверена: все %1 параметров совпадают").arg(compared);
}

}  // namespace zart::params

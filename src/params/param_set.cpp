#include "params/param_set.h"

#include <algorithm>

#include "params/conversions.h"

namespace zart::params {

namespace {

const QString& EmptyText() {
  static const QString empty;
  return empty;
}

}  // namespace

ParamSet::ParamSet() {
  for (int k = 0; k < kSlotCount; ++k) m_slots[static_cast<std::size_t>(k)].text = kCatalogue.InitialText(k);
}

const QString& ParamSet::Text(int slot) const {
  return Valid(slot) ? m_slots[static_cast<std::size_t>(slot)].text : EmptyText();
}

SlotState ParamSet::State(int slot) const {
  return Valid(slot) ? m_slots[static_cast<std::size_t>(slot)].state : SlotState::initial;
}

void ParamSet::Changed(int slot) {
  if (m_listener != nullptr) m_listener->SlotChanged(slot);
}

void ParamSet::SetText(int slot, const QString& text, SlotState state) {
  if (!Valid(slot)) return;
  Slot& s = m_slots[static_cast<std::size_t>(slot)];
  s.hasValue = true;
  if (s.text == text && s.state == state) return;
  s.text = text;
  s.state = state;
  Changed(slot);
}

void ParamSet::SetState(int slot, SlotState state) {
  if (!Valid(slot)) return;
  Slot& s = m_slots[static_cast<std::size_t>(slot)];
  if (s.state == state) return;
  s.state = state;
  Changed(slot);
}

void ParamSet::SetAllStates(SlotState state) {
  for (int k = 0; k < kSlotCount; ++k) SetState(k, state);
}

void ParamSet::ResetTexts() {
  for (int k = 0; k < kSlotCount; ++k) {
    SetText(k, kCatalogue.InitialText(k), SlotState::initial);
    m_slots[static_cast<std::size_t>(k)].hasValue = false;
  }
}

std::span<const std::uint8_t> ParamSet::ControllerBytes(int slot) const {
  if (!Valid(slot)) return {};
  const Slot& s = m_slots[static_cast<std::size_t>(slot)];
  return {s.bytes.data(), s.byteCount};
}

QString ParamSet::ControllerText(int slot) const {
  const auto bytes = ControllerBytes(slot);
  return bytes.empty() ? QString() : SlotTextOfBytes(slot, bytes);
}

void ParamSet::RecordControllerBytes(int slot, std::span<const std::uint8_t> bytes, bool read) {
  if (!Valid(slot) || bytes.empty()) return;
  if (read) m_backupDue = true;
  Slot& s = m_slots[static_cast<std::size_t>(slot)];
  if (s.byteCount == 0) ++m_known;
  s.byteCount = static_cast<std::uint8_t>(std::min(bytes.size(), s.bytes.size()));
  std::copy_n(bytes.begin(), s.byteCount, s.bytes.begin());
}

void ParamSet::TakeControllerBytes(int slot, std::span<const std::uint8_t> bytes, bool read) {
  if (!Valid(slot) || bytes.empty()) return;
  RecordControllerBytes(slot, bytes, read);
  SetText(slot, SlotTextOfBytes(slot, bytes), SlotState::from_eeprom);
}

void ParamSet::ForgetController() {
  for (Slot& s : m_slots) s.byteCount = 0;
  m_known = 0;
  m_backupDue = false;
}

int ParamSet::WithoutValueCount() const {
  return static_cast<int>(std::count_if(m_slots.begin(), m_slots.end(), [](const Slot& s) { return !s.hasValue; }));
}

}  // namespace zart::params

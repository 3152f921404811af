#pragma once

#include <array>
#include <cstdint>
#include <span>

#include <QString>

#include "params/box_colors.h"
#include "params/catalogue.h"

namespace zart::params {

/// Told of every change of a slot's text or state (the parameters window
/// repaints its box).
class ParamSetListener {
 public:
  virtual ~ParamSetListener() = default;
  virtual void SlotChanged(int slot) = 0;
};

/// The parameter set: for each slot 0..1207 the text exactly as its box
/// shows it, where that text came from, and the bytes of the controller's
/// last reply for the slot. Transfers, editing, files, comparisons, backups,
/// the write check and the report work on this; the parameters window shows
/// it and hands the user's typing in, and the command line uses it with no
/// window at all. A value lives as this text: a save writes what the boxes
/// show.
class ParamSet {
 public:
  /// Every slot at its initial text (`ParamCatalogue::InitialText`), no
  /// value read.
  ParamSet();

  /// Slots outside 0..1207 read as an empty text in state `initial` and
  /// are ignored when set.
  const QString& Text(int slot) const;
  SlotState State(int slot) const;

  /// Sets a slot's text and then its state, as the program does when a
  /// value arrives (a reply, a file, the user's typing).
  void SetText(int slot, const QString& text, SlotState state);
  void SetState(int slot, SlotState state);
  /// Every slot to `state` (the start of a read-all or write-all).
  void SetAllStates(SlotState state);
  /// Back to the initial texts and state, as a new parameters window shows
  /// them. What the controller last sent is kept for the backup.
  void ResetTexts();

  /// The bytes of the controller's last reply for the slot (a read, or a
  /// write's echo), in EEPROM order; empty when no reply has covered it.
  std::span<const std::uint8_t> ControllerBytes(int slot) const;
  /// The slot's text as that reply showed it; empty when none did.
  QString ControllerText(int slot) const;
  int KnownCount() const { return m_known; }
  /// A reply's bytes for `slot`: kept as the controller's, shown as the
  /// slot's text (ShowParamValue, ShowParamText) in state `from_eeprom`.
  /// `read`: the reply was to a read (function 100), so the set now on
  /// record came from the controller and a backup is due.
  void TakeControllerBytes(int slot, std::span<const std::uint8_t> bytes, bool read);
  /// Only the record, not the text (the write check's read-back).
  void RecordControllerBytes(int slot, std::span<const std::uint8_t> bytes, bool read);

  /// Values were read from the controller since the last backup.
  bool BackupDue() const { return m_backupDue && m_known > 0; }
  void MarkBackedUp() { m_backupDue = false; }
  /// Forgets what the controller sent (another controller, say).
  void ForgetController();

  /// A value has reached the slot (read, loaded or typed) since the set was
  /// made or reset; false while it shows the text its box was created with,
  /// whatever colour the box has taken since.
  bool HasValue(int slot) const { return Valid(slot) && m_slots[static_cast<std::size_t>(slot)].hasValue; }
  /// Slots no value has reached.
  int WithoutValueCount() const;

  /// The one view told of changes; null: none.
  void SetListener(ParamSetListener* listener) { m_listener = listener; }

 private:
  struct Slot {
    QString text;
    SlotState state = SlotState::initial;
    bool hasValue = false;
    std::uint8_t byteCount = 0;
    std::array<std::uint8_t, 12> bytes{};
  };
  void Changed(int slot);
  static bool Valid(int slot) { return slot >= 0 && slot < kSlotCount; }

  std::array<Slot, kSlotCount> m_slots;
  int m_known = 0;
  bool m_backupDue = false;
  ParamSetListener* m_listener = nullptr;
};

}  // namespace zart::params

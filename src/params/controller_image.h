#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QString>

#include "params/catalogue.h"

namespace zart::link {
class RxStore;
}

namespace zart::params {

/// One slot's bytes as a function-100/101 reply carried them.
struct SlotBytes {
  int slot = 0;
  std::vector<std::uint8_t> bytes;  ///< par_size bytes, EEPROM order
};

/// The slots a reply of `rxCount` bytes (CRC included) covers, walked from
/// the slot at its start address exactly as the boxes are filled: stops
/// after slot 1207, at the end of the byte count or of the bytes received,
/// and before a slot whose bytes are not all there. Empty when the start
/// address is no slot's.
std::vector<SlotBytes> SplitParamReply(const ParamCatalogue& catalogue, const link::RxStore& rx, int rxCount);

/// The text a box shows for these bytes of the slot: the scaled number with
/// one space, or the Windows-1251 text up to its first zero byte.
QString SlotTextOfBytes(const ParamCatalogue& catalogue, int slot, const std::vector<std::uint8_t>& bytes);

/// The parameter set as the controller last showed it: for each slot the
/// text and bytes of its last reply (a read or a write's echo), independent
/// of what the user has typed since. This is what a backup saves.
class ControllerImage {
 public:
  explicit ControllerImage(const ParamCatalogue& catalogue) : m_catalogue(catalogue) {}

  /// Records the slots of a valid reply with function code `function`
  /// (100 or 101). A read (100) makes a backup due: the set now on record
  /// came from the controller and has not been saved yet.
  void Record(int function, const link::RxStore& rx, int rxCount);
  /// The same for slots already split out of a reply.
  void Record(int function, const std::vector<SlotBytes>& taken);

  /// True once slot has been seen in a reply.
  bool Known(int slot) const;
  /// The slot's text as its last reply showed it; empty when never seen.
  QString Text(int slot) const;
  int KnownCount() const { return m_known; }

  /// Values were read from the controller since the last backup.
  bool BackupDue() const { return m_backupDue && m_known > 0; }
  void MarkBackedUp() { m_backupDue = false; }
  /// Forgets everything (another controller, say).
  void Clear();

 private:
  const ParamCatalogue& m_catalogue;
  std::array<QString, kSlotCount> m_texts{};
  std::array<bool, kSlotCount> m_seen{};
  int m_known = 0;
  bool m_backupDue = false;
};

}  // namespace zart::params

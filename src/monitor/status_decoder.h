#pragma once

#include <cstdint>

#include <QString>

#include "link/rx_store.h"
#include "monitor/status_view.h"

namespace zart::monitor {

class ParamWindowHook;

/// Turns the controller's status block (input registers 300..424, read by
/// the idle status request) into what the main window shows, and keeps the
/// parameters window's "blocked" banner in step.
class StatusDecoder {
 public:
  /// Object types the controller reports in register 302.
  static constexpr int kObjectDgu = 0;  ///< diesel generator set, "ДГУ"
  static constexpr int kObjectDra = 1;  ///< propulsion unit with gearbox, "ДРА"

  /// Numbers use the decimal separator of the default QLocale.
  explicit StatusDecoder(StatusView& view);

  /// Decodes a valid reply with function code 4 at its fixed offsets; the
  /// byte count is not checked.
  void DecodeStatus(const link::RxStore& rx);

  /// Switches `lbl_object`, the type-specific lamps and the propeller shaft
  /// speed for object type 0 or 1; any other value leaves the display as is.
  void ApplyObjectType(int objectType);

  /// Writes FormatValue(value, decimals, multiplier, suffix) into `label`.
  void ShowValue(ValueLabel label, double value, int decimals, double multiplier, const QString& suffix);

  /// The parameters window, once it can exist; null detaches it.
  void SetParamWindowHook(ParamWindowHook* hook) { m_hook = hook; }

  /// Last object type shown (0 until the first status reply).
  int ObjectType() const { return object_type; }
  /// True while the last status reply carried the "Modbus control blocked"
  /// flag; false before the first reply.
  bool Blocked() const { return m_blocked; }

  /// Register r of the status block as it lies in the receive store.
  static int RegisterU16(const link::RxStore& rx, int r) { return rx.ReadU16(link::RxStore::RegOffset(r - 300)); }
  static int RegisterS16(const link::RxStore& rx, int r) { return rx.ReadS16(link::RxStore::RegOffset(r - 300)); }

 private:
  QString VersionText(int reg) const;

  StatusView& m_view;
  ParamWindowHook* m_hook = nullptr;
  int object_type = kObjectDgu;
  bool m_blocked = false;
};

}  // namespace zart::monitor

#pragma once

#include <cstdint>

#include <QDateTime>
#include <QString>

#include "link/rx_store.h"
#include "monitor/status_view.h"

namespace zart::monitor {

class ParamWindowHook;

/// Turns the controller's status block (input registers 300..424, read by
/// the idle status request) into what the main window shows, keeps the
/// parameters window's "blocked" banner in step, and marks the display as
/// stale when replies stop coming.
class StatusDecoder {
 public:
  /// A display older than this is shown as stale.
  static constexpr qint64 kStaleAfterMs = 1000;

  /// Numbers use the decimal separator of the default QLocale.
  explicit StatusDecoder(StatusView& view);

  /// Decodes a valid reply with function code 4 at its fixed offsets; the
  /// byte count is not checked. `when` is the local time of the reply.
  void DecodeStatus(const link::RxStore& rx, const QDateTime& when = QDateTime::currentDateTime());

  /// Switches `lbl_object`, the type-specific lamps and the propeller shaft
  /// speed for object type 0 or 1; any other value leaves the display as is.
  void ApplyObjectType(int objectType);

  /// Writes FormatValue(value, decimals, multiplier, suffix) into `label`.
  void ShowValue(ValueLabel label, double value, int decimals, double multiplier, const QString& suffix);

  /// Looks at the age of the display: once no status reply has come for
  /// more than kStaleAfterMs, the window shows its values as the last ones
  /// known, with the time of the last reply. Called a few times a second.
  void CheckFreshness(const QDateTime& now);
  /// "Нет связи с 12:03:15: показаны последние значения".
  static QString StaleNote(const QDateTime& lastReply);

  /// The parameters window's banner; null detaches it.
  void SetParamWindowHook(ParamWindowHook* hook) { m_hook = hook; }

  /// Last object type shown (-1 until a known type has been reported).
  int ObjectType() const { return object_type; }
  /// True while the last status reply carried the "Modbus control blocked"
  /// flag; false before the first reply.
  bool Blocked() const { return m_blocked; }
  /// The display is not live: no reply yet, or none for a while.
  bool Stale() const { return m_stale; }
  /// When the last status reply was decoded; invalid before the first.
  QDateTime LastReply() const { return m_lastReply; }

 private:
  QString VersionText(int reg) const;

  StatusView& m_view;
  ParamWindowHook* m_hook = nullptr;
  int object_type = -1;
  bool m_blocked = false;
  bool m_stale = true;  // no reply yet: the window shows that it has no data
  QDateTime m_lastReply;
};

}  // namespace zart::monitor

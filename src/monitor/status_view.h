#pragma once

#include <QString>

namespace zart::monitor {

/// The value labels of the main window that the status block drives.
enum class ValueLabel {
  lbl_object,    ///< object type, "ДГУ" or "ДРА"
  lbl_pr_ver,    ///< protocol version
  lbl_sw_ver,    ///< controller software version
  lbl_eng_rpm,   ///< engine speed, rev/min
  lbl_prop_rpm,  ///< propeller shaft speed, rev/min
  lbl_acc,       ///< battery voltage, V
  lbl_service,   ///< hours left until service
  lbl_motomin,   ///< total running time, hours
};

/// What the status decoding hands the main window. The window only shows;
/// every decision is taken before a call reaches it.
class StatusView {
 public:
  /// Eleven indicator lamps `lbl_led`(0..10).
  static constexpr int kLampCount = 11;
  /// Signal cells `lbl_sgl`(0..255); cell 0 is the hidden template.
  static constexpr int kSignalCount = 256;
  /// Fault-word labels `lbl_faults`(0..8) in the hidden fault panel.
  static constexpr int kFaultCount = 9;

  virtual ~StatusView() = default;

  virtual void SetValueText(ValueLabel label, const QString& text) = 0;
  /// `index` 0..kFaultCount-1.
  virtual void SetFaultText(int index, const QString& text) = 0;
  /// Lit: opaque background in the lamp's colour; unlit: transparent.
  virtual void SetLampLit(int index, bool lit) = 0;
  virtual void SetLampVisible(int index, bool visible) = 0;
  /// `index` 0..kSignalCount-1; cells light green.
  virtual void SetSignalLit(int index, bool lit) = 0;
  /// `lbl_prop_rpm` together with its caption `lblc_prop_rpm`.
  virtual void SetPropSpeedVisible(bool visible) = 0;
  /// The menu command "Программируемые параметры".
  virtual void SetParamMenuEnabled(bool enabled) = 0;
  /// The main window's "control over Modbus blocked" banner.
  virtual void SetBlockedBannerVisible(bool visible) = 0;
  /// No status reply for a while: values, lamps and signals are shown as the
  /// last ones known (greyed), with `note` saying since when; false when
  /// replies come again.
  virtual void SetStale(bool stale, const QString& note) = 0;
};

}  // namespace zart::monitor

#pragma once

namespace zart::monitor {

/// The parameters window as the live monitor sees it. The main window holds
/// one; without it (tests, or before the window exists) nothing happens.
class ParamWindowHook {
 public:
  virtual ~ParamWindowHook() = default;
  /// Each status reply: the state of the "control over Modbus blocked"
  /// banner, shown by the parameters window whenever it exists.
  virtual void SetBlockedBanner(bool visible) = 0;
  /// The menu command "Программируемые параметры": queue the read-all and
  /// show the window modeless, owned by the main window (building it first
  /// when there is none).
  virtual void OpenParamWindow() = 0;
};

}  // namespace zart::monitor

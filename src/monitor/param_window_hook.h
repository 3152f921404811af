#pragma once

namespace zart::monitor {

/// The parameters window as the live monitor sees it. The main window holds
/// one; without it (tests, or before the window exists) nothing happens.
class ParamWindowHook {
 public:
  virtual ~ParamWindowHook() = default;
  /// Each status reply: creates the parameters window hidden when it does
  /// not exist, then shows or hides its "control over Modbus blocked" banner.
  virtual void SetBlockedBanner(bool visible) = 0;
  /// The menu command "Программируемые параметры": rebuild the catalogue,
  /// queue the read-all, show the window modeless, owned by the main window.
  virtual void OpenParamWindow() = 0;
};

}  // namespace zart::monitor

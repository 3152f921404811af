#pragma once

namespace zart::ui {

/// What the port dialog remembers from one opening to the next during a run.
struct PortDialogState {
  /// Set by "ОК", cleared by "Отмена"; false at program start and not reset
  /// when the dialog opens again.
  bool port_confirmed = false;
};

}  // namespace zart::ui

#pragma once

#include <vector>

namespace zart::ui {

/// How the keyboard walks the parameter boxes. Tab and Shift+Tab go along a
/// row of a table (channel screens, input screens, logic blocks, relays),
/// then on to the next row; on the function pages they go from top to
/// bottom. Up and Down move within a column of a channel or input screen,
/// stopping at the screen's first and last row.
class ParamKeyboardOrder {
 public:
  /// All 1208 slots in Tab order: function pages row by row (boxes of one
  /// row left to right), then each channel screen row by row across its
  /// nine columns, each input screen across its four, the logic blocks, the
  /// relays.
  static std::vector<int> TabOrder();

  /// The slot one row up (step -1) or down (+1) in the same column of the
  /// same screen, or -1 where there is none (the screen's edge, or a slot
  /// outside the channel and input tables).
  static int ColumnNeighbour(int slot, int step);
};

}  // namespace zart::ui

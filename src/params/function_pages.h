#pragma once

#include <array>
#include <vector>

#include <QString>

namespace zart::params {

/// One row of a function page: a caption label and its boxes, left to right.
struct FunctionRow {
  QString caption;
  /// 1..3 slots, the row's boxes left to right; empty for a label without
  /// boxes (the footnote). (Not called `slots`: Qt defines that as a macro.)
  std::vector<int> boxSlots;
  /// Header above a row of several boxes ("    П1             П2 ..."); often empty.
  QString columnHeader;
};

/// One of the five hand-laid pages for slots 0..88.
struct FunctionPage {
  QString tabCaption;    // "Двигатель", "ОЖ", "Масло", "Токовое упр", "Система"
  QString frameCaption;  // "Управление двигателем", ...
  std::vector<FunctionRow> rows;  // top to bottom
};

/// The five function pages in tab order; every slot 0..88 appears exactly once.
const std::array<FunctionPage, 5>& FunctionPages();

}  // namespace zart::params

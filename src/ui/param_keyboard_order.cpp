#include "ui/param_keyboard_order.h"

#include "params/catalogue.h"
#include "params/function_pages.h"

namespace zart::ui {
namespace {

constexpr int kRowsPerScreen = 8;
constexpr int kChannelColumns = 9;
constexpr int kInputColumns = 4;

// A table of `rows` entries per column, stored column by column from `first`,
// shown as screens of eight rows: the slots of each screen row by row.
void AppendTable(std::vector<int>& order, int first, int rows, int columns) {
  for (int screen = 0; screen * kRowsPerScreen < rows; ++screen) {
    for (int r = 0; r < kRowsPerScreen; ++r) {
      for (int j = 0; j < columns; ++j) order.push_back(first + rows * j + kRowsPerScreen * screen + r);
    }
  }
}

}  // namespace

std::vector<int> ParamKeyboardOrder::TabOrder() {
  std::vector<int> order;
  order.reserve(params::kSlotCount);
  for (const params::FunctionPage& page : params::FunctionPages()) {
    for (const params::FunctionRow& row : page.rows) order.insert(order.end(), row.boxSlots.begin(), row.boxSlots.end());
  }
  AppendTable(order, params::kChannelFirstSlot, params::kChannels, kChannelColumns);
  AppendTable(order, params::kInputFirstSlot, params::kInputs, kInputColumns);
  // Logic blocks (threshold, then inputs 1..8) and relays are stored row by row.
  for (int slot = params::kLogicFirstSlot; slot < params::kInputFirstSlot; ++slot) order.push_back(slot);
  return order;
}

int ParamKeyboardOrder::ColumnNeighbour(int slot, int step) {
  int first = 0;
  int rows = 0;
  if (slot >= params::kChannelFirstSlot && slot < params::kLogicFirstSlot) {
    first = params::kChannelFirstSlot;
    rows = params::kChannels;
  } else if (slot >= params::kInputFirstSlot && slot < params::kSlotCount) {
    first = params::kInputFirstSlot;
    rows = params::kInputs;
  } else {
    return -1;
  }
  const int row = (slot - first) % rows % kRowsPerScreen + step;
  return row >= 0 && row < kRowsPerScreen ? slot + step : -1;
}

}  // namespace zart::ui

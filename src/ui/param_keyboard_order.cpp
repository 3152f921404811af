#include "ui/param_keyboard_order.h"

#include "params/catalogue.h"
#include "params/function_pages.h"

namespace zart::ui {
namespace {

using params::kCatalogue;
using params::PageGroup;

// A table stored column by column from its first slot, shown as screens of
// eight rows: the slots of each screen row by row.
void AppendTable(std::vector<int>& order, PageGroup group, int rows, int columns) {
  const int first = params::ParamCatalogue::FirstSlot(group);
  for (int screen = 0; screen * params::kRowsPerScreen < rows; ++screen) {
    for (int r = 0; r < params::kRowsPerScreen; ++r) {
      for (int j = 0; j < columns; ++j) order.push_back(first + rows * j + params::kRowsPerScreen * screen + r);
    }
  }
}

}  // namespace

std::vector<int> ParamKeyboardOrder::TabOrder() {
  std::vector<int> order;
  order.reserve(params::kSlotCount);
  for (const params::FunctionPage& page : params::kFunctionPages) {
    for (const params::FunctionRow& row : page.rows)
      for (int slot : row.boxes)
        if (slot >= 0) order.push_back(slot);
  }
  AppendTable(order, PageGroup::channel, params::kChannels, params::kChannelColumns);
  AppendTable(order, PageGroup::input, params::kInputs, params::kInputColumns);
  // Logic blocks (threshold, then inputs 1..8) and relays are stored row by row.
  for (int slot = params::ParamCatalogue::FirstSlot(PageGroup::logic);
       slot < params::ParamCatalogue::FirstSlot(PageGroup::input); ++slot)
    order.push_back(slot);
  return order;
}

int ParamKeyboardOrder::ColumnNeighbour(int slot, int step) {
  if (slot < 0 || slot >= params::kSlotCount) return -1;
  const params::SlotPlace& place = kCatalogue.PlaceOf(slot);
  if (place.group != PageGroup::channel && place.group != PageGroup::input) return -1;
  // Within a column the channels (inputs) follow each other slot by slot.
  const int row = place.row + step;
  return row >= 0 && row < params::kRowsPerScreen ? slot + step : -1;
}

}  // namespace zart::ui

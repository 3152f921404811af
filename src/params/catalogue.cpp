#include "params/catalogue.h"

#include <algorithm>

#include "params/function_pages.h"

namespace zart::params {

namespace {

// Slots 0..36 are scattered over the controller's first parameter area, so
// they are listed one by one; everything after them is laid out in runs.
constexpr std::array<double, 37> kFirstScales = {1, 1, 20, 20, 20, 20, 1, 1, 1, 1,   1,   1,   0.1,
                                                 1, 1, 1,  6,  1,  1,  1, 1, 1, 10,  1,   1,   1,
                                                 1, 1, 1,  0.1, 20, 10, 6, 0.5, 0.5, 1, 1};
constexpr std::array<std::uint16_t, 37> kFirstAddresses = {
    256, 257, 258, 259, 260, 261, 262, 263, 264, 265, 266, 283, 268, 269, 270, 271, 272, 273, 274,
    275, 276, 277, 278, 279, 285, 286, 287, 320, 321, 280, 372, 373, 374, 281, 282, 377, 384};
constexpr int kFirstListedSlot = 10;  // the only two-byte slot among 0..36

bool Contains(std::initializer_list<int> set, int v) { return std::find(set.begin(), set.end(), v) != set.end(); }

}  // namespace

void ParamCatalogue::InitParamTables() {
  auto at = [](int slot) { return static_cast<std::size_t>(slot); };

  for (int k = 0; k < 37; ++k) {
    par_size[at(k)] = k == kFirstListedSlot ? 2 : 1;
    par_scale[at(k)] = kFirstScales[at(k)];
    par_addr[at(k)] = kFirstAddresses[at(k)];
  }

  int counter = 0;
  auto place = [&](int slot, int size, double scale) {
    par_size[at(slot)] = static_cast<std::uint8_t>(size);
    par_scale[at(slot)] = scale;
    par_addr[at(slot)] = static_cast<std::uint16_t>(counter);
    counter += size;
  };

  // Oil pump thresholds and the two coolant pressure monitors.
  counter = 512;
  place(37, 1, -1);
  place(38, 1, -1);
  for (int slot = 39; slot <= 44; slot += 2) {
    place(slot, 1, 0.1);
    place(slot + 1, 1, 1);
  }

  // Current control, gearbox oil and the remaining function settings.
  counter = 576;
  for (int slot = 45; slot <= 88; ++slot) {
    const int i = slot - 45;
    const int size = Contains({2, 19, 20, 21}, i) ? 2 : 1;
    double scale = 1;
    if (Contains({2, 3, 6, 8, 9, 15, 16, 17, 19, 20, 21}, i))
      scale = 0.1;
    else if (i == 5)
      scale = 20;
    else if (i == 22)
      scale = -1;
    else if (Contains({23, 24, 25, 26, 27}, i))
      scale = 0.5;
    place(slot, size, scale);
  }

  // The channel table, column by column. Within each group of eight
  // channels the controller keeps four long names and four short ones.
  counter = 1280;
  for (int j = 0; j < 9; ++j) {
    for (int c = 1; c <= kChannels; ++c) {
      const int slot = kChannelFirstSlot + kChannels * j + (c - 1);
      if (j == 0)
        place(slot, (c - 1) % 8 < 4 ? 12 : 4, TEXT_KIND);
      else if (j == 1 || j == 2 || j == 5)
        place(slot, 1, 1);
      else
        place(slot, 2, -0.1);
    }
  }

  counter = 2792;
  for (int slot = kLogicFirstSlot; slot < kRelayFirstSlot; ++slot) place(slot, 2, 1);

  counter = 640;
  for (int slot = kRelayFirstSlot; slot < kInputFirstSlot; ++slot) place(slot, 2, 1);

  counter = 3126;
  for (int j = 0; j < 4; ++j)
    for (int d = 1; d <= kInputs; ++d) place(kInputFirstSlot + kInputs * j + (d - 1), j == 0 ? 12 : 1, j == 0 ? TEXT_KIND : 1);

  m_slotAtAddress.fill(0);
  for (int k = 0; k < kSlotCount; ++k) {
    const std::size_t a = par_addr[at(k)];
    if (a < m_slotAtAddress.size()) m_slotAtAddress[a] = static_cast<std::int16_t>(k + 1);
  }
}

int ParamCatalogue::SlotAtAddress(int address) const {
  if (address < 0 || address >= static_cast<int>(m_slotAtAddress.size())) return -1;
  return m_slotAtAddress[static_cast<std::size_t>(address)] - 1;
}

PageRef ParamCatalogue::PageOf(int slot) const {
  if (slot < kChannelFirstSlot) {
    const auto& pages = FunctionPages();
    for (std::size_t p = 0; p < pages.size(); ++p)
      for (const FunctionRow& row : pages[p].rows)
        if (std::find(row.boxSlots.begin(), row.boxSlots.end(), slot) != row.boxSlots.end())
          return {PageGroup::function, static_cast<int>(p)};
    return {PageGroup::function, 0};
  }
  if (slot < kLogicFirstSlot) {
    const int c = (slot - kChannelFirstSlot) % kChannels + 1;
    return {PageGroup::channel, (c - 1) / 8};
  }
  if (slot < kNotFirstSlot) return {PageGroup::logic, (slot - kLogicFirstSlot) / 9};
  if (slot < kRelayFirstSlot) return {PageGroup::logic, slot < kNotFirstSlot + 8 ? 15 : 16};
  if (slot < kInputFirstSlot) return {PageGroup::relay, (slot - kRelayFirstSlot) / 8};
  const int d = (slot - kInputFirstSlot) % kInputs + 1;
  return {PageGroup::input, (d - 1) / 8};
}

}  // namespace zart::params

#include "params/catalogue.h"

#include <algorithm>
#include <initializer_list>

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
constexpr int kTwoByteFirstSlot = 10;  // the only two-byte slot among 0..36

constexpr bool Contains(std::initializer_list<int> set, int v) {
  for (int x : set)
    if (x == v) return true;
  return false;
}

constexpr std::uint8_t U8(int v) { return static_cast<std::uint8_t>(v); }

// Builds the tables from the controller's layout; run once, by the
// compiler, for kCatalogue.
constexpr ParamCatalogue InitParamTables() {
  ParamCatalogue c{};
  auto at = [](int slot) { return static_cast<std::size_t>(slot); };

  for (int k = 0; k < 37; ++k) {
    c.par_size[at(k)] = k == kTwoByteFirstSlot ? 2 : 1;
    c.par_scale[at(k)] = kFirstScales[at(k)];
    c.par_addr[at(k)] = kFirstAddresses[at(k)];
  }

  int counter = 0;
  auto place = [&](int slot, int size, double scale) {
    c.par_size[at(slot)] = U8(size);
    c.par_scale[at(slot)] = scale;
    c.par_addr[at(slot)] = static_cast<std::uint16_t>(counter);
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
  for (int slot = 45; slot < ParamCatalogue::FirstSlot(PageGroup::channel); ++slot) {
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

  // The function pages' rows, as they stand on screen.
  for (std::size_t p = 0; p < kFunctionPages.size(); ++p) {
    const auto& rows = kFunctionPages[p].rows;
    for (std::size_t r = 0; r < rows.size(); ++r)
      for (std::size_t b = 0; b < rows[r].boxes.size(); ++b)
        if (rows[r].boxes[b] >= 0)
          c.par_place[at(rows[r].boxes[b])] = {PageGroup::function, U8(static_cast<int>(p)), U8(static_cast<int>(r)),
                                               U8(static_cast<int>(b))};
  }

  // The channel table, column by column and within a column channel by
  // channel. Within each group of eight channels the controller keeps four
  // long names and four short ones.
  counter = 1280;
  for (int j = 0; j < kChannelColumns; ++j) {
    for (int ch = 0; ch < kChannels; ++ch) {
      const int slot = ParamCatalogue::FirstSlot(PageGroup::channel) + kChannels * j + ch;
      if (j == 0)
        place(slot, ch % kRowsPerScreen < 4 ? 12 : 4, TEXT_KIND);
      else if (j == 1 || j == 2 || j == 5)
        place(slot, 1, 1);
      else
        place(slot, 2, -0.1);
      c.par_place[at(slot)] = {PageGroup::channel, U8(ch / kRowsPerScreen), U8(ch % kRowsPerScreen), U8(j)};
    }
  }

  // Majority blocks М1..М15 (threshold, eight inputs), then the two NOT
  // blocks Н1, Н2 (eight inputs each).
  counter = 2792;
  int slot = ParamCatalogue::FirstSlot(PageGroup::logic);
  for (int m = 0; m < kMajorityBlocks; ++m)
    for (int k = 0; k < kMajoritySlots; ++k, ++slot) {
      place(slot, 2, 1);
      c.par_place[at(slot)] = {PageGroup::logic, U8(m), 0, U8(k)};
    }
  for (int n = 0; n < kNotBlocks; ++n)
    for (int k = 0; k < kNotInputs; ++k, ++slot) {
      place(slot, 2, 1);
      c.par_place[at(slot)] = {PageGroup::logic, U8(kMajorityBlocks + n), 0, U8(k)};
    }

  counter = 640;
  for (int r = 0; r < kRelays; ++r, ++slot) {
    place(slot, 2, 1);
    c.par_place[at(slot)] = {PageGroup::relay, U8(r / kRelaysPerPage), 0, U8(r % kRelaysPerPage)};
  }

  counter = 3126;
  for (int j = 0; j < kInputColumns; ++j)
    for (int d = 0; d < kInputs; ++d, ++slot) {
      place(slot, j == 0 ? 12 : 1, j == 0 ? TEXT_KIND : 1);
      c.par_place[at(slot)] = {PageGroup::input, U8(d / kRowsPerScreen), U8(d % kRowsPerScreen), U8(j)};
    }

  for (int k = 0; k < kSlotCount; ++k) c.slot_at_address[c.par_addr[at(k)]] = static_cast<std::int16_t>(k + 1);
  return c;
}

constexpr ParamCatalogue kBuilt = InitParamTables();

// What the rest of the program relies on, checked as the program is built.
constexpr bool TilesTheMap() {
  // No two slots share a byte, and they cover 2996 bytes in 256..4085.
  std::array<bool, 4096> used{};
  int bytes = 0;
  for (int k = 0; k < kSlotCount; ++k) {
    const auto slot = static_cast<std::size_t>(k);
    for (int i = 0; i < kBuilt.par_size[slot]; ++i) {
      const int a = kBuilt.par_addr[slot] + i;
      if (a < 256 || a > 4085 || used[static_cast<std::size_t>(a)]) return false;
      used[static_cast<std::size_t>(a)] = true;
      ++bytes;
    }
  }
  return bytes == 2996;
}
static_assert(TilesTheMap());
static_assert(kBuilt.SlotAtAddress(1280) == ParamCatalogue::FirstSlot(PageGroup::channel));
static_assert(kBuilt.par_size[SLOT_MODBUS_ADDRESS] == 1 && kBuilt.par_addr[SLOT_MODBUS_ADDRESS] == 279);
static_assert(kBuilt.par_addr[kSlotCount - 1] == 4085);
static_assert(kBuilt.PlaceOf(ParamCatalogue::FirstSlot(PageGroup::relay)).group == PageGroup::relay);
static_assert(kBuilt.PlaceOf(ParamCatalogue::FirstSlot(PageGroup::input)).group == PageGroup::input);
static_assert(kBuilt.PlaceOf(kSlotCount - 1).page == kInputScreens - 1 && kBuilt.PlaceOf(kSlotCount - 1).column == 3);

constexpr bool EveryFunctionSlotPlacedOnce() {
  std::array<int, 89> seen{};
  for (const FunctionPage& page : kFunctionPages)
    for (const FunctionRow& row : page.rows)
      for (std::int16_t b : row.boxes)
        if (b >= 0) {
          if (b >= ParamCatalogue::FirstSlot(PageGroup::channel)) return false;
          ++seen[static_cast<std::size_t>(b)];
        }
  for (int n : seen)
    if (n != 1) return false;
  return true;
}
static_assert(EveryFunctionSlotPlacedOnce());

}  // namespace

constinit const ParamCatalogue kCatalogue = kBuilt;

QString ParamCatalogue::InitialText(int slot) const {
  const int n = InitialNumber(slot);
  return n < 0 ? QStringLiteral(u"-") : QString::number(n);
}

}  // namespace zart::params

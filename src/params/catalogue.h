#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include <QString>

namespace zart::params {

inline constexpr int kSlotCount = 1208;
/// `par_scale` of a text slot: par_size bytes, one Windows-1251 character each.
inline constexpr double TEXT_KIND = 65535;
/// The controller's own Modbus slave address; written apart, limited to 0..127.
inline constexpr int SLOT_MODBUS_ADDRESS = 23;
/// "Внешн. упр. по Modbus": written last of all by write-all.
inline constexpr int SLOT_MODBUS_CONTROL = 26;

/// The page arrays of the parameters window.
enum class PageGroup : std::uint8_t { function, channel, logic, relay, input };
inline constexpr std::array<PageGroup, 5> kPageGroups{PageGroup::function, PageGroup::channel, PageGroup::logic,
                                                      PageGroup::relay, PageGroup::input};

/// The page a slot's box lies on: `frm_fun(index)`, `frm_psa(index)`,
/// `frm_logic(index)`, `frm_prs(index)` or `frm_din(index)`.
struct PageRef {
  PageGroup group = PageGroup::function;
  int index = 0;
  friend constexpr bool operator==(const PageRef&, const PageRef&) = default;
};

/// Where a slot's box stands on its page.
///  - function pages: `row` is the row of the page (captions and the
///    footnote counted), `column` the box in that row, 0..2;
///  - channel and input screens: `row` 0..7 of the screen, `column` the
///    table column (0 the name);
///  - logic pages: `column` 0 the threshold of a majority block, 1..8 its
///    inputs; 0..7 the inputs of a NOT block;
///  - relay pages: `column` 0..7.
struct SlotPlace {
  PageGroup group = PageGroup::function;
  std::uint8_t page = 0;
  std::uint8_t row = 0;
  std::uint8_t column = 0;
};

/// The raw range a numeric slot holds.
struct RawRange {
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
};

/// Pages of each group and the shape of the generated tables.
inline constexpr int kFunctionPageCount = 5;
inline constexpr int kChannels = 72;
inline constexpr int kChannelColumns = 9;
inline constexpr int kInputs = 64;
inline constexpr int kInputColumns = 4;
inline constexpr int kRowsPerScreen = 8;
inline constexpr int kChannelScreens = kChannels / kRowsPerScreen;  // 9
inline constexpr int kInputScreens = kInputs / kRowsPerScreen;      // 8
inline constexpr int kMajorityBlocks = 15;
inline constexpr int kMajoritySlots = 9;  // threshold and eight inputs
inline constexpr int kNotBlocks = 2;
inline constexpr int kNotInputs = 8;
inline constexpr int kLogicPages = kMajorityBlocks + kNotBlocks;  // 17
inline constexpr int kRelays = 64;
inline constexpr int kRelaysPerPage = 8;
inline constexpr int kRelayPages = kRelays / kRelaysPerPage;  // 8

/// The map of the controller's EEPROM and of the parameters window: for each
/// slot 0..1207 its size in bytes (1, 2, 4 or 12), kind and display scale
/// (TEXT_KIND, negative for a signed number whose scale is the magnitude,
/// else unsigned), byte address, and where its box stands. Multi-byte
/// numbers are stored most significant byte first. The program holds one
/// copy, `kCatalogue`, built at compile time.
struct ParamCatalogue {
  std::array<std::uint8_t, kSlotCount> par_size{};
  std::array<double, kSlotCount> par_scale{};
  std::array<std::uint16_t, kSlotCount> par_addr{};
  std::array<SlotPlace, kSlotCount> par_place{};
  /// Slot + 1 whose first byte lies at each EEPROM address (0: none); the
  /// EEPROM map ends below 4096.
  std::array<std::int16_t, 4096> slot_at_address{};

  constexpr bool IsText(int slot) const { return par_scale[At(slot)] == TEXT_KIND; }
  constexpr bool IsSigned(int slot) const { return par_scale[At(slot)] < 0; }
  /// The display scale's magnitude (1 for a text slot).
  constexpr double Scale(int slot) const {
    const double s = par_scale[At(slot)];
    return s == TEXT_KIND ? 1.0 : (s < 0 ? -s : s);
  }
  /// The raw range of a numeric slot: 0..255, -128..127, 0..65535,
  /// -32768..32767 (a four-byte slot spans 32 bits).
  constexpr RawRange Range(int slot) const {
    const bool sign = IsSigned(slot);
    switch (par_size[At(slot)]) {
      case 1: return sign ? RawRange{-128, 127} : RawRange{0, 255};
      case 2: return sign ? RawRange{-32768, 32767} : RawRange{0, 65535};
      default: {
        constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min();
        constexpr std::int32_t hi = std::numeric_limits<std::int32_t>::max();
        return sign ? RawRange{lo, hi} : RawRange{0, hi};
      }
    }
  }
  /// The slot whose first byte is at `address`, or -1.
  constexpr int SlotAtAddress(int address) const {
    if (address < 0 || address >= static_cast<int>(slot_at_address.size())) return -1;
    return slot_at_address[static_cast<std::size_t>(address)] - 1;
  }
  constexpr PageRef PageOf(int slot) const { return {par_place[At(slot)].group, par_place[At(slot)].page}; }
  constexpr const SlotPlace& PlaceOf(int slot) const { return par_place[At(slot)]; }
  /// The first slot of a page group's table (0 for the function pages).
  static constexpr int FirstSlot(PageGroup group) {
    switch (group) {
      case PageGroup::function: return 0;
      case PageGroup::channel: return 89;
      case PageGroup::logic: return 737;
      case PageGroup::relay: return 888;
      case PageGroup::input: return 952;
    }
    return 0;
  }
  /// The text a box shows before any value reaches it: "-" for the boxes the
  /// window lays out by hand (the function pages and the first box of each
  /// table), the channel or input number in the name column of the later
  /// screens, and the slot's own number everywhere else.
  QString InitialText(int slot) const;
  /// The number in InitialText, or -1 for "-".
  constexpr int InitialNumber(int slot) const {
    const SlotPlace& p = par_place[At(slot)];
    if (p.group == PageGroup::function || slot == FirstSlot(p.group)) return -1;
    if ((p.group == PageGroup::channel || p.group == PageGroup::input) && p.column == 0 && p.page > 0)
      return kRowsPerScreen * p.page + p.row + 1;
    return slot;
  }

 private:
  static constexpr std::size_t At(int slot) {
    return static_cast<std::size_t>(slot < 0 ? 0 : (slot >= kSlotCount ? kSlotCount - 1 : slot));
  }
};

/// The one catalogue of the program, built from the controller's layout by
/// `InitParamTables` at compile time.
extern const ParamCatalogue kCatalogue;

}  // namespace zart::params

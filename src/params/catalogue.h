#pragma once

#include <array>
#include <cstdint>

namespace zart::params {

inline constexpr int kSlotCount = 1208;
/// `par_scale` of a text slot: par_size bytes, one Windows-1251 character each.
inline constexpr double TEXT_KIND = 65535;
/// The controller's own Modbus slave address; written apart, limited to 0..127.
inline constexpr int SLOT_MODBUS_ADDRESS = 23;
/// "Внешн. упр. по Modbus": written last of all by write-all.
inline constexpr int SLOT_MODBUS_CONTROL = 26;

/// Where the regular tables begin: channels 1..72 × 9 columns, logic blocks
/// М1..М15 × 9 then Н1, Н2 × 8, relays 1..64, discrete inputs 1..64 × 4.
inline constexpr int kChannelFirstSlot = 89;
inline constexpr int kChannels = 72;
inline constexpr int kLogicFirstSlot = 737;
inline constexpr int kNotFirstSlot = 872;
inline constexpr int kRelayFirstSlot = 888;
inline constexpr int kInputFirstSlot = 952;
inline constexpr int kInputs = 64;

/// The page arrays of the parameters window.
enum class PageGroup { function, channel, logic, relay, input };

/// The page a slot's box lies on: `frm_fun(index)`, `frm_psa(index)`,
/// `frm_logic(index)`, `frm_prs(index)` or `frm_din(index)`.
struct PageRef {
  PageGroup group = PageGroup::function;
  int index = 0;
  friend bool operator==(const PageRef&, const PageRef&) = default;
};

/// The map of the controller's EEPROM: for each slot 0..1207 its size in
/// bytes (1, 2, 4 or 12), kind and display scale (TEXT_KIND, negative for a
/// signed number whose scale is the magnitude, else unsigned) and byte
/// address. Multi-byte numbers are stored most significant byte first.
class ParamCatalogue {
 public:
  /// Fills the three tables; calling it again rebuilds identical tables.
  void InitParamTables();

  std::array<std::uint8_t, kSlotCount> par_size{};
  std::array<double, kSlotCount> par_scale{};
  std::array<std::uint16_t, kSlotCount> par_addr{};

  bool IsText(int slot) const { return par_scale[static_cast<std::size_t>(slot)] == TEXT_KIND; }
  /// The slot whose first byte is at `address`, or -1 (also before InitParamTables).
  int SlotAtAddress(int address) const;
  /// Where the slot's box lies in the parameters window.
  PageRef PageOf(int slot) const;

 private:
  // Slot + 1 whose first byte lies at each EEPROM address (0: none),
  // rebuilt with the tables; the EEPROM map ends below 4096.
  std::array<std::int16_t, 4096> m_slotAtAddress{};
};

}  // namespace zart::params

#pragma once

#include <array>
#include <cstdint>

namespace zart::params {

/// Background colours of a parameter box, 0xRRGGBB. They tell the user where
/// the box's value came from.
inline constexpr std::uint32_t COLOR_FROM_EEPROM = 0x00FF00;
inline constexpr std::uint32_t COLOR_NOT_READ = 0xFF0000;
inline constexpr std::uint32_t COLOR_FROM_FILE = 0x4BAFFF;
inline constexpr std::uint32_t COLOR_MISSING_IN_FILE = 0xFFFF80;
inline constexpr std::uint32_t COLOR_MATCHES_FILE = 0xC0FFC0;
inline constexpr std::uint32_t COLOR_DIFFERS_FROM_FILE = 0xFF8080;
inline constexpr std::uint32_t COLOR_CHANGED = 0xFFFFFF;

/// Where a slot's value came from: the seven box colours, and the state of
/// a box no value has reached yet (it still shows the text it was created
/// with, on the edit box's own white background).
enum class SlotState : std::uint8_t {
  initial,
  from_eeprom,
  not_read,
  from_file,
  missing_in_file,
  matches_file,
  differs_from_file,
  changed,
};

/// A state's colour with the caption the parameters window's legend gives it.
struct ColorLegendEntry {
  SlotState state;
  std::uint32_t color;
  const char16_t* caption;
};

/// The legend, top to bottom, as the parameters window shows it; the
/// service report names each box's state with the same words.
inline constexpr std::array<ColorLegendEntry, 7> kColorLegend{{
    {SlotState::from_eeprom, COLOR_FROM_EEPROM, u"Значение из ЭСППЗУ"},
    {SlotState::not_read, COLOR_NOT_READ, u"Значение не прочитано из ЭСППЗУ"},
    {SlotState::from_file, COLOR_FROM_FILE, u"Значение из файла"},
    {SlotState::missing_in_file, COLOR_MISSING_IN_FILE, u"Значение отсутствует в файле"},
    {SlotState::matches_file, COLOR_MATCHES_FILE, u"Значение соответствует данному в файле"},
    {SlotState::differs_from_file, COLOR_DIFFERS_FROM_FILE, u"Значение не соответствует данному в файле"},
    {SlotState::changed, COLOR_CHANGED, u"Значение изменено"},
}};

/// The background of a box in that state; a box no value has reached is
/// white like a changed one.
constexpr std::uint32_t ColorOf(SlotState state) {
  for (const ColorLegendEntry& entry : kColorLegend)
    if (entry.state == state) return entry.color;
  return COLOR_CHANGED;
}

/// The legend caption of a state; a box no value has reached has not been
/// read, so it gets the caption of COLOR_NOT_READ.
constexpr const char16_t* StateCaption(SlotState state) {
  for (const ColorLegendEntry& entry : kColorLegend)
    if (entry.state == state) return entry.caption;
  return kColorLegend[1].caption;
}

}  // namespace zart::params

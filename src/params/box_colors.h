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

/// A box colour with the caption the parameters window's legend gives it.
struct ColorLegendEntry {
  std::uint32_t color;
  const char16_t* caption;
};

/// The legend, top to bottom, as the parameters window shows it; the
/// service report names each box's state with the same words.
inline constexpr std::array<ColorLegendEntry, 7> kColorLegend{{
    {COLOR_FROM_EEPROM, u"Значение из ЭСППЗУ"},
    {COLOR_NOT_READ, u"Значение не прочитано из ЭСППЗУ"},
    {COLOR_FROM_FILE, u"Значение из файла"},
    {COLOR_MISSING_IN_FILE, u"Значение отсутствует в файле"},
    {COLOR_MATCHES_FILE, u"Значение соответствует данному в файле"},
    {COLOR_DIFFERS_FROM_FILE, u"Значение не соответствует данному в файле"},
    {COLOR_CHANGED, u"Значение изменено"},
}};

/// The legend caption of a colour (0xRRGGBB, higher bits ignored); a box
/// never coloured has not been read, so any other value gets the caption of
/// COLOR_NOT_READ.
constexpr const char16_t* ColorCaption(std::uint32_t color) {
  for (const ColorLegendEntry& entry : kColorLegend)
    if (entry.color == (color & 0xFFFFFFu)) return entry.caption;
  return kColorLegend[1].caption;
}

}  // namespace zart::params

#include "eeprom_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace zart::sim {
namespace {

// Single settings 0..36: address and a typical raw value.
struct SingleSetting {
  int address;
  std::uint8_t raw;
};

constexpr SingleSetting kSingleSettings[] = {
    {256, 80},   // display brightness, %
    {257, 0},    // object type (overwritten per type)
    {258, 15},   // start speed, x20 = 300 rev/min
    {259, 30},   // idle speed, x20 = 600 rev/min
    {260, 75},   // working speed, x20 = 1500 rev/min
    {261, 90},   // maximum speed, x20 = 1800 rev/min
    {262, 136},  // flywheel teeth
    {263, 60},   // propeller-shaft teeth
    {264, 5},    // low-temperature circuit channel
    {265, 6},    // high-temperature circuit channel
    // 266..267: speed at 20 mA, U16, written below
    {283, 0},    // external control from the remote post off
    {268, 220},  // battery warning threshold, x0.1 = 22.0 V
    {269, 15},   // engine stop time, s
    {270, 5},    // emergency stop device time, s
    {271, 40},   // warm-up temperature, °C
    {272, 30},   // warm-up time, x6 = 180 s
    {273, 10},   // stop device time, s
    {274, 5},    // glow plug time, s
    {275, 8},    // starter time, s
    {276, 3},    // start attempts
    {277, 10},   // pause between attempts, s
    {278, 25},   // running hours until service, x10 = 250 h
    {279, 7},    // Modbus slave address
    {285, 2},    // wait before start, s
    {286, 50},   // regulation pulse, ms
    {287, 1},    // external control over Modbus on
    {320, 5},    // external Modbus time-out, s
    {321, 1},    // coolant temperature channel
    {280, 5},    // battery compensation, x0.1 = 0.5 V
    {372, 40},   // reverse lock by engine speed, x20 = 800 rev/min
    {373, 20},   // reverse lock by shaft speed, x10 = 200 rev/min
    {374, 10},   // idle running time, x6 = 60 s
    {281, 20},   // minimum current, x0.5 = 10 %
    {282, 190},  // maximum current, x0.5 = 95 %
    {377, 0},    // PLM board off
    {384, 1},    // one input module
};

// 512..519: oil heater switch-on/off temperatures (signed), then three
// pressure/time pairs.
constexpr std::uint8_t kOilBlock[] = {20, 35, 5, 30, 15, 10, 25, 10};

// 576..623 as bytes in address order (the U16 values at 578, 596, 598 and
// 600 are given as their two bytes).
constexpr std::uint8_t kEngineBlock[] = {
    0, 0,          // 576 direct control channel, 577 4-20 mA source
    0x00, 10,      // 578 current step, x0.1 = 1.0 %
    10,            // 580 current period, x0.1 = 1.0 s
    2,             // 581 oil pressure channel
    50,            // 582 oil pressure switch speed, x20 = 1000 rev/min
    12,            // 583 oil pressure multiplier P1, x0.1
    4,             // 584 engine speed channel
    10, 8,         // 585, 586 oil pressure multipliers P2, alarm
    3,             // 587 oil temperature channel for the heater
    60,            // 588 cool-down time, s
    0, 0,          // 589, 590 gearbox oil pressure channels
    5,             // 591 gearbox oil delay, s
    12, 10, 8,     // 592..594 gearbox oil multipliers
    10,            // 595 delay before alarm analysis, s
    0x01, 0x2C,    // 596 oil priming limit after stop, x0.1 = 30 s
    0x02, 0x58,    // 598 periodic priming limit, x0.1 = 60 s
    0x02, 0x58,    // 600 priming period, x0.1 = 60 min
    90,            // 602 pump temperature limit, signed °C
    2, 10,         // 603, 604 current steps, x0.5 %
    40, 160,       // 605, 606 idle / working current, x0.5 %
    8,             // 607 minimum input current, x0.5 %
    0, 0, 0,       // 608 discrete mode, 609 direct mode, 610 channel
    3,             // 611 oil temperature channel
    0,             // 612 propeller-shaft speed channel (set per type)
    1, 2, 3,       // 613 programming enable, 614 emergency stop, 615 gearbox
    1, 2,          // 616, 617 current output channels
    0,             // 618 shaft direction channel
    4, 5, 6,       // 619 charge generator, 620 START, 621 STOP inputs
    7, 8,          // 622, 623 increase / decrease inputs
};
static_assert(sizeof(kEngineBlock) == 48);

struct Channel {
  std::u16string_view name;
  std::uint8_t type;
  std::int16_t low, high;           // range, x0.1
  std::uint8_t control;
  std::int16_t p1, p2, alarm;       // thresholds, x0.1
};

// The channels that carry sensors; every other channel is switched off.
constexpr Channel kChannels[] = {
    {u"Т ОЖ", 1, -2000, 8500, 19, 950, 980, 1000},
    {u"Р масла", 6, 0, 70, 11, 15, 12, 8},
    {u"Т масла", 1, -2000, 8500, 3, 1000, 1050, 1100},
    {u"Обороты", 16, 0, 30000, 3, 16000, 17000, 18000},
    {u"Т1", 13, -400, 1500, 1, 600, 700, 800},
    {u"Т2", 13, -400, 1500, 1, 600, 700, 800},
    {u"Р1", 14, 0, 100, 0, 0, 0, 0},
    {u"Р2", 14, 0, 100, 0, 0, 0, 0},
    {u"Т выхл. 1", 2, -2000, 13600, 1, 5000, 5500, 6000},
    {u"Т выхл. 2", 2, -2000, 13600, 1, 5000, 5500, 6000},
    {u"Р топлива", 8, 0, 300, 1, 20, 15, -5},
    {u"Внутр. Т", 15, -400, 1000, 16, 600, 700, 850},
};

std::u16string numbered(std::u16string_view prefix, int n) {
  std::u16string s(prefix);
  for (char c : std::to_string(n)) s.push_back(static_cast<char16_t>(c));
  return s;
}

}  // namespace

std::uint8_t ToWindows1251(char16_t c) {
  if (c < 0x80) return static_cast<std::uint8_t>(c);
  if (c >= 0x0410 && c <= 0x044F) return static_cast<std::uint8_t>(0xC0 + (c - 0x0410));
  if (c == 0x0401) return 0xA8;  // Ё
  if (c == 0x0451) return 0xB8;  // ё
  if (c == 0x00B0) return 0xB0;  // degree sign
  return '?';
}

EepromImage::EepromImage() { m_bytes.fill(0xFF); }

std::uint8_t EepromImage::At(int address) const {
  if (address < 0 || address >= kSize) return 0xFF;
  return m_bytes[static_cast<std::size_t>(address)];
}

void EepromImage::Set(int address, std::uint8_t value) {
  if (address >= 0 && address < kSize) m_bytes[static_cast<std::size_t>(address)] = value;
}

void EepromImage::SetU16(int address, std::uint16_t value) {
  Set(address, static_cast<std::uint8_t>(value >> 8));
  Set(address + 1, static_cast<std::uint8_t>(value & 0xFF));
}

void EepromImage::SetText(int address, std::u16string_view text, int size) {
  for (int i = 0; i < size; ++i) {
    const auto k = static_cast<std::size_t>(i);
    Set(address + i, k < text.size() ? ToWindows1251(text[k]) : 0);
  }
}

EepromImage EepromImage::Defaults(int objectType, std::uint8_t erased) {
  EepromImage img;
  img.m_bytes.fill(erased);
  const bool dra = objectType == 1;
  for (const SingleSetting& s : kSingleSettings) img.Set(s.address, s.raw);
  img.Set(kObjectTypeByte, dra ? 1 : 0);
  img.SetU16(266, 1800);  // engine speed at 20 mA
  for (std::size_t i = 0; i < sizeof(kOilBlock); ++i) img.Set(512 + static_cast<int>(i), kOilBlock[i]);
  for (std::size_t i = 0; i < sizeof(kEngineBlock); ++i) img.Set(576 + static_cast<int>(i), kEngineBlock[i]);
  img.Set(612, dra ? 71 : 0);  // propeller-shaft speed channel
  img.Set(618, dra ? 72 : 0);  // propeller-shaft direction channel

  // Channel table, 72 channels. Names of 12 bytes for the first four of each
  // group of eight, 4 bytes for the other four.
  for (int c = 1; c <= 72; ++c) {
    const int b = (c - 1) / 8;
    const int r = (c - 1) % 8;
    const int nameAddr = r < 4 ? 1280 + 64 * b + 12 * r : 1280 + 64 * b + 48 + 4 * (r - 4);
    const int nameSize = r < 4 ? 12 : 4;
    Channel ch{};
    if (c <= static_cast<int>(std::size(kChannels))) {
      ch = kChannels[c - 1];
    }
    std::u16string name = ch.name.empty() ? (r < 4 ? numbered(u"Канал ", c) : numbered(u"К", c))
                                          : std::u16string(ch.name);
    if (dra && c == 71) name = u"ОГВ";  // propeller-shaft speed
    if (dra && c == 72) name = u"НГВ";  // propeller-shaft direction
    if (dra && c == 71) ch = {u"", 16, 0, 10000, 3, 0, 0, 0};
    if (dra && c == 72) ch = {u"", 17, 0, 10, 0, 0, 0, 0};
    img.SetText(nameAddr, name, nameSize);
    const int i = c - 1;
    img.Set(1856 + i, 1);  // input module
    img.Set(1928 + i, ch.type);
    img.SetU16(2000 + 2 * i, static_cast<std::uint16_t>(ch.low));
    img.SetU16(2144 + 2 * i, static_cast<std::uint16_t>(ch.high));
    img.Set(2288 + i, ch.control);
    img.SetU16(2360 + 2 * i, static_cast<std::uint16_t>(ch.p1));
    img.SetU16(2504 + 2 * i, static_cast<std::uint16_t>(ch.p2));
    img.SetU16(2648 + 2 * i, static_cast<std::uint16_t>(ch.alarm));
  }

  // Logic blocks: majority block 1 wants two of its inputs (signals 1 and 2),
  // the others are unused; the NOT blocks invert nothing.
  for (int a = 2792; a < 3094; a += 2) img.SetU16(a, 0);
  img.SetU16(2792, 2);
  img.SetU16(2794, 1);
  img.SetU16(2796, 2);

  // Relay outputs 1..64: the first eight follow signals 1..8, relay 9 the
  // output of majority block 1, the rest are unassigned.
  for (int r = 1; r <= 64; ++r) {
    const int source = r <= 8 ? r : (r == 9 ? 70 : 0);
    img.SetU16(640 + 2 * (r - 1), static_cast<std::uint16_t>(source));
  }

  // Discrete inputs 1..64.
  constexpr std::u16string_view kInputNames[] = {u"Авар. стоп", u"Прогр.", u"Редуктор", u"Заряд ген.",
                                                  u"СТАРТ ГРЩ", u"СТОП ГРЩ", u"Больше", u"Меньше"};
  for (int d = 1; d <= 64; ++d) {
    const int i = d - 1;
    const bool used = d <= 8;
    img.SetText(3126 + 12 * i, used ? std::u16string(kInputNames[i]) : numbered(u"Вход ", d), 12);
    img.Set(3894 + i, 1);
    img.Set(3958 + i, used ? 10 : 0);
    img.Set(4022 + i, d == 1 ? 8 : 0);
  }
  return img;
}

bool EepromImage::Load(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::array<std::uint8_t, kSize> buf{};
  in.read(reinterpret_cast<char*>(buf.data()), kSize);
  const auto got = in.gcount();
  if (got != kSize || in.peek() != std::char_traits<char>::eof()) {
    error = path + ": not a " + std::to_string(kSize) + "-byte EEPROM image";
    return false;
  }
  m_bytes = buf;
  return true;
}

bool EepromImage::Save(const std::string& path, std::string& error) const {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(m_bytes.data()), kSize);
    out.flush();
    if (!out) {
      error = tmp + ": " + std::strerror(errno);
      std::remove(tmp.c_str());
      return false;
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    error = path + ": " + std::strerror(errno);
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace zart::sim

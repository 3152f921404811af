#pragma once

#include <array>
#include <cstdint>

namespace zart::monitor {

/// The four commands of the main window: the codes its buttons `cmd_mode`
/// (index 0..3) write to holding register 402, and the buttons' captions.
inline constexpr std::array<std::uint16_t, 4> command_codes{0x1238, 0x4569, 0x789A, 0xABC4};
inline constexpr std::array<const char16_t*, 4> kCommandCaptions{u"СТАРТ", u"СТОП", u"КВИТ", u"ОТКЛ. ЗАЩ"};

}  // namespace zart::monitor

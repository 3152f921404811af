#pragma once

#include <array>

#include <QString>

namespace zart::monitor {

/// The captions of the controller's eleven lamps, register 392 bit 0 first,
/// as the main window labels them; the logs and reports name lamps by them.
inline constexpr std::array<const char16_t*, 11> kLampCaptions{
    u"Авария", u"Неиспр.", u"Работа",  u"Готов", u"Пост",      u"Защ. выкл.",
    u"Авт. зап.", u"Редуктор", u"Вперед", u"Назад", u"Двиг. ост."};

/// The caption of lamp `bit` (0..10); empty for other bits.
inline QString LampCaption(int bit) {
  return bit >= 0 && bit < static_cast<int>(kLampCaptions.size())
             ? QString::fromUtf16(kLampCaptions[static_cast<std::size_t>(bit)])
             : QString();
}

}  // namespace zart::monitor

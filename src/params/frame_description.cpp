#include "params/frame_description.h"

#include <array>

#include "link/frame.h"
#include "monitor/command_codes.h"
#include "monitor/status_registers.h"
#include "params/conversions.h"
#include "params/slot_names.h"
#include "settings/windows1251.h"

namespace zart::params {
namespace {

using link::ExchangeVerdict;


int U16(std::span<const std::uint8_t> f, std::size_t k) {
  return k + 1 < f.size() ? f[k] * 256 + f[k + 1] : -1;
}

// Bytes between the header and the CRC: frame[first .. size-3].
std::span<const std::uint8_t> Body(std::span<const std::uint8_t> f, std::size_t first, int count) {
  if (f.size() < first + 2 || count <= 0) return {};
  const std::size_t room = f.size() - 2 - first;
  return f.subspan(first, std::min(room, static_cast<std::size_t>(count)));
}

QString Bytes(int n) {
  // 1 байт, 2..4 байта, 5..20 байт, 21 байт, 22 байта ...
  const int tens = n % 100;
  const int ones = n % 10;
  const char16_t* word = u"байт";
  if (tens < 11 || tens > 14) {
    if (ones == 1) {
      word = u"байт";
    } else if (ones >= 2 && ones <= 4) {
      word = u"байта";
    }
  }
  return QString::number(n) + QLatin1Char(' ') + QString::fromUtf16(word);
}

QString CommandText(int code) {
  for (std::size_t i = 0; i < monitor::command_codes.size(); ++i) {
    if (monitor::command_codes[i] == code) return QString::fromUtf16(monitor::kCommandCaptions[i]);
  }
  return QStringLiteral(u"0x") + QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

}  // namespace

FrameDescription::FrameDescription(QLocale locale) : m_locale(std::move(locale)) {}

QString FrameDescription::Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size() * 3));
  for (std::uint8_t b : bytes) {
    if (!text.isEmpty()) text.append(QLatin1Char(' '));
    text.append(QChar(kDigits[b >> 4]));
    text.append(QChar(kDigits[b & 0x0F]));
  }
  return text;
}

QString FrameDescription::WireHex(std::span<const std::uint8_t> header, std::span<const std::uint8_t> rtu) {
  if (header.empty()) return Hex(rtu);
  const std::span<const std::uint8_t> pdu = rtu.size() >= 3 ? rtu.subspan(1, rtu.size() - 3) : std::span<const std::uint8_t>();
  return pdu.empty() ? Hex(header) : Hex(header) + QLatin1Char(' ') + Hex(pdu);
}

QString FrameDescription::MbapText(std::span<const std::uint8_t> h) {
  if (h.size() != 7) return QString();
  return QStringLiteral(u"MBAP: транзакция %1, протокол %2, длина %3, устройство %4")
      .arg(h[0] * 256 + h[1])
      .arg(h[2] * 256 + h[3])
      .arg(h[4] * 256 + h[5])
      .arg(h[6]);
}

bool FrameDescription::IsIdleRequest(std::span<const std::uint8_t> f) {
  if (f.size() < 6) return false;
  if (f[1] == link::FC_READ_INPUT_REGISTERS)
    return U16(f, 2) == link::kStatusFirstRegister && U16(f, 4) == link::kStatusRegisterCount;
  if (f[1] == link::FC_WRITE_MULTIPLE_REGISTERS) return U16(f, 2) == link::kHeartbeatRegister && U16(f, 4) == 2;
  return false;
}

QString FrameDescription::ExceptionMeaning(int code) { return link::ExceptionMeaning(code); }

QString FrameDescription::VerdictText(const link::RecordedExchange& e) {
  switch (e.verdict) {
    case ExchangeVerdict::pending:
      return QStringLiteral(u"ожидание");
    case ExchangeVerdict::reply:
      return QStringLiteral(u"ответ");
    case ExchangeVerdict::no_answer:
      return QStringLiteral(u"нет ответа");
    case ExchangeVerdict::crc_mismatch:
      return QStringLiteral(u"несовпадение КС");
    case ExchangeVerdict::exception:
      return QStringLiteral(u"исключение ") + QString::number(e.replyLength > 2 ? e.reply[2] : 0);
  }
  return {};
}

QString FrameDescription::EepromRange(int address, int count) const {
  QString text = QString::number(address);
  if (count > 1) text += QStringLiteral(u"..") + QString::number(address + count - 1);
  return text;
}

QString FrameDescription::SlotValue(int slot, std::span<const std::uint8_t> bytes) const {
  const QString text = SlotTextOfBytes(slot, bytes, m_locale);
  return kCatalogue.IsText(slot) ? QStringLiteral(u"«") + text + QStringLiteral(u"»") : text.trimmed();
}

QString FrameDescription::EepromContents(int address, std::span<const std::uint8_t> data) const {
  int slot = kCatalogue.SlotAtAddress(address);
  if (slot < 0) return QStringLiteral(u"нет такого слота");
  QStringList parts;
  std::size_t p = 0;
  while (slot < kSlotCount && p < data.size()) {
    const std::size_t size = kCatalogue.par_size[static_cast<std::size_t>(slot)];
    if (p + size > data.size()) break;
    parts << SlotName(slot) + QStringLiteral(u" = ") + SlotValue(slot, data.subspan(p, size));
    p += size;
    ++slot;
  }
  if (p < data.size()) parts << QStringLiteral(u"ещё ") + Bytes(static_cast<int>(data.size() - p));
  return parts.join(QStringLiteral(u"; "));
}

QString FrameDescription::DescribeRequest(std::span<const std::uint8_t> f) const {
  if (f.size() < 4) return QStringLiteral(u"Обрывок кадра");
  const int fc = f[1];
  if (fc == link::FC_READ_INPUT_REGISTERS && f.size() >= 8) {
    if (IsIdleRequest(f)) return QStringLiteral(u"Чтение состояния");
    return QStringLiteral(u"Чтение регистров ") + EepromRange(U16(f, 2), U16(f, 4));
  }
  if (fc == link::FC_WRITE_MULTIPLE_REGISTERS && f.size() >= 13 && IsIdleRequest(f)) {
    const bool off = U16(f, 9) != 0;
    return QStringLiteral(u"Пульс №") + QString::number(U16(f, 7)) +
           (off ? QStringLiteral(u", защиты откл.") : QStringLiteral(u", защиты вкл."));
  }
  if (fc == link::FC_WRITE_MULTIPLE_REGISTERS && f.size() >= 8)
    return QStringLiteral(u"Запись регистров ") + EepromRange(U16(f, 2), U16(f, 4));
  if (fc == link::FC_WRITE_SINGLE_REGISTER && f.size() >= 8) {
    if (U16(f, 2) == link::kCommandRegister) return QStringLiteral(u"Команда ") + CommandText(U16(f, 4));
    return QStringLiteral(u"Запись регистра %1 = %2").arg(U16(f, 2)).arg(U16(f, 4));
  }
  if (fc == link::FC_EEPROM_READ && f.size() >= 7) {
    const int address = U16(f, 2);
    const int count = f[4];
    QString text = QStringLiteral(u"Чтение ЭСППЗУ ") + EepromRange(address, count) + QStringLiteral(u" (") +
                   Bytes(count) + QStringLiteral(u")");
    const int first = kCatalogue.SlotAtAddress(address);
    if (first < 0) return text + QStringLiteral(u": нет такого слота");
    int last = first;
    int bytes = kCatalogue.par_size[static_cast<std::size_t>(first)];
    while (bytes < count && last + 1 < kSlotCount) bytes += kCatalogue.par_size[static_cast<std::size_t>(++last)];
    if (first == last) return text + QStringLiteral(u": слот %1 «%2»").arg(first).arg(SlotName(first));
    return text + QStringLiteral(u": слоты %1..%2, «%3» … «%4»").arg(first).arg(last).arg(SlotName(first), SlotName(last));
  }
  if (fc == link::FC_EEPROM_WRITE && f.size() >= 7) {
    const int address = U16(f, 2);
    const auto data = Body(f, 5, f[4]);
    return QStringLiteral(u"Запись ЭСППЗУ ") + EepromRange(address, static_cast<int>(data.size())) +
           QStringLiteral(u": ") + EepromContents(address, data);
  }
  return QStringLiteral(u"Функция %1").arg(fc);
}

QString FrameDescription::StatusSummary(std::span<const std::uint8_t> r) const {
  namespace reg = monitor::status_registers;
  auto at = [&r](int reg) { return U16(r, static_cast<std::size_t>(link::RxStore::RegOffset(reg - reg::kFirst))); };
  if (r.size() < static_cast<std::size_t>(link::RxStore::RegOffset(reg::kBattery - reg::kFirst)) + 4)
    return QStringLiteral(u"Состояние (неполный ответ)");
  const int type = at(reg::kObjectType);
  const int battery = static_cast<std::int16_t>(at(reg::kBattery));
  const QString name = reg::ObjectTypeName(type);
  QString text = QStringLiteral(u"Состояние: ");
  text += name.isEmpty() ? QStringLiteral(u"тип %1").arg(type) : name;
  text += QStringLiteral(u", двиг. %1 об/мин").arg(at(reg::kEngineSpeed));
  if (type == reg::kObjectDra) text += QStringLiteral(u", вал %1 об/мин").arg(at(reg::kShaftSpeed));
  text += QStringLiteral(u", АКБ ") + m_locale.toString(battery / 10.0, 'f', 1) + QStringLiteral(u" В");
  return text;
}

QString FrameDescription::DescribeReply(std::span<const std::uint8_t> request,
                                        std::span<const std::uint8_t> r) const {
  if (r.size() < 4) return QStringLiteral(u"Обрывок кадра");
  const int fc = r[1];
  if (fc >= link::FC_EXCEPTION_FLAG) {
    const int code = r.size() > 4 ? r[2] : 0;
    return QStringLiteral(u"Отказ на функцию %1: код %2, %3").arg(fc - link::FC_EXCEPTION_FLAG).arg(code).arg(ExceptionMeaning(code));
  }
  if (fc == link::FC_READ_INPUT_REGISTERS) {
    if (!request.empty() && !IsIdleRequest(request)) return QStringLiteral(u"Регистры, %1").arg(Bytes(r[2]));
    return StatusSummary(r);
  }
  if (fc == link::FC_WRITE_SINGLE_REGISTER && r.size() >= 8) {
    if (U16(r, 2) == link::kCommandRegister) return QStringLiteral(u"Команда ") + CommandText(U16(r, 4)) + QStringLiteral(u" принята");
    return QStringLiteral(u"Регистр %1 записан").arg(U16(r, 2));
  }
  if (fc == link::FC_WRITE_MULTIPLE_REGISTERS && r.size() >= 8) {
    if (U16(r, 2) == link::kHeartbeatRegister) return QStringLiteral(u"Пульс принят");
    return QStringLiteral(u"Регистры %1 записаны").arg(EepromRange(U16(r, 2), U16(r, 4)));
  }
  if ((fc == link::FC_EEPROM_READ || fc == link::FC_EEPROM_WRITE) && r.size() >= 7) {
    const int address = U16(r, 2);
    const auto data = Body(r, 5, r[4]);
    return QStringLiteral(u"ЭСППЗУ ") + EepromRange(address, static_cast<int>(data.size())) + QStringLiteral(u": ") +
           EepromContents(address, data);
  }
  return QStringLiteral(u"Функция %1").arg(fc);
}

}  // namespace zart::params

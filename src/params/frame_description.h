#pragma once

#include <cstdint>
#include <span>

#include <QLocale>
#include <QString>

#include "link/frame_recorder.h"
#include "params/catalogue.h"

namespace zart::params {

/// Turns frames on the line into words for the traffic monitor: what a
/// request asks for ("Чтение состояния", "Пульс №123, защиты вкл.",
/// "Чтение ЭСППЗУ 266..267 (2 байта): слот 10 «...»"), what a reply carries,
/// and the verdict of an exchange. Frames are whole wire frames, CRC
/// included; nothing here trusts a length field beyond the bytes present.
class FrameDescription {
 public:
  explicit FrameDescription(QLocale locale = QLocale());

  QString DescribeRequest(std::span<const std::uint8_t> frame) const;
  /// A reply with a good CRC (exceptions included); `request` is the frame
  /// it answers, empty when none was out.
  QString DescribeReply(std::span<const std::uint8_t> request, std::span<const std::uint8_t> reply) const;

  /// "ответ", "нет ответа", "несовпадение КС", "исключение N", "ожидание".
  static QString VerdictText(const link::RecordedExchange& exchange);
  /// The standard Modbus meaning of exception code 1..11, else "нестандартный код".
  static QString ExceptionMeaning(int code);
  /// "07 04 01 2C 00 7D F0 78": upper-case pairs, one space apart.
  static QString Hex(std::span<const std::uint8_t> bytes);
  /// A frame as it travelled: the RTU frame itself, or over Modbus TCP its
  /// `header` followed by the PDU (the RTU frame without address and CRC).
  static QString WireHex(std::span<const std::uint8_t> header, std::span<const std::uint8_t> rtu);
  /// A Modbus TCP header in words: "MBAP: транзакция 5, протокол 0, длина 6,
  /// устройство 7"; empty for anything but 7 bytes.
  static QString MbapText(std::span<const std::uint8_t> header);
  /// The idle traffic: the status read of registers 300..424 and the
  /// heartbeat to registers 400..401.
  static bool IsIdleRequest(std::span<const std::uint8_t> frame);

 private:
  QString EepromRange(int address, int count) const;
  QString EepromContents(int address, std::span<const std::uint8_t> data) const;
  QString SlotValue(int slot, std::span<const std::uint8_t> bytes) const;
  QString StatusSummary(std::span<const std::uint8_t> reply) const;

  QLocale m_locale;
};

}  // namespace zart::params

#include "link/frame.h"

#include "link/crc.h"

#include <QString>

namespace zart::link {

ReplyOutcome CheckReply(const RxStore& rx, int rxCount) {
  if (rxCount <= 2) return ReplyOutcome::no_answer;
  const std::uint16_t received = CrcFromWire(rx[rxCount - 2], rx[rxCount - 1]);
  const std::uint16_t computed = Crc16Modbus(rx.Cells(), rxCount - 3);
  return received == computed ? ReplyOutcome::valid : ReplyOutcome::crc_mismatch;
}

std::vector<std::uint8_t> BuildFrame(int slaveAddress, std::span<const std::uint8_t> request, int lastIndex) {
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(lastIndex) + 3, 0);
  frame[0] = static_cast<std::uint8_t>(slaveAddress & 0xFF);
  for (int i = 1; i <= lastIndex && i < static_cast<int>(request.size()); ++i) {
    frame[static_cast<std::size_t>(i)] = request[static_cast<std::size_t>(i)];
  }
  const CrcBytes crc = CrcWireBytes(Crc16Modbus(std::span<const std::uint8_t>(frame), lastIndex));
  frame[static_cast<std::size_t>(lastIndex) + 1] = crc.low;
  frame[static_cast<std::size_t>(lastIndex) + 2] = crc.high;
  return frame;
}

std::uint8_t ByteOfValue(std::int32_t v, int k) {
  const auto u = static_cast<std::uint32_t>(v);
  return static_cast<std::uint8_t>((u >> (8 * (k & 3))) & 0xFFu);
}

QString ExceptionMeaning(int code) {
  switch (code) {
    case 1:
      return QStringLiteral(u"недопустимая функция");
    case 2:
      return QStringLiteral(u"недопустимый адрес данных");
    case 3:
      return QStringLiteral(u"недопустимое значение данных");
    case 4:
      return QStringLiteral(u"отказ ведомого устройства");
    case 5:
      return QStringLiteral(u"запрос принят, выполняется долго");
    case 6:
      return QStringLiteral(u"ведомое устройство занято");
    case 8:
      return QStringLiteral(u"ошибка чётности памяти");
    case 10:
      return QStringLiteral(u"шлюз: путь недоступен");
    case 11:
      return QStringLiteral(u"шлюз: устройство не ответило");
    default:
      return QStringLiteral(u"нестандартный код");
  }
}

}  // namespace zart::link

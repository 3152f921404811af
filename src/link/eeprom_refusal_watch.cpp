#include "link/eeprom_refusal_watch.h"

#include "link/frame.h"
#include "link/frame_recorder.h"

namespace zart::link {

QString EepromRefusalWatch::AdviceTitle() { return QStringLiteral(u"Шлюз Ethernet"); }

QString EepromRefusalWatch::AdviceText() {
  return QStringLiteral(
      u"Контроллер отвечает на чтение состояния, но запросы к ЭСППЗУ (функции 100 и 101) остаются без ответа "
      u"или отклоняются с кодом 1 «недопустимая функция».\n\n"
      u"Вероятно, шлюз в режиме Modbus TCP не пропускает эти функции контроллера. Переключите шлюз в прозрачный "
      u"режим и выберите в окне «Настройка порта» режим «RTU поверх TCP (прозрачный шлюз)».");
}

void EepromRefusalWatch::Reset() {
  m_statusAnswered = false;
  m_refusedRunning = 0;
  m_told = false;
}

bool EepromRefusalWatch::Judged(const RecordedExchange& e) {
  if (e.requestLength < 2 || e.RequestHeader().empty() || e.verdict == ExchangeVerdict::pending) return false;
  const int function = e.request[1];
  if (function == FC_READ_INPUT_REGISTERS) {
    m_statusAnswered = e.verdict == ExchangeVerdict::reply;
    return false;
  }
  if (function != FC_EEPROM_READ && function != FC_EEPROM_WRITE) return false;
  const bool illegalFunction = e.verdict == ExchangeVerdict::exception && e.replyLength >= 3 && e.reply[2] == 1;
  if (illegalFunction || e.verdict == ExchangeVerdict::no_answer) {
    ++m_refusedRunning;
  } else {
    m_refusedRunning = 0;
  }
  if (m_told || !m_statusAnswered || m_refusedRunning < kRunning) return false;
  m_told = true;
  return true;
}

}  // namespace zart::link

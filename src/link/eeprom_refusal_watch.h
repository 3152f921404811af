#pragma once

#include <QString>

namespace zart::link {

struct RecordedExchange;

/// Notices a converting gateway that does not pass the controller's own
/// EEPROM functions 100 and 101 on: over Modbus TCP the status reads are
/// answered, but kRunning EEPROM requests in a row get exception 01
/// (illegal function) or no answer at all. Many converting gateways know
/// only the standard functions, or cut the long replies of function 100.
/// Only exchanges that went out as Modbus TCP count; over a transparent
/// gateway or the serial line a refusal is the controller's own.
class EepromRefusalWatch {
 public:
  static constexpr int kRunning = 3;

  /// One judged exchange, oldest first. True once, when the user is to be
  /// told: then not again until Reset().
  bool Judged(const RecordedExchange& exchange);
  /// Starts afresh, for another link: its gateway may refuse as well.
  void Reset();

  /// The box's title and text.
  static QString AdviceTitle();
  static QString AdviceText();

 private:
  bool m_statusAnswered = false;
  int m_refusedRunning = 0;
  bool m_told = false;
};

}  // namespace zart::link

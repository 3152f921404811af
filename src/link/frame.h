#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <QString>

#include "link/rx_store.h"

namespace zart::link {

/// Function codes on the line. 100 and 101 are the controller's own EEPROM
/// functions; an exception reply has bit 7 of the function code set.
inline constexpr int FC_READ_INPUT_REGISTERS = 4;
inline constexpr int FC_WRITE_SINGLE_REGISTER = 6;
inline constexpr int FC_WRITE_MULTIPLE_REGISTERS = 16;
inline constexpr int FC_EEPROM_READ = 100;
inline constexpr int FC_EEPROM_WRITE = 101;
inline constexpr int FC_EXCEPTION_FLAG = 0x80;

/// Registers of the controller used by the tool.
inline constexpr int kStatusFirstRegister = 300;
inline constexpr int kStatusRegisterCount = 125;
inline constexpr int kHeartbeatRegister = 400;
inline constexpr int kCommandRegister = 402;

/// Slave addresses the tool talks to; a higher one is lowered to the highest.
inline constexpr int kMaxSlaveAddress = 127;
/// The one place an address is held to 0..127.
constexpr int ClampSlaveAddress(int address) {
  return address < 0 ? 0 : (address > kMaxSlaveAddress ? kMaxSlaveAddress : address);
}

/// How the bytes collected in one exchange are judged.
enum class ReplyOutcome { no_answer, crc_mismatch, valid };

/// Classifies rx_store[0 .. rxCount-1]: at most 2 bytes are no answer;
/// otherwise the last two bytes (low, high) must equal the CRC of the rest.
/// Nothing else is checked: not the slave address, not the function code,
/// not the length. (The controller's replies are trusted once the CRC holds.)
ReplyOutcome CheckReply(const RxStore& rx, int rxCount);

/// A valid reply as the exchange hands it on: the receive store and the
/// number of bytes this exchange stored there (CRC included). Cells beyond
/// `count` hold an earlier reply's bytes.
struct Reply {
  const RxStore& rx;
  int count = 0;

  int FunctionCode() const { return rx[1]; }
  bool IsException() const { return rx[1] >= FC_EXCEPTION_FLAG; }
  /// The exception code of an exception reply (byte 2).
  int ExceptionCode() const { return rx[2]; }
};

/// Builds the frame for the wire: the slave address, request bytes
/// 1..lastIndex, then the CRC low byte and high byte (lastIndex + 3 bytes).
/// `request` is a queue slot's bytes (byte 0 is the address placeholder).
std::vector<std::uint8_t> BuildFrame(int slaveAddress, std::span<const std::uint8_t> request, int lastIndex);

/// The standard Modbus meaning of exception code 1..11 ("недопустимая
/// функция"), else "нестандартный код".
QString ExceptionMeaning(int code);

/// Byte k (0 = least significant) of the two's-complement form of v.
/// ByteOfValue(-21564, 1) = 0xAB, ByteOfValue(-1, 3) = 0xFF.
std::uint8_t ByteOfValue(std::int32_t v, int k);

}  // namespace zart::link

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "eeprom_image.h"

namespace zart::sim {

/// The simulated ЗАРТ controller behind the line: answers one complete RTU
/// frame at a time and runs a small engine model on a clock the caller
/// steps. It holds the live status, the EEPROM image and its slave address;
/// it knows nothing about ports, time sources or injected faults.
class Controller {
 public:
  /// Command codes of holding register 402.
  static constexpr std::uint16_t kCmdStart = 0x1238;
  static constexpr std::uint16_t kCmdStop = 0x4569;
  static constexpr std::uint16_t kCmdAcknowledge = 0x789A;
  static constexpr std::uint16_t kCmdProtectionOff = 0xABC4;

  /// Modbus exception codes the controller answers with.
  static constexpr std::uint8_t kExIllegalFunction = 1;
  static constexpr std::uint8_t kExIllegalAddress = 2;
  static constexpr std::uint8_t kExIllegalValue = 3;

  /// Status registers 300..424.
  static constexpr int kStatusFirst = 300;
  static constexpr int kStatusCount = 125;

  /// Lamp bits of register 392.
  enum Lamp : int {
    kLampAlarm = 0,
    kLampWarning = 1,
    kLampRunning = 2,
    kLampReady = 3,
    kLampLocalPost = 4,
    kLampProtectionOff = 5,
    kLampAutoStart = 6,
    kLampGearbox = 7,
    kLampAhead = 8,
    kLampAstern = 9,
    kLampEngineStopped = 10,
  };

  /// `image` is the EEPROM content; `address` the slave address answered
  /// (also written into the image's address byte, so that a read of the
  /// address parameter shows it); the object type comes from the image.
  /// `seed` makes the battery noise repeatable.
  Controller(EepromImage image, int address, std::uint32_t seed = 1);

  /// Handles one complete request frame (address .. CRC). Returns the reply
  /// frame with its CRC, or nothing for a frame with a bad CRC, one for
  /// another slave address, or one too short to be a frame.
  std::optional<std::vector<std::uint8_t>> HandleRequest(std::span<const std::uint8_t> frame);

  /// Moves simulated time on by `dt` (engine speed, running time, service
  /// countdown, blinking signal).
  void Advance(std::chrono::milliseconds dt);

  /// The 125 status registers as the next status read would return them
  /// (the battery noise moves on with each call).
  std::vector<std::uint16_t> StatusRegisters();

  /// Slave address the controller answers on (0..255).
  int Address() const { return m_address; }
  void SetAddress(int address);

  /// "Control over Modbus blocked" flag (bit 15 of register 300). While set,
  /// commands are acknowledged on the line but not carried out.
  bool Blocked() const { return m_blocked; }
  void SetBlocked(bool on) { m_blocked = on; }

  /// A controller (or a gateway in front of it) that refuses the EEPROM
  /// functions 100 and 101: they are answered with exception `code` and the
  /// EEPROM is left alone. Nothing: they are served.
  void SetEepromRefusal(std::optional<std::uint8_t> code) { m_refuseEeprom = code; }

  /// Simulated trips: an alarm stops the engine and lights "Авария"; a
  /// warning lights "Неиспр.". Both stay until the acknowledge command.
  void RaiseAlarm();
  void RaiseWarning();

  /// Engine speed in rev/min, as register 303 shows it.
  int EngineSpeed() const;
  /// True between START and STOP (or an alarm).
  bool Running() const { return m_running; }
  /// Total running time in minutes (registers 395/396).
  std::uint32_t RunningMinutes() const { return m_runMinutes; }
  /// Time left until service in minutes (register 394, may go negative).
  int ServiceMinutes() const { return m_serviceMinutes; }

  /// Values of the last heartbeat (registers 400 and 401), -1 before the
  /// first one.
  int LastTransaction() const { return m_lastTransaction; }
  int LastProtectionFlag() const { return m_lastProtectionFlag; }

  const EepromImage& Eeprom() const { return m_eeprom; }
  EepromImage& Eeprom() { return m_eeprom; }

 private:
  std::vector<std::uint8_t> readStatus(std::span<const std::uint8_t> f);
  std::vector<std::uint8_t> writeCommand(std::span<const std::uint8_t> f);
  std::vector<std::uint8_t> writeHeartbeat(std::span<const std::uint8_t> f);
  std::vector<std::uint8_t> readEeprom(std::span<const std::uint8_t> f);
  std::vector<std::uint8_t> writeEeprom(std::span<const std::uint8_t> f);
  std::vector<std::uint8_t> exception(int function, std::uint8_t code) const;
  void runCommand(std::uint16_t code);
  int objectType() const { return m_eeprom.At(EepromImage::kObjectTypeByte); }
  int workingSpeed() const { return m_eeprom.At(EepromImage::kWorkingSpeedByte) * 20; }

  EepromImage m_eeprom;
  int m_address;
  std::mt19937 m_noise;
  bool m_blocked = false;
  std::optional<std::uint8_t> m_refuseEeprom;
  bool m_running = false;
  bool m_alarm = false;
  bool m_warning = false;
  bool m_protectionOff = false;
  double m_rpm = 0;
  std::uint32_t m_runMinutes = 123456;
  int m_serviceMinutes = 150 * 60;
  std::int64_t m_runMsCarry = 0;  // running time not yet a whole minute
  std::int64_t m_clockMs = 0;     // simulated time since start
  int m_lastTransaction = -1;
  int m_lastProtectionFlag = -1;
};

/// Appends the CRC (low byte, then high byte) to `frame`.
void AppendCrc(std::vector<std::uint8_t>& frame);
/// True when `frame` is at least 3 bytes and its last two bytes are the CRC
/// of the rest.
bool HasGoodCrc(std::span<const std::uint8_t> frame);

}  // namespace zart::sim

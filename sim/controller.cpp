#include "controller.h"

#include <algorithm>

#include "link/crc.h"

namespace zart::sim {
namespace {

// How fast the engine model changes speed.
constexpr double kRampUpRpmPerSecond = 500.0;
constexpr double kRampDownRpmPerSecond = 400.0;

// Battery voltage in 0.1 V: resting and while the charge generator runs.
constexpr int kBatteryRestingBase = 240;
constexpr int kBatteryChargingBase = 262;
constexpr int kBatteryNoiseSpan = 5;  // 0..4 tenths on top of the base

constexpr std::uint16_t kProtocolVersion = 0x0203;  // 2.3
constexpr std::uint16_t kSoftwareVersion = 0x0107;  // 1.7

// Register indices inside the status block.
constexpr int kRegProtocol = 0;
constexpr int kRegSoftware = 1;
constexpr int kRegObjectType = 2;
constexpr int kRegEngineRpm = 3;
constexpr int kRegShaftRpm = 4;
constexpr int kRegBattery = 5;
constexpr int kRegLamps = 92;
constexpr int kRegService = 94;
constexpr int kRegRunHigh = 95;
constexpr int kRegRunLow = 96;
constexpr int kRegSignals = 97;
constexpr int kRegFaults = 123;

std::uint16_t be16(std::span<const std::uint8_t> f, std::size_t at) {
  return static_cast<std::uint16_t>((f[at] << 8) | f[at + 1]);
}

void putBe16(std::vector<std::uint8_t>& v, std::uint16_t x) {
  v.push_back(static_cast<std::uint8_t>(x >> 8));
  v.push_back(static_cast<std::uint8_t>(x & 0xFF));
}

bool eepromRangeOk(int start, int count) {
  return start >= EepromImage::kFirstLinkAddress && start < EepromImage::kSize &&
         start + std::max(count, 1) - 1 < EepromImage::kSize;
}

}  // namespace

void AppendCrc(std::vector<std::uint8_t>& frame) {
  const auto crc = link::CrcWireBytes(link::Crc16Modbus(frame, static_cast<int>(frame.size()) - 1));
  frame.push_back(crc.low);
  frame.push_back(crc.high);
}

bool HasGoodCrc(std::span<const std::uint8_t> frame) {
  if (frame.size() < 3) return false;
  const int n = static_cast<int>(frame.size());
  return link::Crc16Modbus(frame, n - 3) == link::CrcFromWire(frame[frame.size() - 2], frame[frame.size() - 1]);
}

Controller::Controller(EepromImage image, int address, std::uint32_t seed)
    : m_eeprom(image), m_address(address & 0xFF), m_noise(seed) {
  m_eeprom.Set(EepromImage::kSlaveAddressByte, static_cast<std::uint8_t>(m_address));
}

void Controller::SetAddress(int address) {
  m_address = address & 0xFF;
  m_eeprom.Set(EepromImage::kSlaveAddressByte, static_cast<std::uint8_t>(m_address));
}

std::optional<std::vector<std::uint8_t>> Controller::HandleRequest(std::span<const std::uint8_t> frame) {
  if (frame.size() < 4 || !HasGoodCrc(frame)) return std::nullopt;
  if (frame[0] != m_address) return std::nullopt;
  const auto body = frame.first(frame.size() - 2);  // without the CRC
  switch (frame[1]) {
    case 4:
      return readStatus(body);
    case 6:
      return writeCommand(body);
    case 16:
      return writeHeartbeat(body);
    case 100:
      return m_refuseEeprom ? exception(100, *m_refuseEeprom) : readEeprom(body);
    case 101:
      return m_refuseEeprom ? exception(101, *m_refuseEeprom) : writeEeprom(body);
    default:
      return exception(frame[1], kExIllegalFunction);
  }
}

std::vector<std::uint8_t> Controller::exception(int function, std::uint8_t code) const {
  std::vector<std::uint8_t> r{static_cast<std::uint8_t>(m_address), static_cast<std::uint8_t>(function | 0x80), code};
  AppendCrc(r);
  return r;
}

std::vector<std::uint8_t> Controller::readStatus(std::span<const std::uint8_t> f) {
  if (f.size() != 6) return exception(4, kExIllegalValue);
  const int start = be16(f, 2);
  const int count = be16(f, 4);
  if (count < 1 || count > kStatusCount || start < kStatusFirst || start + count > kStatusFirst + kStatusCount) {
    return exception(4, kExIllegalAddress);
  }
  const std::vector<std::uint16_t> regs = StatusRegisters();
  std::vector<std::uint8_t> r{static_cast<std::uint8_t>(m_address), 4, static_cast<std::uint8_t>(2 * count)};
  r.reserve(static_cast<std::size_t>(2 * count + 5));
  for (int i = 0; i < count; ++i) putBe16(r, regs[static_cast<std::size_t>(start - kStatusFirst + i)]);
  AppendCrc(r);
  return r;
}

std::vector<std::uint8_t> Controller::writeCommand(std::span<const std::uint8_t> f) {
  if (f.size() != 6) return exception(6, kExIllegalValue);
  const std::uint16_t reg = be16(f, 2);
  const std::uint16_t code = be16(f, 4);
  const bool known = code == kCmdStart || code == kCmdStop || code == kCmdAcknowledge || code == kCmdProtectionOff;
  if (reg != 402 || !known) return exception(6, kExIllegalValue);
  // The command is taken (and echoed) even while Modbus control is blocked;
  // the controller just does not act on it then.
  if (!m_blocked) runCommand(code);
  std::vector<std::uint8_t> r(f.begin(), f.end());
  AppendCrc(r);
  return r;
}

std::vector<std::uint8_t> Controller::writeHeartbeat(std::span<const std::uint8_t> f) {
  if (f.size() < 7) return exception(16, kExIllegalValue);
  const std::uint16_t start = be16(f, 2);
  const std::uint16_t count = be16(f, 4);
  const std::size_t byteCount = f[6];
  if (start != 400 || count != 2) return exception(16, kExIllegalAddress);
  if (byteCount != 4 || f.size() != 7 + byteCount) return exception(16, kExIllegalValue);
  m_lastTransaction = be16(f, 7);
  m_lastProtectionFlag = be16(f, 9);
  std::vector<std::uint8_t> r(f.begin(), f.begin() + 6);
  AppendCrc(r);
  return r;
}

std::vector<std::uint8_t> Controller::readEeprom(std::span<const std::uint8_t> f) {
  if (f.size() != 5) return exception(100, kExIllegalValue);
  const int start = be16(f, 2);
  const int count = f[4];
  if (count > 120) return exception(100, kExIllegalValue);
  if (!eepromRangeOk(start, count)) return exception(100, kExIllegalAddress);
  std::vector<std::uint8_t> r(f.begin(), f.end());
  for (int i = 0; i < count; ++i) r.push_back(m_eeprom.At(start + i));
  AppendCrc(r);
  return r;
}

std::vector<std::uint8_t> Controller::writeEeprom(std::span<const std::uint8_t> f) {
  if (f.size() < 5) return exception(101, kExIllegalValue);
  const int start = be16(f, 2);
  const int count = f[4];
  if (count > 120 || f.size() != 5 + static_cast<std::size_t>(count)) return exception(101, kExIllegalValue);
  if (!eepromRangeOk(start, count)) return exception(101, kExIllegalAddress);
  for (int i = 0; i < count; ++i) m_eeprom.Set(start + i, f[5 + static_cast<std::size_t>(i)]);
  std::vector<std::uint8_t> r(f.begin(), f.end());
  AppendCrc(r);
  // The controller takes a new slave address at once, but this reply was
  // already built with the old one, as on the real unit.
  if (count > 0 && start <= EepromImage::kSlaveAddressByte && EepromImage::kSlaveAddressByte < start + count) {
    m_address = m_eeprom.At(EepromImage::kSlaveAddressByte);
  }
  return r;
}

void Controller::runCommand(std::uint16_t code) {
  switch (code) {
    case kCmdStart:
      // A standing alarm must be acknowledged before the engine may start.
      if (!m_alarm) m_running = true;
      break;
    case kCmdStop:
      m_running = false;
      break;
    case kCmdAcknowledge:
      m_alarm = false;
      m_warning = false;
      break;
    case kCmdProtectionOff:
      m_protectionOff = !m_protectionOff;
      break;
    default:
      break;
  }
}

void Controller::RaiseAlarm() {
  m_alarm = true;
  m_running = false;
}

void Controller::RaiseWarning() { m_warning = true; }

int Controller::EngineSpeed() const { return static_cast<int>(m_rpm + 0.5); }

void Controller::Advance(std::chrono::milliseconds dt) {
  const std::int64_t ms = std::max<std::int64_t>(dt.count(), 0);
  const double seconds = static_cast<double>(ms) / 1000.0;
  const double target = m_running ? workingSpeed() : 0.0;
  if (m_rpm < target) {
    m_rpm = std::min(target, m_rpm + kRampUpRpmPerSecond * seconds);
  } else if (m_rpm > target) {
    m_rpm = std::max(target, m_rpm - kRampDownRpmPerSecond * seconds);
  }
  if (m_running) {
    m_runMsCarry += ms;
    const std::int64_t minutes = m_runMsCarry / 60000;
    m_runMsCarry %= 60000;
    m_runMinutes += static_cast<std::uint32_t>(minutes);
    m_serviceMinutes = static_cast<int>(std::max<std::int64_t>(m_serviceMinutes - minutes, -32768));
  }
  m_clockMs += ms;
}

std::vector<std::uint16_t> Controller::StatusRegisters() {
  std::vector<std::uint16_t> regs(kStatusCount, 0);
  const int type = objectType();
  const bool dra = type == 1;
  const int rpm = EngineSpeed();
  const bool turning = rpm > 0;
  const bool stopped = !m_running && !turning;
  const int startSpeed = m_eeprom.At(258) * 20;
  const bool charging = turning && rpm >= startSpeed;

  regs[kRegProtocol] = static_cast<std::uint16_t>(kProtocolVersion | (m_blocked ? 0x8000 : 0));
  regs[kRegSoftware] = kSoftwareVersion;
  regs[kRegObjectType] = static_cast<std::uint16_t>(type);
  regs[kRegEngineRpm] = static_cast<std::uint16_t>(rpm);
  regs[kRegShaftRpm] = static_cast<std::uint16_t>(dra ? rpm / 3 : 0);
  std::uniform_int_distribution<int> noise(0, kBatteryNoiseSpan - 1);
  regs[kRegBattery] = static_cast<std::uint16_t>((charging ? kBatteryChargingBase : kBatteryRestingBase) + noise(m_noise));

  auto lamp = [&](int bit, bool on) {
    if (on) regs[kRegLamps] = static_cast<std::uint16_t>(regs[kRegLamps] | (1u << bit));
  };
  lamp(kLampAlarm, m_alarm);
  lamp(kLampWarning, m_warning);
  lamp(kLampRunning, m_running && turning);
  lamp(kLampReady, stopped && !m_alarm);
  lamp(kLampLocalPost, m_blocked);
  lamp(kLampProtectionOff, m_protectionOff);
  if (dra) {
    lamp(kLampGearbox, m_warning);
    lamp(kLampAhead, m_running && turning);
  } else {
    lamp(kLampAutoStart, stopped && !m_alarm);
    lamp(kLampEngineStopped, !turning);
  }

  regs[kRegService] = static_cast<std::uint16_t>(m_serviceMinutes);
  regs[kRegRunHigh] = static_cast<std::uint16_t>(m_runMinutes >> 16);
  regs[kRegRunLow] = static_cast<std::uint16_t>(m_runMinutes & 0xFFFF);

  // Discrete signals 0..255, 16 per register, bit 0 first.
  auto signal = [&](int s, bool on) {
    if (on) {
      auto& reg = regs[static_cast<std::size_t>(kRegSignals + s / 16)];
      reg = static_cast<std::uint16_t>(reg | (1u << (s % 16)));
    }
  };
  signal(1, m_running && turning);               // engine running
  signal(2, stopped && !m_alarm);                // ready to start
  signal(3, m_running && rpm < startSpeed);      // starter engaged
  signal(4, m_running);                          // fuel valve open
  signal(5, charging);                           // charge generator
  signal(6, m_alarm);
  signal(7, m_warning);
  signal(8, m_blocked);
  signal(9, m_protectionOff);
  signal(16, m_lastProtectionFlag == 1);         // master asked for protection off
  signal(255, (m_clockMs / 1000) % 2 == 1);      // controller alive, blinks at 0.5 Hz

  regs[kRegFaults] = static_cast<std::uint16_t>(m_alarm ? 0x0001 : 0);
  regs[kRegFaults + 1] = static_cast<std::uint16_t>(m_warning ? 0x0001 : 0);
  return regs;
}

}  // namespace zart::sim

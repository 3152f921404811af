#include "control_interpreter.h"

#include <cstdio>
#include <optional>
#include <sstream>
#include <vector>

#include "sim_options.h"

namespace zart::sim {
namespace {

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> w;
  for (std::string s; in >> s;) w.push_back(s);
  return w;
}

std::string hexByte(std::uint8_t b) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02X", b);
  return buf;
}

}  // namespace

ControlResult ControlInterpreter::Execute(const std::string& line) {
  const std::vector<std::string> w = words(line);
  if (w.empty()) return {};
  const std::string& cmd = w[0];
  const std::string arg1 = w.size() > 1 ? w[1] : std::string();
  const std::string arg2 = w.size() > 2 ? w[2] : std::string();

  if (cmd == "block") {
    if (arg1 == "on" || arg1 == "off") {
      m_controller.SetBlocked(arg1 == "on");
      return {"ok block " + arg1};
    }
    return {"error usage: block on|off"};
  }
  if (cmd == "alarm") {
    m_controller.RaiseAlarm();
    return {"ok alarm"};
  }
  if (cmd == "warning") {
    m_controller.RaiseWarning();
    return {"ok warning"};
  }
  if (cmd == "fault") return fault(arg1, arg2);
  if (cmd == "save") return {"ok save", ControlAction::save};
  if (cmd == "unplug") return {"ok unplug", ControlAction::unplug};
  if (cmd == "replug") return {"ok replug", ControlAction::replug};
  if (cmd == "quit" || cmd == "exit") return {"ok quit", ControlAction::quit};
  if (cmd == "dump") {
    long addr = 0;
    long count = 0;
    if (!ParseInt(arg1, 0, EepromImage::kSize - 1, addr) || !ParseInt(arg2, 1, EepromImage::kSize, count) ||
        addr + count > EepromImage::kSize) {
      return {"error usage: dump ADDR COUNT (within 0..4095)"};
    }
    std::string text = "ok dump " + std::to_string(addr) + ":";
    for (long i = 0; i < count; ++i) text += " " + hexByte(m_controller.Eeprom().At(static_cast<int>(addr + i)));
    return {text};
  }
  if (cmd == "state") {
    std::ostringstream s;
    s << "ok state address=" << m_controller.Address() << " rpm=" << m_controller.EngineSpeed()
      << " running=" << (m_controller.Running() ? 1 : 0) << " blocked=" << (m_controller.Blocked() ? 1 : 0)
      << " motor_minutes=" << m_controller.RunningMinutes() << " service_minutes=" << m_controller.ServiceMinutes();
    return {s.str()};
  }
  if (cmd == "stats") {
    const FaultCounts& f = m_faults.Counts();
    std::ostringstream s;
    s << "ok stats requests=" << m_traffic.frames << " other_address=" << m_traffic.otherAddress
      << " replies=" << m_traffic.replies << " exceptions=" << m_traffic.exceptions << " written=" << m_traffic.written
      << " discarded_bytes=" << m_discarded << " silenced=" << f.silenced << " dropped=" << f.dropped
      << " corrupted=" << f.corrupted << " readdressed=" << f.readdressed << " padded=" << f.padded
      << " split=" << f.split << " garbage=" << f.garbage << " stored_wrong=" << f.storedWrong << " transaction=" << m_controller.LastTransaction()
      << " protection_off=" << m_controller.LastProtectionFlag() << " mbap_spoilt=" << f.mbapSpoilt;
    return {s.str()};
  }
  return {"error unknown command '" + cmd + "'"};
}

ControlResult ControlInterpreter::fault(const std::string& what, const std::string& arg) {
  FaultSettings& s = m_faults.Settings();
  auto onOff = [&](bool& flag) -> ControlResult {
    if (arg != "on" && arg != "off") return {"error usage: fault " + what + " on|off"};
    flag = arg == "on";
    return {"ok fault " + what + " " + arg};
  };
  auto count = [&](int& field, long hi) -> ControlResult {
    long n = 0;
    if (arg == "off") {
      field = 0;
      return {"ok fault " + what + " off"};
    }
    if (!ParseInt(arg, 0, hi, n)) return {"error usage: fault " + what + " N|off"};
    field = static_cast<int>(n);
    return {"ok fault " + what + " " + std::to_string(n)};
  };
  // A number that is there or not: "off" takes it away.
  auto optional = [&](std::optional<int>& field, long lo, long hi, const char* name) -> ControlResult {
    long n = 0;
    if (arg == "off") {
      field.reset();
      return {"ok fault " + what + " off"};
    }
    if (!ParseInt(arg, lo, hi, n)) return {"error usage: fault " + what + " " + name + "|off"};
    field = static_cast<int>(n);
    return {"ok fault " + what + " " + std::to_string(n)};
  };
  if (what == "silent") return onOff(s.silent);
  if (what == "bad-crc") return onOff(s.badCrc);
  if (what == "drop-every" || what == "drop") return count(s.dropEvery, 1000000);
  if (what == "bad-crc-every") return count(s.badCrcEvery, 1000000);
  if (what == "split") return count(s.splitMs, 60000);
  if (what == "garbage") return count(s.garbageBefore, 4096);
  if (what == "long") return count(s.longReply, 4096);
  if (what == "answer-as") return optional(s.answerAs, 0, 255, "ADDR");
  if (what == "refuse-eeprom") return optional(s.refuseEeprom, 1, 255, "CODE");
  if (what == "corrupt-byte") return optional(s.corruptByte, 0, EepromImage::kSize - 1, "ADDR");
  if (what == "mbap") {
    const auto kind = ParseMbapFault(arg);
    if (!kind) return {"error usage: fault mbap tid|protocol|length|off"};
    s.mbap = *kind;
    return {"ok fault mbap " + arg};
  }
  if (what == "none") {
    m_faults.Clear();
    return {"ok fault none"};
  }
  return {"error unknown fault '" + what + "'"};
}

}  // namespace zart::sim

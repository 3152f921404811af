#include "fault_injector.h"

#include "controller.h"

namespace zart::sim {

std::optional<MbapFault> ParseMbapFault(const std::string& word) {
  if (word == "off") return MbapFault::none;
  if (word == "tid") return MbapFault::transaction;
  if (word == "protocol") return MbapFault::protocol;
  if (word == "length") return MbapFault::length;
  return std::nullopt;
}

bool FaultSettings::Any() const {
  return silent || badCrc || dropEvery > 0 || badCrcEvery > 0 || splitMs > 0 || garbageBefore > 0 ||
         answerAs.has_value() || longReply > 0 || corruptByte.has_value() || refuseEeprom.has_value() ||
         mbap != MbapFault::none;
}

void FaultInjector::Clear() {
  m_settings = FaultSettings{};
  m_replyNumber = 0;
}

std::vector<OutChunk> FaultInjector::Apply(std::vector<std::uint8_t> reply) {
  auto altered = Alter(std::move(reply));
  if (!altered) return {};
  return Chunk(std::move(*altered));
}

std::optional<std::vector<std::uint8_t>> FaultInjector::Alter(std::vector<std::uint8_t> reply) {
  if (reply.size() < 3) return std::nullopt;
  ++m_replyNumber;
  const FaultSettings& s = m_settings;
  if (s.silent) {
    ++m_counts.silenced;
    return std::nullopt;
  }
  if (s.dropEvery > 0 && m_replyNumber % static_cast<std::uint64_t>(s.dropEvery) == 0) {
    ++m_counts.dropped;
    return std::nullopt;
  }
  if (s.answerAs) {
    reply.resize(reply.size() - 2);
    reply[0] = static_cast<std::uint8_t>(*s.answerAs & 0xFF);
    AppendCrc(reply);
    ++m_counts.readdressed;
  }
  if (s.longReply > 0 && reply[1] == 4 && reply.size() < static_cast<std::size_t>(s.longReply)) {
    // Zero bytes after the registers; the byte count field keeps 250 and the
    // CRC is made valid over the whole padded frame, so only the length is
    // wrong.
    reply.resize(reply.size() - 2);
    reply.resize(static_cast<std::size_t>(s.longReply) - 2, 0);
    AppendCrc(reply);
    ++m_counts.padded;
  }
  if (s.badCrc || (s.badCrcEvery > 0 && m_replyNumber % static_cast<std::uint64_t>(s.badCrcEvery) == 0)) {
    reply.back() ^= 0xFF;
    ++m_counts.corrupted;
  }
  return reply;
}

std::vector<OutChunk> FaultInjector::Chunk(std::vector<std::uint8_t> reply) {
  std::vector<OutChunk> out;
  const FaultSettings& s = m_settings;
  if (s.garbageBefore > 0) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> noisy;
    noisy.reserve(reply.size() + static_cast<std::size_t>(s.garbageBefore));
    for (int i = 0; i < s.garbageBefore; ++i) noisy.push_back(static_cast<std::uint8_t>(byte(m_random)));
    noisy.insert(noisy.end(), reply.begin(), reply.end());
    reply.swap(noisy);
    ++m_counts.garbage;
  }
  if (s.splitMs > 0 && reply.size() >= 2) {
    const auto half = static_cast<std::ptrdiff_t>(reply.size() / 2);
    out.push_back({0, std::vector<std::uint8_t>(reply.begin(), reply.begin() + half)});
    out.push_back({static_cast<std::int64_t>(s.splitMs) * 1000, std::vector<std::uint8_t>(reply.begin() + half, reply.end())});
    ++m_counts.split;
    return out;
  }
  out.push_back({0, std::move(reply)});
  return out;
}

void FaultInjector::SpoilMbapHeader(std::vector<std::uint8_t>& frame) {
  if (frame.size() < 7) return;
  switch (m_settings.mbap) {
    case MbapFault::none: return;
    case MbapFault::transaction: {
      const int id = (frame[0] << 8 | frame[1]) + 1;
      frame[0] = static_cast<std::uint8_t>(id >> 8 & 0xFF);
      frame[1] = static_cast<std::uint8_t>(id & 0xFF);
      break;
    }
    case MbapFault::protocol: frame[3] = 1; break;
    case MbapFault::length: frame[4] = frame[5] = 0xFF; break;
  }
  ++m_counts.mbapSpoilt;
}

bool FaultInjector::CorruptStoredByte(std::span<const std::uint8_t> request, EepromImage& eeprom) {
  if (!m_settings.corruptByte || request.size() < 5 || request[1] != 101) return false;
  const int start = request[2] * 256 + request[3];
  const int count = request[4];
  const int target = *m_settings.corruptByte;
  // Only a write the controller accepted counts: its echo is the request.
  if (target < start || target >= start + count || request.size() < 5 + static_cast<std::size_t>(count)) return false;
  if (request[5 + static_cast<std::size_t>(target - start)] != eeprom.At(target)) return false;
  eeprom.Set(target, static_cast<std::uint8_t>(eeprom.At(target) ^ 0x01));
  ++m_counts.storedWrong;
  return true;
}

}  // namespace zart::sim

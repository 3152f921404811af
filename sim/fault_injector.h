#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "eeprom_image.h"

namespace zart::sim {

/// How the Modbus TCP server spoils a reply's header, so that the master
/// must drop the reply.
enum class MbapFault {
  none,
  transaction,  ///< the id of the request plus one
  protocol,     ///< protocol id 1 instead of 0
  length,       ///< a length of 65535 announced
};

/// "tid", "protocol", "length" or "off"; nothing for any other word.
std::optional<MbapFault> ParseMbapFault(const std::string& word);

/// Link faults the simulator can put on its replies. Zero or nullopt means
/// the fault is off.
struct FaultSettings {
  bool silent = false;             ///< never answer
  bool badCrc = false;             ///< corrupt the CRC of every reply
  int dropEvery = 0;               ///< drop every n-th reply
  int badCrcEvery = 0;             ///< corrupt the CRC of every n-th reply
  int splitMs = 0;                 ///< write half a reply, pause, then the rest
  int garbageBefore = 0;           ///< random bytes written before each reply
  std::optional<int> answerAs;     ///< address put in byte 0 (CRC recomputed)
  int longReply = 0;               ///< pad status replies to this many bytes
  std::optional<int> corruptByte;  ///< EEPROM address stored wrong by writes
  std::optional<int> refuseEeprom; ///< functions 100/101 answered with this exception code
  MbapFault mbap = MbapFault::none;  ///< spoilt header over Modbus TCP

  bool Any() const;
};

/// One piece of output: wait `delayUs` after the previous piece (or after
/// the reply was ready, for the first), then write `bytes`.
struct OutChunk {
  std::int64_t delayUs = 0;
  std::vector<std::uint8_t> bytes;
};

/// Counts of what the faults did, for the `stats` command.
struct FaultCounts {
  std::uint64_t silenced = 0;
  std::uint64_t dropped = 0;
  std::uint64_t corrupted = 0;
  std::uint64_t readdressed = 0;
  std::uint64_t padded = 0;
  std::uint64_t split = 0;
  std::uint64_t garbage = 0;
  std::uint64_t storedWrong = 0;
  std::uint64_t mbapSpoilt = 0;
};

/// Turns a correct reply into what actually goes on the line.
class FaultInjector {
 public:
  explicit FaultInjector(std::uint32_t seed = 1) : m_random(seed) {}

  FaultSettings& Settings() { return m_settings; }
  const FaultSettings& Settings() const { return m_settings; }
  /// Switches every fault off; the n-th counters start again.
  void Clear();

  /// The chunks to write for `reply`; empty when the reply is not sent.
  /// Order of the faults: silent and drop, then the new address, then the
  /// padding of status replies (the padded frame gets a CRC valid over all
  /// of it), then CRC corruption, then leading garbage, then the split.
  std::vector<OutChunk> Apply(std::vector<std::uint8_t> reply);

  /// The first half of Apply: silent, drop, new address, padding and CRC
  /// corruption; nothing when the reply is not sent.
  std::optional<std::vector<std::uint8_t>> Alter(std::vector<std::uint8_t> reply);
  /// The second half: leading garbage and the split, on bytes in any
  /// framing.
  std::vector<OutChunk> Chunk(std::vector<std::uint8_t> bytes);
  /// Spoils the header of a Modbus TCP frame as `mbap` says.
  void SpoilMbapHeader(std::vector<std::uint8_t>& frame);

  /// The worn-cell fault: after a write (function 101) that covers the
  /// byte at `corruptByte`, that byte is stored with its lowest bit
  /// inverted, while the echo still carries what was written. Call with the
  /// request frame once the controller has handled it; true when it struck.
  bool CorruptStoredByte(std::span<const std::uint8_t> request, EepromImage& eeprom);

  const FaultCounts& Counts() const { return m_counts; }

 private:
  FaultSettings m_settings;
  FaultCounts m_counts;
  std::uint64_t m_replyNumber = 0;
  std::mt19937 m_random;
};

}  // namespace zart::sim

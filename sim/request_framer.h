#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zart::sim {

/// Cuts the byte stream from the master into request frames. RTU has no
/// delimiters, so a frame is found by the length its function code implies
/// (4 and 6: 8 bytes; 16: 9 + byte count; 100: 7; 101: 7 + byte count)
/// together with a good CRC. Leading garbage is skipped by looking for such
/// a frame at every offset, so a master that sends a fresh request after
/// noise is still answered. Frames of other functions end at a silence gap.
/// Times are in microseconds on any monotonic clock.
class RequestFramer {
 public:
  /// Silence after which the buffered bytes are taken as one frame.
  static constexpr std::int64_t kFrameGapUs = 3000;
  /// Silence after which whatever is left is thrown away.
  static constexpr std::int64_t kStaleGapUs = 5000;
  /// Bytes kept at most while no frame is found; older ones are dropped.
  static constexpr std::size_t kMaxBuffered = 1024;

  /// Adds bytes received at `nowUs` and returns the frames they complete,
  /// in order.
  std::vector<std::vector<std::uint8_t>> Feed(std::span<const std::uint8_t> bytes, std::int64_t nowUs);

  /// Applies the silence rules at `nowUs`: after kFrameGapUs the whole
  /// buffer is returned when it has a good CRC; after kStaleGapUs the buffer
  /// is cleared.
  std::optional<std::vector<std::uint8_t>> Idle(std::int64_t nowUs);

  /// When Idle() next has something to do, or nothing when the buffer is
  /// empty.
  std::optional<std::int64_t> NextDeadlineUs() const;

  /// Throws the buffered bytes away (counted as discarded).
  void Clear();

  /// Bytes thrown away so far (garbage, bad CRC, stale partial frames).
  std::uint64_t DiscardedBytes() const { return m_discarded; }
  std::size_t Buffered() const { return m_buf.size(); }

 private:
  std::vector<std::uint8_t> m_buf;
  std::int64_t m_lastByteUs = 0;
  bool m_gapTried = false;
  std::uint64_t m_discarded = 0;
};

/// Length of the request frame that starts at `frame[0]`, from its function
/// code (and byte count, for 16 and 101); 0 when the function has no fixed
/// layout, -1 when more bytes are needed to tell.
int ExpectedRequestLength(std::span<const std::uint8_t> frame);

}  // namespace zart::sim

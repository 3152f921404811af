#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "link/mbap_frame.h"

namespace zart::link {

/// Cuts a Modbus TCP byte stream into whole frames. A header with a
/// protocol id other than 0, or a length outside 2..kMbapMaxLength (a
/// frame no Modbus device sends), is taken for garbage: its first byte is
/// dropped and the search goes on from the next, so a frame behind noise is
/// still found. Nothing is buffered beyond one largest frame, whatever the
/// stream announces.
///
///   while (!bytes.empty()) {
///     bytes = bytes.subspan(deframer.Feed(bytes));
///     if (auto frame = deframer.Frame()) use(*frame);
///   }
class MbapDeframer {
 public:
  /// Takes bytes until one frame is complete or `bytes` runs out; returns
  /// how many it took. A frame completed by an earlier call is let go first.
  std::size_t Feed(std::span<const std::uint8_t> bytes);

  /// The frame the last Feed completed, or nothing. Its PDU stays valid
  /// until the next Feed or Reset.
  std::optional<MbapFrame> Frame() const;

  /// Drops a partial frame (the bytes count as dropped).
  void Reset();

  /// Bytes thrown away so far: garbage, bad headers, partial frames reset.
  std::uint64_t DroppedBytes() const { return m_dropped; }
  /// Bytes held of a frame not yet complete.
  int Buffered() const { return m_complete ? 0 : m_count; }

 private:
  /// Checks the header once its 7 bytes are in; drops its first byte and
  /// returns false when it cannot start a frame.
  bool headerOk();

  std::array<std::uint8_t, kMbapMaxAdu> m_buf{};
  int m_count = 0;
  int m_needed = kMbapHeaderSize;  // bytes of the frame being gathered
  bool m_complete = false;
  std::uint64_t m_dropped = 0;
};

}  // namespace zart::link

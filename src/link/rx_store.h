#pragma once

#include <array>
#include <span>

namespace zart::link {

/// The receive store of the current exchange: one received byte (0..255) per
/// cell, from cell 0 on. At most kMaxStored bytes are stored per exchange;
/// cells are never cleared, so a reply shorter than the previous one leaves
/// the earlier reply's later bytes in place and fixed-offset decoders see
/// them. Cells kMaxStored..1024 stay 0 for the whole run.
class RxStore {
 public:
  static constexpr int kCells = 1025;
  static constexpr int kMaxStored = 256;

  /// Cell k (0..1024); out-of-range offsets read as 0 instead of faulting.
  int operator[](int k) const { return (k >= 0 && k < kCells) ? m_cells[static_cast<std::size_t>(k)] : 0; }

  /// Stores one byte at cell k (0..kMaxStored-1); other k are ignored.
  void Store(int k, int byte) {
    if (k >= 0 && k < kMaxStored) m_cells[static_cast<std::size_t>(k)] = byte & 0xFF;
  }

  /// Big-endian unsigned 16 bits at byte offset k: cell[k]*256 + cell[k+1].
  int ReadU16(int k) const { return (*this)[k] * 256 + (*this)[k + 1]; }

  /// Big-endian two's-complement 16 bits at byte offset k (-32768..32767).
  int ReadS16(int k) const {
    const int u = ReadU16(k);
    return u < 32768 ? u : u - 65536;
  }

  /// Byte offset of register i (0-based within a read reply): 2*i + 3,
  /// after the address, function code and byte count.
  static constexpr int RegOffset(int i) { return 2 * i + 3; }

  std::span<const int> Cells() const { return m_cells; }

 private:
  std::array<int, kCells> m_cells{};
};

}  // namespace zart::link

#include "params/controller_image.h"

#include <algorithm>

#include "link/frame.h"
#include "link/rx_store.h"
#include "params/catalogue.h"
#include "params/conversions.h"
#include "settings/windows1251.h"

namespace zart::params {

namespace {

constexpr int kReplyHeader = 5;  // address, function, start address (2), count
constexpr int kCrcBytes = 2;

std::int32_t Assemble(const std::vector<std::uint8_t>& bytes, bool isSigned) {
  std::int64_t v = 0;
  for (std::uint8_t b : bytes) v = v * 256 + b;
  if (isSigned && !bytes.empty()) {
    const std::int64_t range = std::int64_t{1} << (8 * bytes.size());
    if (v > range / 2 - 1) v -= range;
  }
  return static_cast<std::int32_t>(v);
}

}  // namespace

std::vector<SlotBytes> SplitParamReply(const ParamCatalogue& catalogue, const link::RxStore& rx, int rxCount) {
  std::vector<SlotBytes> out;
  int j = catalogue.SlotAtAddress(rx[2] * 256 + rx[3]);
  if (j < 0) return out;
  const int end = std::min(kReplyHeader + rx[4], rxCount - kCrcBytes);
  int p = kReplyHeader;
  while (j < kSlotCount) {
    const int size = catalogue.par_size[static_cast<std::size_t>(j)];
    if (size <= 0 || p + size > end) break;
    SlotBytes s{j, {}};
    s.bytes.reserve(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) s.bytes.push_back(static_cast<std::uint8_t>(rx[p + i]));
    out.push_back(std::move(s));
    p += size;
    ++j;
  }
  return out;
}

QString SlotTextOfBytes(const ParamCatalogue& catalogue, int slot, const std::vector<std::uint8_t>& bytes) {
  if (slot < 0 || slot >= kSlotCount) return QString();
  if (catalogue.IsText(slot)) {
    QByteArray text;
    for (std::uint8_t b : bytes) {
      if (b == 0) break;  // the zero padding ends the visible text
      text.append(static_cast<char>(b));
    }
    return settings::DecodeWindows1251(text);
  }
  const double scale = catalogue.par_scale[static_cast<std::size_t>(slot)];
  return scale < 0 ? FormatParamValue(Assemble(bytes, true), -scale) : FormatParamValue(Assemble(bytes, false), scale);
}

void ControllerImage::Record(int function, const link::RxStore& rx, int rxCount) {
  Record(function, SplitParamReply(m_catalogue, rx, rxCount));
}

void ControllerImage::Record(int function, const std::vector<SlotBytes>& taken) {
  for (const SlotBytes& s : taken) {
    const auto k = static_cast<std::size_t>(s.slot);
    if (!m_seen[k]) ++m_known;
    m_seen[k] = true;
    m_texts[k] = SlotTextOfBytes(m_catalogue, s.slot, s.bytes);
  }
  if (function == link::FC_EEPROM_READ && !taken.empty()) m_backupDue = true;
}

bool ControllerImage::Known(int slot) const {
  return slot >= 0 && slot < kSlotCount && m_seen[static_cast<std::size_t>(slot)];
}

QString ControllerImage::Text(int slot) const {
  return Known(slot) ? m_texts[static_cast<std::size_t>(slot)] : QString();
}

void ControllerImage::Clear() {
  m_texts.fill(QString());
  m_seen.fill(false);
  m_known = 0;
  m_backupDue = false;
}

}  // namespace zart::params

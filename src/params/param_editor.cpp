#include "params/param_editor.h"

#include <algorithm>
#include <limits>

#include "link/exchange_cycle.h"
#include "link/frame.h"
#include "link/rx_store.h"
#include "link/status_line.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/conversions.h"
#include "params/param_boxes.h"
#include "settings/windows1251.h"

namespace zart::params {

namespace {

constexpr int kMaxBlockSlots = 10;
constexpr int kReplyHeader = 5;  // address, function, start address (2), count
constexpr int kCrcBytes = 2;
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

std::uint8_t Hi(int address) { return link::ByteOfValue(address, 1); }
std::uint8_t Lo(int address) { return link::ByteOfValue(address, 0); }

}  // namespace

ParamEditor::ParamEditor(link::ExchangeCycle& link, const ParamCatalogue& catalogue)
    : m_link(link), m_catalogue(catalogue) {}

ParamEditor::ParamEditor(link::ExchangeCycle& link, const ParamCatalogue& catalogue, link::StatusLine& status)
    : m_link(link), m_catalogue(catalogue), m_status(&status) {}

QString ParamEditor::TransferRefusedMessage() {
  return QStringLiteral(u"Очередь запросов переполнена: передача параметров не начата");
}

void ParamEditor::SetBoxesProvider(std::function<ParamBoxes*()> provider) { m_boxes = std::move(provider); }

ParamBoxes* ParamEditor::Boxes() const { return m_boxes ? m_boxes() : nullptr; }

bool ParamEditor::QueueEepromRead(int address, int count) {
  count = std::clamp(count, 0, kMaxReadCount);
  return m_link.EnqueueRequest(link::FC_EEPROM_READ, {Hi(address), Lo(address), static_cast<std::uint8_t>(count)});
}

bool ParamEditor::QueueEepromWrite(int address, std::int32_t value, int size) {
  size = std::clamp(size, 0, kMaxNumberSize);
  std::uint8_t data[3 + kMaxNumberSize] = {Hi(address), Lo(address), static_cast<std::uint8_t>(size)};
  for (int i = 0; i < size; ++i) data[3 + i] = link::ByteOfValue(value, size - 1 - i);
  return m_link.EnqueueRequest(link::FC_EEPROM_WRITE, std::span<const std::uint8_t>(data, 3 + static_cast<std::size_t>(size)));
}

bool ParamEditor::QueueEepromTextWrite(const QString& text, int address, int size) {
  size = std::clamp(size, 0, kMaxTextSize);
  const QByteArray encoded = settings::EncodeWindows1251(text);
  std::uint8_t data[3 + kMaxTextSize] = {Hi(address), Lo(address), static_cast<std::uint8_t>(size)};
  for (int i = 0; i < size; ++i)
    data[3 + i] = i < encoded.size() ? static_cast<std::uint8_t>(encoded[i]) : std::uint8_t{0};
  return m_link.EnqueueRequest(link::FC_EEPROM_WRITE, std::span<const std::uint8_t>(data, 3 + static_cast<std::size_t>(size)));
}

std::vector<ParamEditor::Block> ParamEditor::Blocks(bool forWriteAll) const {
  // A block is a run of consecutive slots with contiguous EEPROM bytes, at
  // most ten of them (ten 12-byte names are the controller's 120-byte read
  // limit). The controller's own address and its external-control flag are
  // kept out of write-all blocks: they are written last, apart.
  auto skipped = [forWriteAll](int k) {
    return forWriteAll && (k == SLOT_MODBUS_ADDRESS || k == SLOT_MODBUS_CONTROL);
  };
  const auto& size = m_catalogue.par_size;
  const auto& addr = m_catalogue.par_addr;
  std::vector<Block> blocks;
  blocks.reserve(140);
  int start = 0;
  while (start < kSlotCount) {
    if (skipped(start)) {
      ++start;
      continue;
    }
    Block b{start, 0, 0};
    for (;;) {
      const int k = start + b.count;
      const auto ku = static_cast<std::size_t>(k);
      b.bytes += size[ku];
      ++b.count;
      if (b.count == kMaxBlockSlots || k == kSlotCount - 1 || addr[ku + 1] != addr[ku] + size[ku] ||
          skipped(k + 1))
        break;
    }
    blocks.push_back(b);
    start += b.count;
  }
  return blocks;
}

bool ParamEditor::TransferFits(int requests) {
  if (m_link.Queue().FreeSlots() >= requests) return true;
  // Half a transfer would leave the controller's EEPROM half written, so
  // the whole transfer is refused and the queue keeps what it holds.
  if (m_status) m_status->SetStatusText(TransferRefusedMessage());
  return false;
}

void ParamEditor::RecordTransferSlot() {
  m_transferSlots.push_back(m_link.Queue().WriteIndex());
  ++m_progress.total;
}

bool ParamEditor::ReadAllParams() {
  const std::vector<Block> blocks = Blocks(false);
  if (!TransferFits(static_cast<int>(blocks.size()))) return false;
  for (const Block& b : blocks) {
    RecordTransferSlot();
    QueueEepromRead(m_catalogue.par_addr[static_cast<std::size_t>(b.start)], b.bytes);
  }
  NotifyProgress();
  return true;
}

std::int32_t ParamEditor::RawOfText(int slot, const QString& text) const {
  const auto k = static_cast<std::size_t>(slot);
  const double scale = m_catalogue.par_scale[k];
  const bool isSigned = scale < 0;
  const double divisor = isSigned ? -scale : scale;
  switch (m_catalogue.par_size[k]) {
    case 1:
      return isSigned ? TextToRaw(text, -128, 127, divisor) : TextToRaw(text, 0, 255, divisor);
    case 2:
      return isSigned ? TextToRaw(text, -32768, 32767, divisor) : TextToRaw(text, 0, 65535, divisor);
    default:
      // No four-byte number is in the catalogue today; it would span the
      // 32-bit range.
      return isSigned ? TextToRaw(text, kInt32Min, kInt32Max, divisor) : TextToRaw(text, 0, kInt32Max, divisor);
  }
}

void ParamEditor::AppendSlotBytes(int slot, const QString& text, std::vector<std::uint8_t>& out) const {
  const auto k = static_cast<std::size_t>(slot);
  const int size = m_catalogue.par_size[k];
  if (m_catalogue.IsText(slot)) {
    const QByteArray encoded = settings::EncodeWindows1251(text);
    for (int i = 0; i < size; ++i) out.push_back(i < encoded.size() ? static_cast<std::uint8_t>(encoded[i]) : 0);
    return;
  }
  const std::int32_t v = RawOfText(slot, text);
  for (int i = 0; i < size; ++i) out.push_back(link::ByteOfValue(v, size - 1 - i));
}

bool ParamEditor::WriteAllParams() {
  ParamBoxes* boxes = Boxes();
  if (!boxes) return false;  // the values live only in the boxes
  const std::vector<Block> blocks = Blocks(true);
  if (!TransferFits(static_cast<int>(blocks.size()) + 2)) return false;

  std::vector<std::uint8_t> data;
  data.reserve(3 + kMaxReadCount);
  for (const Block& b : blocks) {
    const int address = m_catalogue.par_addr[static_cast<std::size_t>(b.start)];
    data.assign({Hi(address), Lo(address), static_cast<std::uint8_t>(b.bytes)});
    for (int k = b.start; k < b.start + b.count; ++k) AppendSlotBytes(k, boxes->Text(k), data);
    RecordTransferSlot();
    m_link.EnqueueRequest(link::FC_EEPROM_WRITE, data);
  }

  // The controller's own address goes after every block: the requests before
  // it still reach the old address, and everything from the next request on
  // goes to the new one.
  const auto a = static_cast<std::size_t>(SLOT_MODBUS_ADDRESS);
  std::int32_t address = TextToRaw(boxes->Text(SLOT_MODBUS_ADDRESS), 0, 255, m_catalogue.par_scale[a]);
  if (address > 127) address = 127;
  RecordTransferSlot();
  m_link.ArmAddressSwitch(address);
  QueueEepromWrite(m_catalogue.par_addr[a], address, m_catalogue.par_size[a]);

  // Control over Modbus last of all, so that switching it off cannot cut the
  // transfer short.
  const auto c = static_cast<std::size_t>(SLOT_MODBUS_CONTROL);
  RecordTransferSlot();
  QueueEepromWrite(m_catalogue.par_addr[c],
                   TextToRaw(boxes->Text(SLOT_MODBUS_CONTROL), 0, 255, m_catalogue.par_scale[c]),
                   m_catalogue.par_size[c]);
  NotifyProgress();
  return true;
}

void ParamEditor::HandleParamReply(const link::RxStore& rx) { HandleParamReply(rx, m_link.RxCount()); }

void ParamEditor::HandleParamReply(const link::RxStore& rx, int rxCount) {
  ParamBoxes* boxes = Boxes();
  if (!boxes) return;  // no window, nothing to show the values in
  int j = m_catalogue.SlotAtAddress(rx[2] * 256 + rx[3]);
  if (j < 0) return;  // not the start of any slot: not ours to show

  // The data bytes are those the byte count announces, but never more than
  // were received in this exchange: cells beyond it hold an older reply.
  const int end = std::min(kReplyHeader + rx[4], rxCount - kCrcBytes);
  int p = kReplyHeader;
  while (j < kSlotCount) {
    const auto k = static_cast<std::size_t>(j);
    const int size = m_catalogue.par_size[k];
    if (size <= 0 || p + size > end) break;  // a slot is shown from all its bytes or not at all
    const double scale = m_catalogue.par_scale[k];
    if (scale == TEXT_KIND)
      ShowParamText(*boxes, j, rx, p, size);
    else if (scale < 0)
      ShowParamValue(*boxes, j, BytesToSigned(rx, p, size), -scale);
    else
      ShowParamValue(*boxes, j, BytesToUnsigned(rx, p, size), scale);
    p += size;
    ++j;
  }
}

void ParamEditor::OnRequestCompleted(int slot) {
  // Requests leave the queue in order, so an answered transfer request is
  // always the oldest one still recorded; anything else (idle traffic, a
  // command, a single edit) is not part of a transfer.
  if (m_transferSlots.empty() || m_transferSlots.front() != slot) return;
  m_transferSlots.pop_front();
  ++m_progress.answered;
  if (m_transferSlots.empty()) m_progress = TransferProgress{};
  NotifyProgress();
}

void ParamEditor::cmd_readall_Click() {
  ParamBoxes* boxes = Boxes();
  if (!TransferFits(static_cast<int>(Blocks(false).size()))) return;
  if (boxes)
    for (int k = 0; k < kSlotCount; ++k) boxes->SetColor(k, COLOR_CHANGED);
  ReadAllParams();
}

void ParamEditor::cmd_writeall_Click() {
  ParamBoxes* boxes = Boxes();
  if (!boxes) return;
  if (!TransferFits(static_cast<int>(Blocks(true).size()) + 2)) return;
  for (int k = 0; k < kSlotCount; ++k) boxes->SetColor(k, COLOR_CHANGED);
  WriteAllParams();
}

void ParamEditor::txt_par_Change(int index) {
  ParamBoxes* boxes = Boxes();
  if (boxes && index >= 0 && index < kSlotCount) boxes->SetColor(index, COLOR_CHANGED);
}

void ParamEditor::txt_par_KeyPress(int index, int key) {
  if (key != kKeyEnter || index < 0 || index >= kSlotCount) return;
  ParamBoxes* boxes = Boxes();
  if (!boxes) return;
  const auto k = static_cast<std::size_t>(index);
  boxes->SetColor(index, COLOR_CHANGED);

  if (index == SLOT_MODBUS_ADDRESS) {
    const std::int32_t v = TextToRaw(boxes->Text(index), 0, 127, m_catalogue.par_scale[k]);
    boxes->SetText(index, QString::number(v));
    // Arm only when the write will really take the slot recorded as the
    // trigger; a refused write must not switch the address later on.
    if (m_link.Queue().FreeSlots() > 0) m_link.ArmAddressSwitch(v);
    QueueEepromWrite(m_catalogue.par_addr[k], v, m_catalogue.par_size[k]);
    return;
  }
  if (m_catalogue.IsText(index)) {
    QueueEepromTextWrite(boxes->Text(index), m_catalogue.par_addr[k], m_catalogue.par_size[k]);
    return;
  }
  QueueEepromWrite(m_catalogue.par_addr[k], RawOfText(index, boxes->Text(index)), m_catalogue.par_size[k]);
}

std::vector<std::uint8_t> ParamEditor::WriteAllSlotBytes(int slot, const QString& text) const {
  std::vector<std::uint8_t> out;
  if (slot < 0 || slot >= kSlotCount) return out;
  if (slot == SLOT_MODBUS_ADDRESS) {
    const auto a = static_cast<std::size_t>(slot);
    const std::int32_t v = std::min(TextToRaw(text, 0, 255, m_catalogue.par_scale[a]), 127);
    for (int i = 0; i < m_catalogue.par_size[a]; ++i) out.push_back(link::ByteOfValue(v, m_catalogue.par_size[a] - 1 - i));
    return out;
  }
  AppendSlotBytes(slot, text, out);
  return out;
}

TransferProgress ParamEditor::Progress() const { return m_progress; }

void ParamEditor::SetProgressHandler(std::function<void(const TransferProgress&)> handler) {
  m_progressHandler = std::move(handler);
}

void ParamEditor::NotifyProgress() {
  if (m_progressHandler) m_progressHandler(m_progress);
}

}  // namespace zart::params

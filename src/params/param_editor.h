#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include <QString>

namespace zart::link {
class ExchangeCycle;
class RxStore;
class StatusLine;
}  // namespace zart::link

namespace zart::params {

class ParamBoxes;
class ParamCatalogue;

/// How far the parameter transfers queued so far have got.
struct TransferProgress {
  int answered = 0;  ///< requests of the transfer answered so far
  int total = 0;     ///< requests queued for it; 0 when no transfer runs
  bool active() const { return total > 0 && answered < total; }
};

/// EEPROM transfers and single-parameter editing: builds the function-100
/// and -101 requests into the link's queue and shows the replies in the boxes.
class ParamEditor {
 public:
  static constexpr int kMaxReadCount = 120;
  static constexpr int kMaxNumberSize = 4;
  static constexpr int kMaxTextSize = 12;
  static constexpr int kKeyEnter = 13;

  ParamEditor(link::ExchangeCycle& link, const ParamCatalogue& catalogue);
  /// As above, with the status line that tells the user when a whole
  /// transfer does not fit into the request queue.
  ParamEditor(link::ExchangeCycle& link, const ParamCatalogue& catalogue, link::StatusLine& status);

  /// The status line for the editor's own messages (may be nullptr).
  void SetStatusLine(link::StatusLine* status) { m_status = status; }
  /// Shown when a read-all or write-all would overfill the request queue;
  /// the transfer is then not started at all.
  static QString TransferRefusedMessage();

  /// Where replies and edits go. The provider is asked at each use and may
  /// create the (hidden) parameters window; it may return nullptr.
  void SetBoxesProvider(std::function<ParamBoxes*()> provider);

  /// Function 100: read `count` EEPROM bytes (at most 120) from `address`.
  /// False when the queue refused the request.
  bool QueueEepromRead(int address, int count);
  /// Function 101: write the `size` (at most 4) low bytes of `value`, most
  /// significant first, at `address`.
  bool QueueEepromWrite(int address, std::int32_t value, int size);
  /// Function 101: write `text` as `size` (at most 12) Windows-1251 bytes,
  /// zero-padded or cut to the size; "?" for characters the code page lacks.
  bool QueueEepromTextWrite(const QString& text, int address, int size);

  /// 131 block reads of the whole catalogue. Nothing is queued, and false
  /// returned, when the queue has no room for all of them.
  bool ReadAllParams();
  /// 131 block writes from the boxes' texts, then slot 23 (limited to 127,
  /// arming the address switch), then slot 26: 133 requests. Nothing is
  /// queued, and false returned, when they do not all fit or no boxes exist.
  bool WriteAllParams();

  /// A valid reply with function code 100 or 101, as the link dispatches it:
  /// the reply's bytes are those of the link's current exchange (RxCount()).
  void HandleParamReply(const link::RxStore& rx);
  /// The same for a reply of `rxCount` bytes in `rx` (CRC included). Slots
  /// are shown in order from the one at the reply's start address; showing
  /// stops after slot 1207, at the end of the byte count or of the bytes
  /// received, and before a slot whose bytes are not all there.
  void HandleParamReply(const link::RxStore& rx, int rxCount);
  /// The link's notice that the request in queue slot `slot` was answered.
  void OnRequestCompleted(int slot);

  /// "Прочитать всё из ЭСППЗУ": every box white, then the read-all.
  void cmd_readall_Click();
  /// "Записать всё в ЭСППЗУ": every box white, then the write-all.
  void cmd_writeall_Click();
  /// Any change of a box's text: the box turns COLOR_CHANGED.
  void txt_par_Change(int index);
  /// Enter (13) writes the box's slot; other keys do nothing here.
  void txt_par_KeyPress(int index, int key);

  /// The bytes write-all sends for `slot` when its box reads `text`, most
  /// significant first (the controller's own address limited to 127).
  std::vector<std::uint8_t> WriteAllSlotBytes(int slot, const QString& text) const;

  TransferProgress Progress() const;
  /// Called whenever the progress changes.
  void SetProgressHandler(std::function<void(const TransferProgress&)> handler);

 private:
  /// One request of a read-all or write-all: `count` consecutive slots from
  /// `start` with contiguous EEPROM bytes, `bytes` in all.
  struct Block {
    int start = 0;
    int count = 0;
    int bytes = 0;
  };
  std::vector<Block> Blocks(bool forWriteAll) const;
  bool TransferFits(int requests);
  void RecordTransferSlot();
  void NotifyProgress();
  ParamBoxes* Boxes() const;
  /// The raw value the text of a numeric slot stands for, clamped to the
  /// slot's range.
  std::int32_t RawOfText(int slot, const QString& text) const;
  /// Appends the slot's bytes for a write (numbers most significant first).
  void AppendSlotBytes(int slot, const QString& text, std::vector<std::uint8_t>& out) const;

  link::ExchangeCycle& m_link;
  const ParamCatalogue& m_catalogue;
  link::StatusLine* m_status = nullptr;
  std::function<ParamBoxes*()> m_boxes;
  std::function<void(const TransferProgress&)> m_progressHandler;
  std::deque<int> m_transferSlots;  // queue slots of the running transfers, in order
  TransferProgress m_progress;
};

}  // namespace zart::params

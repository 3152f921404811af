#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QString>

namespace zart::link {
class ExchangeCycle;
class RxStore;
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

  /// Where replies and edits go. The provider is asked at each use and may
  /// create the (hidden) parameters window; it may return nullptr.
  void SetBoxesProvider(std::function<ParamBoxes*()> provider);

  bool QueueEepromRead(int address, int count);
  bool QueueEepromWrite(int address, std::int32_t value, int size);
  bool QueueEepromTextWrite(const QString& text, int address, int size);

  /// 131 block reads of the whole catalogue.
  void ReadAllParams();
  /// 131 block writes from the boxes' texts, then slot 23 (limited to 127,
  /// arming the address switch), then slot 26: 133 requests.
  void WriteAllParams();

  /// A valid reply with function code 100 or 101.
  void HandleParamReply(const link::RxStore& rx);
  /// The link's notice that the request in queue slot `slot` was answered.
  void OnRequestCompleted(int slot);

  void cmd_readall_Click();
  void cmd_writeall_Click();
  void txt_par_Change(int index);
  void txt_par_KeyPress(int index, int key);

  TransferProgress Progress() const;
  /// Called whenever the progress changes.
  void SetProgressHandler(std::function<void(const TransferProgress&)> handler);

 private:
  link::ExchangeCycle& m_link;
  const ParamCatalogue& m_catalogue;
  std::function<ParamBoxes*()> m_boxes;
  std::function<void(const TransferProgress&)> m_progressHandler;
  std::vector<int> m_transferSlots;  // queue slots of the running transfer, in order
  TransferProgress m_progress;
};

}  // namespace zart::params

#pragma once

#include <array>
#include <map>

#include <QString>

#include "link/rx_store.h"
#include "monitor/param_window_hook.h"
#include "monitor/start_up_host.h"
#include "monitor/status_view.h"
#include "settings/prompter.h"
#include "support/frames.h"
#include "support/scripted_prompter.h"

namespace zart::testing {

/// The main window's status controls, recorded.
class FakeStatusView : public monitor::StatusView {
 public:
  std::map<monitor::ValueLabel, QString> values;
  std::array<QString, kFaultCount> faults{};
  std::array<bool, kLampCount> lampLit{};
  std::array<bool, kLampCount> lampVisible{true, true, true, true, true, true, true, true, true, true, true};
  std::array<bool, kSignalCount> signalLit{};
  bool propSpeedVisible = true;
  bool paramMenuEnabled = true;
  bool bannerVisible = false;
  bool stale = true;
  QString staleNote;

  void SetValueText(monitor::ValueLabel label, const QString& text) override { values[label] = text; }
  void SetFaultText(int index, const QString& text) override { faults.at(static_cast<std::size_t>(index)) = text; }
  void SetLampLit(int index, bool lit) override { lampLit.at(static_cast<std::size_t>(index)) = lit; }
  void SetLampVisible(int index, bool visible) override { lampVisible.at(static_cast<std::size_t>(index)) = visible; }
  void SetSignalLit(int index, bool lit) override { signalLit.at(static_cast<std::size_t>(index)) = lit; }
  void SetPropSpeedVisible(bool visible) override { propSpeedVisible = visible; }
  void SetParamMenuEnabled(bool enabled) override { paramMenuEnabled = enabled; }
  void SetBlockedBannerVisible(bool visible) override { bannerVisible = visible; }
  void SetStale(bool on, const QString& note) override {
    stale = on;
    staleNote = note;
  }
};

/// Records the calls of the parameters window hook.
class FakeParamHook : public monitor::ParamWindowHook {
 public:
  QList<bool> banners;
  int opened = 0;
  void SetBlockedBanner(bool visible) override { banners << visible; }
  void OpenParamWindow() override { ++opened; }
};

/// A status reply (slave 7, function 4, 250 data bytes, CRC) in a receive
/// store, built from register values 300..424.
class StatusBlock {
 public:
  StatusBlock() { m_regs.fill(0); }
  StatusBlock& Set(int reg, int value) {
    m_regs.at(static_cast<std::size_t>(reg - 300)) = static_cast<std::uint16_t>(value & 0xFFFF);
    return *this;
  }
  /// The reply as it comes over the wire.
  std::vector<std::uint8_t> Frame() const {
    std::vector<std::uint8_t> f{7, 4, 250};
    for (std::uint16_t r : m_regs) {
      f.push_back(static_cast<std::uint8_t>(r >> 8));
      f.push_back(static_cast<std::uint8_t>(r & 0xFF));
    }
    return WithCrc(f);
  }
  link::RxStore Store() const { return StoreOf(Frame()); }

 private:
  std::array<std::uint16_t, 125> m_regs{};
};

}  // namespace zart::testing

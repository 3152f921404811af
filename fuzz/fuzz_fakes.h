#pragma once

#include <array>
#include <cstdint>

#include <QString>

#include "link/status_line.h"
#include "monitor/status_view.h"
#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/param_boxes.h"
#include "settings/prompter.h"

namespace zart::fuzz {

/// The window side, reduced to what the logic writes into it.
class Boxes : public params::ParamBoxes {
 public:
  QString Text(int slot) const override { return m_text.at(static_cast<std::size_t>(slot)); }
  void SetText(int slot, const QString& text) override {
    m_text.at(static_cast<std::size_t>(slot)) = text;
    m_color.at(static_cast<std::size_t>(slot)) = params::COLOR_CHANGED;
  }
  std::uint32_t Color(int slot) const override { return m_color.at(static_cast<std::size_t>(slot)); }
  void SetColor(int slot, std::uint32_t rgb) override { m_color.at(static_cast<std::size_t>(slot)) = rgb; }

 private:
  std::array<QString, params::kSlotCount> m_text{};
  std::array<std::uint32_t, params::kSlotCount> m_color{};
};

class View : public link::LinkView, public monitor::StatusView {
 public:
  QString StatusText() const override { return m_status; }
  void SetStatusText(const QString& text) override { m_status = text; }
  int SlaveAddress() const override { return m_address; }
  void SetSlaveAddress(int address) override { m_address = address; }
  bool ProtectionOff() const override { return false; }
  void SetTransactionId(int) override {}

  void SetValueText(monitor::ValueLabel, const QString& text) override { m_last = text; }
  void SetFaultText(int, const QString& text) override { m_last = text; }
  void SetLampLit(int, bool) override {}
  void SetLampVisible(int, bool) override {}
  void SetSignalLit(int, bool) override {}
  void SetPropSpeedVisible(bool) override {}
  void SetParamMenuEnabled(bool) override {}
  void SetBlockedBannerVisible(bool) override {}

 private:
  QString m_status;
  QString m_last;
  int m_address = 7;
};

/// Answers every message box with Cancel, so no operation loops on Retry.
class CancelPrompter : public settings::Prompter {
 public:
  settings::Answer Ask(const settings::Message&) override { return settings::Answer::cancel; }
};

}  // namespace zart::fuzz

#pragma once

#include <array>

#include "params/catalogue.h"
#include "ui/param_tab_strip.h"

class QGroupBox;
class QLabel;
class QWidget;

namespace zart::ui {

class ParamBox;

/// The control arrays of the parameters window, indexed as in the design:
/// `txt_par(slot)`, the page frames of the five tab strips and the row,
/// column and number labels of the generated tables. Filled by PanelBuilder;
/// owned (as Qt children) by the window's frame `frm_prg`.
struct PanelSet {
  static constexpr int kFunctionPages = 5;
  static constexpr int kChannelScreens = 9;
  static constexpr int kInputScreens = 8;
  static constexpr int kLogicPages = 17;
  static constexpr int kRelayPages = 8;

  QWidget* frm_prg = nullptr;
  std::array<ParamBox*, params::kSlotCount> txt_par{};

  std::array<QGroupBox*, kFunctionPages> frm_fun{};
  std::array<QGroupBox*, kChannelScreens> frm_psa{};
  std::array<QGroupBox*, kInputScreens> frm_din{};
  std::array<QGroupBox*, kLogicPages> frm_logic{};
  std::array<QGroupBox*, kRelayPages> frm_prs{};

  ParamTabStrip* TabStrip_fun = nullptr;
  ParamTabStrip* TabStrip_psa = nullptr;
  ParamTabStrip* TabStrip_din = nullptr;
  ParamTabStrip* TabStrip_logic = nullptr;
  ParamTabStrip* TabStrip_prs = nullptr;

  std::array<QLabel*, 72> lblc_ch_n{};   ///< channel numbers at the row starts
  std::array<QLabel*, 64> lblc_din_n{};  ///< input numbers at the row starts
  std::array<QLabel*, 15> lblc_lm{};     ///< "из 8" after each majority threshold
  std::array<QLabel*, 16> lbl_notout{};  ///< NOT block output numbers 85..100
  std::array<QLabel*, 64> lblc_dout{};   ///< relay numbers above the boxes
  std::array<QLabel*, 9> lblc_ch{};      ///< channel table column headers in Frame1
  std::array<QLabel*, 4> lblc_din{};     ///< input table column headers in Frame2
  QWidget* Frame1 = nullptr;
  QWidget* Frame2 = nullptr;
};

}  // namespace zart::ui

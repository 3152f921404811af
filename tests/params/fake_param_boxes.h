#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "params/box_colors.h"
#include "params/catalogue.h"
#include "params/param_boxes.h"

namespace zart::testing {

/// The 1208 parameter boxes in memory. Like the real boxes, setting a text
/// turns a box COLOR_CHANGED (its change event); boxes start with the text
/// "-" and an edit box's default background.
class FakeParamBoxes : public params::ParamBoxes {
 public:
  static constexpr std::uint32_t kDefaultBackground = 0xF0F0F0;

  std::vector<QString> texts = std::vector<QString>(params::kSlotCount, QStringLiteral("-"));
  std::vector<std::uint32_t> colors = std::vector<std::uint32_t>(params::kSlotCount, kDefaultBackground);
  int setTextCalls = 0;

  QString Text(int slot) const override { return texts.at(static_cast<std::size_t>(slot)); }
  void SetText(int slot, const QString& text) override {
    ++setTextCalls;
    texts.at(static_cast<std::size_t>(slot)) = text;
    colors.at(static_cast<std::size_t>(slot)) = params::COLOR_CHANGED;
  }
  std::uint32_t Color(int slot) const override { return colors.at(static_cast<std::size_t>(slot)); }
  void SetColor(int slot, std::uint32_t rgb) override { colors.at(static_cast<std::size_t>(slot)) = rgb; }

  /// Number of boxes with the given colour.
  int CountColor(std::uint32_t rgb) const {
    int n = 0;
    for (std::uint32_t c : colors) n += c == rgb ? 1 : 0;
    return n;
  }
};

}  // namespace zart::testing

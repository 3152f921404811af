#pragma once

#include <cstdint>

#include <QString>

namespace zart::params {

/// The 1208 parameter edit boxes `txt_par(0..1207)` as the logic sees them.
/// The parameters window implements it; tests fake it.
class ParamBoxes {
 public:
  virtual ~ParamBoxes() = default;
  virtual QString Text(int slot) const = 0;
  /// Sets the text. Like the box's change event, this turns the box
  /// COLOR_CHANGED; code that wants another colour sets it afterwards.
  virtual void SetText(int slot, const QString& text) = 0;
  /// Background colour 0xRRGGBB.
  virtual std::uint32_t Color(int slot) const = 0;
  virtual void SetColor(int slot, std::uint32_t rgb) = 0;
};

}  // namespace zart::params
